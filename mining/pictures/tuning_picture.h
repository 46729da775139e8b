#pragma once

#include <string>
#include <vector>

#include "evaluation/run_result.h"

namespace mining::pictures {

// Returns the HTML of self-tuning's choice: each candidate tried as a dot at its
// cross-validated accuracy with a bar of one spread (the standard deviation of its folds'
// accuracies) either side, the defaults first, the one chosen marked and drawn in blue, the best
// marked; then how the choice was made and what was not tried. A skipped search says that the
// defaults were kept, and why.
std::string tuningPicture(const Tuning& tuning);

// Returns the HTML of a cross-validation's folds: each fold's accuracy as a dot, their mean as a
// line, and the mean and standard deviation as the report gives them.
std::string foldsPicture(const std::vector<double>& accuracies);

}  // namespace mining::pictures
