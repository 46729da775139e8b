#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "cli/program.h"
#include "cli/time_budget.h"
#include "data/dataset.h"
#include "evaluation/run_result.h"
#include "util/result.h"

namespace mining {

// The folds of self-tuning's cross-validation.
inline constexpr std::size_t kTuningFolds = 5;

// Chooses among the first plan.tried of `candidates` (at least one) by stratified
// kTuningFolds-fold cross-validation on a seeded sample of plan.records of the training rows
// `rows` of `data` only: the candidate of the best pooled accuracy, the earliest on a tie, so
// the first (the program's default) wins unless another does better. A skipped plan chooses
// the first untried. Where `deadline` comes closer than plan.finalSeconds before a fold, the
// search stops there (cut) and chooses on the folds every candidate was tested on, or keeps the
// defaults when there are none. Fails when a candidate cannot be trained.
Result<Tuning> tune(const Dataset& data, std::span<const RowIndex> rows,
                    const std::vector<Candidate>& candidates, std::uint64_t seed,
                    const TuningPlan& plan, const Deadline& deadline = {});

// As above, with the plan the budget allows (see planTuning): all candidates on at most
// kTuningRecords of `rows` when the budget sets no limit.
Result<Tuning> tune(const Dataset& data, std::span<const RowIndex> rows,
                    const std::vector<Candidate>& candidates, std::uint64_t seed,
                    const TuningBudget& budget = {}, const Deadline& deadline = {});

// Returns the sentence that the chosen candidate trained on a seeded sample of the training
// records (when tuning.training is above 0).
std::string trainingSentence(const Tuning& tuning);

// Writes the lines on the choice for the model section: the records and folds, each candidate
// with its accuracy, the chosen one marked; or, when skipped, that the defaults were kept.
std::string describeTuning(const Tuning& tuning);

}  // namespace mining
