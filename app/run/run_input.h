#pragma once

#include <QString>
#include <optional>

namespace classifiers {

// What a classifier is started on for the chosen file, and where it leaves its result.
struct RunInput {
    QString argument;    // the classifier's first argument
    QString resultBase;  // the result file is this followed by the classifier's result suffix
};

// Returns what a run of `inputFile` starts, or nothing when the file cannot be run:
//   a .data file (see isDataFile) runs on `baseName`, its base path, and leaves
//   BASE_interval.output or BASE_bayes.output;
//   a table (a name ending in ".csv", ".tsv", ".txt" or ".arff", in any case) runs on its whole
//   path and leaves its result beside it, named by the path less its suffix ("/d/iris.csv" leaves
//   "/d/iris_bayes.output"); any other file, or none (empty), cannot be run.
std::optional<RunInput> runInputFor(const QString& inputFile, const QString& baseName);

}  // namespace classifiers
