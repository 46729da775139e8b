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

// What self-tuning found: each candidate's cross-validated accuracy and the one chosen.
struct Tuning {
    std::vector<std::string> labels;
    std::vector<double> accuracies;  // pooled over the folds, in [0, 1]
    std::size_t chosen = 0;
    std::size_t records = 0;  // the training records it cross-validated on
};

// Chooses among `candidates` (at least one) by stratified kTuningFolds-fold cross-validation on
// the training rows `rows` of `data` only (a seeded sample of kTuningRecords when there are
// more): the candidate of the best pooled accuracy, the earliest on a tie, so the first (the
// program's default) wins unless another does better. Fails when a candidate cannot be trained.
Result<Tuning> tune(const Dataset& data, std::span<const RowIndex> rows,
                    const std::vector<Candidate>& candidates, std::uint64_t seed);

// Writes the lines on the choice for the model section: the records and folds, each candidate
// with its accuracy, the chosen one marked.
std::string describeTuning(const Tuning& tuning);

}  // namespace mining
