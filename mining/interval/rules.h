#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "data/dataset.h"
#include "interval/tree.h"

namespace mining::interval {

// One condition of a rule: a numeric attribute in [lo, hi) (either end may be infinite), or a
// nominal attribute in a set of values.
struct Condition {
    std::int32_t attribute = 0;
    bool numeric = false;
    double lo = 0;
    double hi = 0;
    std::vector<std::int32_t> values;  // nominal: ascending value codes

    bool operator==(const Condition&) const = default;
};

// A conjunction of conditions on distinct attributes, in attribute order. An empty one holds for
// every record.
using Conjunction = std::vector<Condition>;

// What a conjunction stands for in training: the training records its leaves hold (support)
// and how many of them are of its class.
struct RuleFigures {
    std::uint64_t support = 0;
    std::uint64_t correct = 0;
};

// The records a class is predicted for: the disjunction of its conjunctions, each with its
// figures (figures[i] of conjunctions[i]), the largest support first.
struct RuleSet {
    std::int32_t classCode = 0;
    std::vector<Conjunction> conjunctions;
    std::vector<RuleFigures> figures;
};

// Returns one rule set per class (in class order) that predicts exactly what the tree predicts
// for records without missing values: every leaf's path becomes a conjunction of its class (the
// conditions on one attribute along a path are intersected), and so does the set of values a
// nominal split did not see in training (they get the splitting node's majority). Then, while
// any two conjunctions of a class differ in one condition only, and there are adjacent intervals
// or value sets of the same attribute, they merge into one (a condition that no longer excludes
// anything is dropped). Merging is skipped for a class with more than maxToMerge conjunctions and
// stops after a bounded number of comparisons; the rules stay exact either way. A merged
// conjunction's figures are the sum of its parts'; last, each class's conjunctions are ordered
// by support, the largest first (ties keep their order).
std::vector<RuleSet> extractRules(const IntervalTree& tree,
                                  const std::vector<Attribute>& attributes, std::size_t classCount,
                                  std::size_t maxToMerge = 2000);

}  // namespace mining::interval
