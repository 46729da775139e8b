#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "cli/program.h"
#include "data/dataset.h"
#include "util/result.h"

namespace mining {

// The most training records self-tuning cross-validates on; a larger training set is tuned on
// a seeded sample of this many, so that tuning stays a small part of a large run.
inline constexpr std::size_t kTuningRecords = 5000;
// The folds of self-tuning's cross-validation.
inline constexpr std::size_t kTuningFolds = 5;
// The fewest training records self-tuning is worth running on within a time limit (or all
// of them, when there are fewer).
inline constexpr std::size_t kLeastTuningRecords = 200;

// The time self-tuning may take (0: no limit), what its candidates cost, and what training the
// default model on all training records is estimated to take (0: not counted).
struct TuningBudget {
    double seconds = 0;
    TuningCosts costs;
    double trainingSeconds = 0;
};

// What self-tuning found: each candidate's cross-validated accuracy and the one chosen.
struct Tuning {
    std::vector<std::string> labels;
    std::vector<double> accuracies;  // pooled over the folds, in [0, 1]
    std::size_t chosen = 0;
    std::size_t records = 0;  // the training records it cross-validated on
    bool skipped = false;     // the budget did not allow kLeastTuningRecords: the first chosen
    bool tooLarge = false;    // skipped because budget.trainingSeconds exceeds the budget
    std::vector<std::string> untried;  // the last candidates, left out to fit the budget
};

// Chooses among `candidates` (at least one) by stratified kTuningFolds-fold cross-validation on
// the training rows `rows` of `data` only (a seeded sample of kTuningRecords when there are
// more): the candidate of the best pooled accuracy, the earliest on a tie, so the first (the
// program's default) wins unless another does better. Within a time limit the sample is as
// large as the candidates' estimated costs allow (the training of the one chosen counted too);
// when that is below kLeastTuningRecords, the last candidates are left out (untried) down to
// two, and if even two do not fit, nothing is tried and the first is chosen (skipped). Where
// budget.trainingSeconds alone exceeds the budget, a costlier setting could not be afforded on
// all records, and nothing is tried either (skipped, tooLarge).
// Only the data's size and the budget decide, never the clock. Fails when a candidate cannot
// be trained.
Result<Tuning> tune(const Dataset& data, std::span<const RowIndex> rows,
                    const std::vector<Candidate>& candidates, std::uint64_t seed,
                    const TuningBudget& budget = {});

// Returns how many of `available` training records the budget lets self-tuning cross-validate
// on (at most kTuningRecords), or 0 when fewer than kLeastTuningRecords (or `available`).
std::size_t tuningRecords(const Dataset& data, std::size_t available,
                          std::span<const Candidate> candidates, const TuningBudget& budget);

// Writes the lines on the choice for the model section: the records and folds, each candidate
// with its accuracy, the chosen one marked; or, when skipped, that the defaults were kept.
std::string describeTuning(const Tuning& tuning);

}  // namespace mining
