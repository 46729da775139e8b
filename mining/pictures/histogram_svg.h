#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "data/dataset.h"
#include "interval/tree.h"
#include "pictures/node_histograms.h"

namespace mining::pictures {

// The drawings of a tree's nodes.

// Returns the histogram of decision node `node` (split on `attribute`) as an SVG drawing: a bar
// per bin (numeric) or per branch (nominal, labelled by its value where the label fits), each
// stacked by class, all on one count scale; a numeric split's cut points as marked lines, with
// their values. Each bar names its range or value and its counts by class on hover.
std::string histogramSvg(const interval::TreeNode& node, const NodeHistogram& histogram,
                         const Attribute& attribute, const std::vector<std::string>& classNames);

// Returns `counts` (one per class) as a horizontal bar `length` pixels long, the classes side by
// side in class order, each part's length by its count; on hover the counts. `label` names the
// bar for screen readers.
std::string classBarSvg(std::span<const std::uint32_t> counts, double length,
                        const std::vector<std::string>& classNames, std::string_view label);

// Returns the counts as a text: "34 records: Iris-setosa 30, Iris-versicolor 4" (classes with
// none left out).
std::string countsText(std::span<const std::uint32_t> counts,
                       const std::vector<std::string>& classNames);

}  // namespace mining::pictures
