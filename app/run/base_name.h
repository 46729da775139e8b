#pragma once

#include <QString>

namespace classifiers {

// Returns the base path of a chosen data file: `inputFile` less its last five characters (for
// "/data/iris.data", "/data/iris"). The extension is not examined. A name shorter than five
// characters has no base: `previousBase` is returned unchanged.
QString deriveBaseName(const QString& inputFile, const QString& previousBase);

// Returns whether `inputFile` names a ".data" file, which a classifier is started on by its base
// path (compared exactly on Linux, without regard to case on Windows).
bool isDataFile(const QString& inputFile);

}  // namespace classifiers
