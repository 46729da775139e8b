#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "data/dataset.h"
#include "evaluation/run_result.h"

namespace mining {

// The pieces of a report that every kind of run shares, written as plain text lines of at most
// kReportWidth columns.

// Returns `notes` as one paragraph: the first keeps its label ("Note: ", "Warning: "), the
// others follow as sentences, each keeping a label that differs from the first's.
std::string paragraph(const std::vector<std::string>& notes);

// Writes "Data file: ...", "Names file: ...", the attributes by type (those with no value or one
// value in every record apart, once), the class values and the records read, left out and used.
void writeDataLines(std::ostream& out, const Dataset& data);

// Writes "Split: ..." on one line, or on two (broken after the ';') when one would be wider
// than the report, as with millions of records or a long seed.
void writeSplitLine(std::ostream& out, const RunOptions& options, const RunResult& result);

// Writes the line on the folds' accuracies: their mean and standard deviation.
std::string foldLine(const std::vector<double>& accuracies);

// Writes "Time: T s (reading R s, training T s, testing S s)", timed from times.start to now.
void writeTime(std::ostream& out, const RunTimes& times);

}  // namespace mining
