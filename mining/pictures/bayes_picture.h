#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "bayes/naive_bayes.h"
#include "data/dataset.h"

namespace mining::pictures {

// The pictures of a naive Bayes model: for each attribute it uses, the class-conditional
// distributions on one shared axis: curves for a normal or kernel attribute, bars for a nominal
// or discretized one.

// The most values or bins of an attribute whose bars are drawn: beyond, those with the largest
// probability in some class.
inline constexpr std::size_t kBarValues = 30;
// The points at which a numeric attribute's curves are evaluated.
inline constexpr std::size_t kCurvePoints = 161;

// Returns how much knowing an attribute's value tells of the class: the mutual information, in
// bits, between the class (of probabilities `priors`) and the attribute, whose distribution
// within class c is perClass[c] over the same cells (values, bins or points of a curve; each
// row scaled to sum to 1 here, a row summing to 0 left out). 0 when it tells nothing.
double separation(const std::vector<std::vector<double>>& perClass,
                  const std::vector<double>& priors);

// Returns the HTML of `model`'s attributes (trained on `data`), each drawn with its distributions
// per class, the attributes ordered by separation(), the most separating first (a normal
// attribute's axis spans its classes' curves, a kernel one's its values among `rows`); then the
// attributes left out and why.
// `choice`, when not empty, says how the model chose its treatments (HTML).
std::string bayesPicture(const NaiveBayes& model, const Dataset& data,
                         std::span<const RowIndex> rows, const std::string& choice);

}  // namespace mining::pictures
