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

// What a run keeps for the files it writes besides its report.
struct RunOutputs {
    // Asked for: the predictions of the test records (with --folds, of every record).
    bool wantPredictions = false;
    // The model the report describes: `owned` when the run made it (self-tuning, folds), else
    // the model the run was given.
    std::unique_ptr<Model> owned;
    const Model* trained = nullptr;
    // With wantPredictions: the records predicted in file order, the prediction of each, and
    // their class probabilities (classCount per record).
    std::vector<RowIndex> rows;
    std::vector<std::int32_t> predicted;
    std::vector<double> probabilities;
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
// When `outputs` is not null it receives the trained model and, when it asks, the predictions.
Result<std::string> classifierReport(const Dataset& data, const RunSettings& settings,
                                     const ProgramInfo& info, Model& model,
                                     std::chrono::steady_clock::time_point start,
                                     std::chrono::steady_clock::time_point readDone,
                                     const ModelMaker& maker = {},
                                     const DescribedModel& described = {},
                                     RunOutputs* outputs = nullptr);

// What applying a saved model to a data file found, for its report.
struct AppliedRun {
    std::string modelPath;
    std::vector<RowIndex> evaluated;      // the records whose class the model knows
    std::vector<std::int32_t> predicted;  // the prediction of each of `evaluated`
    std::vector<std::string> notes;       // what scoring met: unseen values, unknown classes
    std::size_t records = 0;              // every record scored
};

// Returns the report of a saved model applied to `data` (read into the model's schema): the
// title, the result line, the notes, the data and model files, the model's description and the
// evaluation on `run.evaluated`, timed from `start` (reading and loading done at `readDone`).
std::string appliedReport(const Dataset& data, const ProgramInfo& info, const Model& model,
                          const AppliedRun& run, std::chrono::steady_clock::time_point start,
                          std::chrono::steady_clock::time_point readDone);

}  // namespace mining
