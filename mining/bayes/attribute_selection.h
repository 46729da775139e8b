#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "bayes/naive_bayes.h"
#include "data/dataset.h"

namespace mining {

// The most training records the choice of treatments cross-validates on; more are sampled.
inline constexpr std::size_t kSelectionRecords = 5000;
// The folds of that cross-validation.
inline constexpr std::size_t kSelectionFolds = 5;
// The most log-likelihood terms (records x attributes x treatments x classes) it holds; with
// more attributes and classes it samples fewer records, down to kSelectionLeastRecords, and
// gives up beyond that.
inline constexpr std::size_t kSelectionTerms = 24'000'000;
inline constexpr std::size_t kSelectionLeastRecords = 500;

// What the choice found.
struct AttributeSelection {
    bool made = false;                        // false: too many terms to hold; `uses` is then empty
    std::vector<AttributeUse> uses;           // one per attribute
    NumericMode start = NumericMode::Normal;  // the best treatment of all numeric attributes
    double startAccuracy = 0;                 // its cross-validated accuracy, in [0, 1]
    double accuracy = 0;                      // that of the choice
    std::size_t records = 0;                  // the records it cross-validated on
};

// Chooses how naive Bayes treats each attribute, by stratified kSelectionFolds-fold
// cross-validation on the training rows `rows` of `data` (a sample of kSelectionRecords of them
// when there are more, seeded with `seed`). Each fold trains a model in every NumericMode on the
// other folds and keeps, for each of its records, every attribute's term log P(x | c) under each
// mode. The choice starts from the mode of the best accuracy over the folds, for every numeric
// attribute, and then takes one change at a time (one attribute to another treatment, or left
// out) while the best change makes more records right; a tie goes to the earlier attribute and
// mode. A choice found on the sample is one a fresh model applies to all of `rows`.
AttributeSelection selectAttributes(const Dataset& data, std::span<const RowIndex> rows,
                                    std::uint64_t seed);

// Returns the records selectAttributes() cross-validates on for `rows` training records of data
// of `data`'s attributes and classes: the sample's size, all of them when fewer, or 0 when no
// choice is made.
std::size_t selectionRecords(const Dataset& data, std::size_t rows);

}  // namespace mining
