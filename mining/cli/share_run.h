#pragma once

#include <set>
#include <string>

#include "cli/command_line.h"
#include "cli/program.h"
#include "cli/time_budget.h"
#include "data/reader.h"
#include "evaluation/run_result.h"
#include "util/collective.h"
#include "util/result.h"

namespace mining {

// Returns whether a run of `options` works on the processes' own shares (shareSplitRun,
// shareCrossValidation): one that draws no web page, of a program whose models (every candidate
// of self-tuning, `given` the settings on the command line) train from the shares. Any other run
// of several processes gathers every record at the first process.
bool runsOnShares(const RunOptions& options, const ClassifierProgram& program,
                  const std::set<std::string>& given);

// The first phase of a split run over several processes (see runEvaluation), each process of
// `collective` calling it with `share`, its own share of the records, and every record read
// (no time limit). Each process splits its own records as the whole split puts them.
// Self-tuning runs at the first process on the seeded sample of the training records that one
// process would take, gathered there; the chosen model trains from the shares
// (Model::trainOnShares) and the first process sends it to the others; every process tests its
// own test records, and only counts are sent (and with options.predictions, each process's lines
// of the predictions file, in result.predictionsText). The first process's result is the one
// process's result; the others' hold nothing of use. Fails at every process alike. Requires
// runsOnShares().
Result<RunResult> shareSplitRun(const DataShare& share, const RunOptions& options,
                                const ClassifierProgram& program,
                                const std::set<std::string>& given, const TimeBudget& budget,
                                RunTimes times, Collective& collective);

// As shareSplitRun, for a run evaluated by options.folds-fold cross-validation: the folds dealt
// as one process deals them (recordFolds(): every process finds its own records' folds from
// every process's class counts), each fold's model trained from the shares and tested by
// every process on its own records of the fold, and the model the report describes trained on all
// records.
Result<RunResult> shareCrossValidation(const DataShare& share, const RunOptions& options,
                                       const ClassifierProgram& program,
                                       const std::set<std::string>& given, const TimeBudget& budget,
                                       RunTimes times, Collective& collective);

}  // namespace mining
