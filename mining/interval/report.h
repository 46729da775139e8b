#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "data/dataset.h"
#include "interval/rules.h"
#include "interval/tree.h"

namespace mining::interval {

// The model section of the report: the options, the tree and the rules of each class.
//
// The tree is written one line per branch, indented by "|   " per level:
//     39.5 <= age < 60.5: A weak, 3350 records
//     |   elevel = 0: A strong, 660 records -> A
// (condition, winner, strong or weak, training records; "-> class" on a leaf, "(pruned)" after it
// when pruning made the leaf). A tree of more than
// maxLeaves leaves is summarised by its size and its first summaryLevels levels. Then, per class,
// its rule set as a disjunction of conjunctions readable as a query:
//     age < 39.5 AND elevel IN (0, 1)
// at most maxConjunctions per class, then how many more there are. Lines stay within about 80
// columns where the names allow.
struct ReportLimits {
    std::size_t maxLeaves = 200;
    int summaryLevels = 3;
    std::size_t maxConjunctions = 40;
};

void describeModel(const IntervalTree& tree, const Dataset& data, std::ostream& out,
                   const ReportLimits& limits = {});

// Returns `v` as the shortest decimal that reads back as the same double, without an exponent
// for ordinary magnitudes ("39.495", "75000", "-0.25").
std::string formatCut(double v);

// Returns the text of one condition: "age < 39.5", "age >= 39.5 AND age < 60.5", "elevel = 0",
// "elevel IN (0, 1)". Values holding a space, comma, quote or parenthesis are quoted '...'.
std::string conditionText(const Condition& c, const std::vector<Attribute>& attributes);

// Returns the pieces conditionText() joins with " AND " (a range gives two), so that a long rule
// can wrap between them.
std::vector<std::string> conditionParts(const Condition& c,
                                        const std::vector<Attribute>& attributes);

}  // namespace mining::interval
