#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/program.h"
#include "data/dataset.h"
#include "model/model.h"
#include "util/result.h"

namespace mining {

// How a run makes models: fresh ones with the program's settings, and the candidates
// self-tuning chooses among (ClassifierProgram::candidates).
struct ModelMaker {
    std::function<std::unique_ptr<Model>()> fresh;
    std::vector<Candidate> candidates;
    RunCosts runCosts;        // what the run costs, so that tuning gets the rest of a time limit
    TuningCosts tuningCosts;  // what the candidates cost
};

// The part of a run after reading: splits `data` by `settings`, trains `model`, evaluates it on
// the test records (on the training records when none are left, and says so) and returns the
// report text, timed from `start` with reading done at `readDone`. Writes no file.
// With settings.folds = K > 0 the evaluation is by stratified K-fold cross-validation over all
// records instead: each fold is tested by a model from `maker` (required then) trained on the
// other folds only; the evaluation pools the folds and gives their mean and standard deviation;
// `model`, trained on all records, is the one the report describes. With settings.autoTune and
// two candidates or more in `maker`, the model is the candidate that cross-validation on the
// training records alone chooses (for each fold, on that fold's training records), and the
// model section lists the candidates with their accuracies.
// `described`, when set, is called with the model the report describes, trained, and the
// report's result line.
// Returns an error message (exit status 1) when the split leaves no training records or the
// model cannot be trained.
using DescribedModel = std::function<void(const Model& model, const std::string& result)>;
Result<std::string> classifierReport(const Dataset& data, const RunSettings& settings,
                                     const ProgramInfo& info, Model& model,
                                     std::chrono::steady_clock::time_point start,
                                     std::chrono::steady_clock::time_point readDone,
                                     const ModelMaker& maker = {},
                                     const DescribedModel& described = {});

}  // namespace mining
