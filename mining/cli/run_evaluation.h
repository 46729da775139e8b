#pragma once

#include <cstdint>
#include <set>
#include <string>

#include "cli/command_line.h"
#include "cli/program.h"
#include "cli/time_budget.h"
#include "data/dataset.h"
#include "evaluation/run_result.h"
#include "util/result.h"

namespace mining {

// The most records the check for test records among the training records looks at: on larger
// data it would cost a noticeable share of the run, and a repeated record there matters little.
inline constexpr std::size_t kDuplicateCheckRecords = 500000;

// What a seeded sample of training rows for the chosen setting mixes into the run's seed, so
// that it differs from the search's own sample.
inline constexpr std::uint64_t kTrainingSampleSeed = 0x7f4a7c159e3779b9ull;

// The first phase of a run, after reading: computes everything the run knows and writes no text.
//
// With a split (options.folds 0): splits `data` by options.percent (shuffled by options.seed, or
// in file order), trains a model of `program` on the training records and evaluates it on the
// test records, or on the training records when none are left (onTraining). With options.folds
// K > 0: deals the records into K stratified folds, tests each fold by a fresh model trained on
// the others only, pools the folds' counts, and trains the model the report describes on all
// records. With options.autoTune and two candidates or more (program.candidates(given), which
// leaves the settings given on the command line alone), each model is the candidate that
// cross-validation on its own training records chooses, within what `budget` allows. With
// options.predictions the predictions and class probabilities of the tested records are kept.
// `times` holds when the run started and when reading ended; the result gets the rest. When
// `deadline` comes near, self-tuning stops at its next fold (see tune()).
// Fails when the split leaves no training records or a model cannot be trained.
Result<RunResult> runEvaluation(const Dataset& data, const RunOptions& options,
                                const ClassifierProgram& program,
                                const std::set<std::string>& given, const TimeBudget& budget,
                                RunTimes times, const Deadline& deadline = {});

}  // namespace mining
