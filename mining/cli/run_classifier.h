#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "model/model.h"

namespace mining {

// An option that belongs to one program (the shared ones are --help, --version, --keep-order
// and --seed N).
struct ProgramOption {
    std::string name;       // "--discretize"
    std::string valueName;  // "" for a flag, else what the value is, e.g. "N"
    std::string help;       // one line for --help
};

// What distinguishes one classifier program from another.
struct ProgramInfo {
    std::string name;          // "classify"; the name in --help, --version and the report
    std::string summary;       // one line for --help, e.g. "naive Bayesian classifier"
    std::string reportSuffix;  // "_bayes": the report is BASE + reportSuffix + ".output"
    std::vector<ProgramOption> options;
    std::string helpNotes;  // more text for --help (may be empty), lines ending in '\n'
};

// How a run splits its records: the training share (0 to 100), file order or a shuffle, and the
// shuffle's seed.
struct RunSettings {
    double percent = 100;
    bool keepOrder = false;
    std::uint64_t seed = 1;
};

// The part of a run after reading: splits `data` by `settings`, trains `model`, evaluates it on
// the test records (on the training records when none are left, and says so) and returns the
// report text, timed from `start` with reading done at `readDone`. Writes no file.
// Returns an error message (exit status 1) when the split leaves no training records or the
// model cannot be trained.
Result<std::string> classifierReport(const Dataset& data, const RunSettings& settings,
                                     const ProgramInfo& info, Model& model,
                                     std::chrono::steady_clock::time_point start,
                                     std::chrono::steady_clock::time_point readDone);

// The whole run of a classifier program: `NAME [options] BASE PERCENT`.
//
// Parses the arguments, reads BASE.data (+ BASE.names), splits, trains the model made by
// `makeModel`, evaluates it on the test records (on the training records when none are left for
// testing, and says so), and writes the report to BASE<suffix>.output atomically (a temporary
// file in the same folder renamed into place). Prints nothing on success.
// On an error: writes a report whose first line is "Error: " and the message, prints that line
// on stderr, and returns 1 (2 for a usage error); when the report itself cannot be written, the
// message goes to stderr alone. --help and --version print to stdout and return 0.
// Returns the process exit status.
int runClassifier(int argc, char** argv, const ProgramInfo& info, const ModelFactory& makeModel);

}  // namespace mining
