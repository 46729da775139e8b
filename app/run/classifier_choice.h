#pragma once

#include <QString>
#include <QStringList>

namespace classifiers {

// Which classifier program a run starts and which result file it leaves.
struct ClassifierChoice {
    QString programName;   // "tarnel" or "classify", without the platform's executable suffix
    QString resultSuffix;  // appended to the base path: "_interval.output" or "_bayes.output"
};

// The interval classifier only when `comboText` is exactly "Interval Classifier" (same case,
// nothing before or after); any other text, empty or typed, chooses the Bayesian classifier.
ClassifierChoice chooseClassifier(const QString& comboText);

// Returns the full path of a classifier program: `programDir`, then `subdir` when not empty, then
// `programName` with the platform's executable suffix (".exe" on Windows, none elsewhere).
QString classifierProgramPath(const QString& programDir, const QString& subdir,
                              const QString& programName);

// Returns the classifier's arguments: exactly the file argument (a base path or a table's path)
// and the percentage text, each whole, spaces and shell characters included.
QStringList classifierArguments(const QString& fileArgument, const QString& percentText);

}  // namespace classifiers
