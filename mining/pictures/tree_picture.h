#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "data/dataset.h"
#include "interval/tree.h"

namespace mining::pictures {

// The records a tree's histograms count: the records the tree was trained on, or, for a saved
// model, the records it scored (those whose class is known).
struct TreeRecords {
    std::span<const RowIndex> rows;
    bool training = true;
};

// How much of a tree its picture draws and shows at first.
struct TreeLimits {
    // The nodes shown open: the levels from the root whose nodes number at most this many (the
    // root and its branches at least); deeper levels are folded into <details>, which open
    // without a script, foldLevels levels at a time.
    std::size_t openNodes = 15;
    int foldLevels = 2;
    // The most nodes drawn, whole levels of branches from the root; a node whose branches fall
    // beyond says how many nodes below it are not drawn.
    std::size_t drawnNodes = 600;
    // The most records the histograms count: beyond, a seeded sample of this many, which
    // draws the same shapes at a fraction of the cost on large data.
    std::size_t histogramRecords = 100000;
    // The bins of a numeric attribute's histogram; the rules shown per class.
    std::size_t bins = 24;
    std::size_t rulesPerClass = 40;
};

// Returns the first level that `limits` folds: the deepest level d >= 1 at which the nodes of
// depth <= d number at most limits.openNodes, plus one (deeper than the tree when none is
// folded).
int foldedDepth(const interval::IntervalTree& tree, const TreeLimits& limits);

// Returns, per node, whether the picture draws it: the root, then the branches of each drawn
// decision node in order of depth (and of their place in the list), all of a node's branches
// or none, while the drawn nodes stay within limits.drawnNodes.
std::vector<bool> drawnNodes(const interval::IntervalTree& tree, const TreeLimits& limits);

// Returns the HTML of the tree drawn top-down: each decision node with its split attribute's
// values among `records` as a histogram stacked by class, the cut points marked, and its record
// count; each leaf with a bar of its training records' classes (its length by their number),
// its record count, the class it predicts, strong or weak, and whether pruning made it; each
// branch with its condition. Then each class's rules, ranked as the report ranks them
// (extractRules()).
std::string treePicture(const interval::IntervalTree& tree, const Dataset& data,
                        const TreeRecords& records, const TreeLimits& limits = {});

}  // namespace mining::pictures
