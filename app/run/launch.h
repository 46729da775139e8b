#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace classifiers {

// Starts `program` with `arguments` and returns at once; false when it could not be started
// (missing, not executable). No shell is involved: every argument reaches the program whole.
using Launcher = std::function<bool(const QString& program, const QStringList& arguments)>;

// The shipped launcher: a detached process with no console or window of its own, its standard
// input closed. No handle is kept; the started program outlives the front end.
bool startDetached(const QString& program, const QStringList& arguments);

}  // namespace classifiers
