#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "data/dataset.h"
#include "interval/tree.h"

namespace mining::pictures {

// The values of a decision node's split attribute among the records that reach it, counted by
// class: for a numeric attribute in `bins` bins of equal width between the smallest and the
// largest value there (one bin when they are equal), for a nominal one a bar per branch.
struct NodeHistogram {
    std::size_t records = 0;            // the records that reach the node
    std::size_t missing = 0;            // ... of which miss the attribute's value
    std::size_t unseen = 0;             // ... and hold a value the node has no branch for
    std::vector<double> edges;          // numeric: the bins' edges, ascending (bins + 1)
    std::vector<std::uint32_t> counts;  // [bar * classCount + class]
};

// Returns a histogram for each node of `tree` (an empty one for a leaf and for a node not
// `wanted`, which must hold a flag per node) of the records `rows` of `data` whose class is
// known, each routed from the root as classifying routes it (IntervalTree::branchOf()): a
// missing value to the branch with the most training records; a record stops at a node without
// a branch for its value. Every row is read once per level it reaches. Requires data to have the
// tree's attributes and classes, every row < data.recordCount(), bins >= 1.
std::vector<NodeHistogram> nodeHistograms(const interval::IntervalTree& tree, const Dataset& data,
                                          std::span<const RowIndex> rows,
                                          const std::vector<bool>& wanted, std::size_t bins);

}  // namespace mining::pictures
