#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "data/dataset.h"
#include "interval/rules.h"
#include "interval/tree.h"

namespace mining::interval {

// The model section of the report: the options, what the work limit left out (one line, only
// when it left something out), the tree and the rules of each class.
//
// The tree is written one line per branch, indented by "|   " per level:
//     39.5 <= age < 60.5: A weak, 3350 records
//     |   elevel = 0: A strong, 660 records -> A
// (condition, winner, strong or weak, training records; "-> class" on a leaf, "(pruned)" after it
// when pruning made the leaf). A numeric branch holds the values from its lower cut (included)
// up to its upper cut (excluded). Below kIndentLevels levels the indent stops growing and the
// level is written as "[12]" instead. A tree of more than maxLeaves leaves is summarised by its
// size and its first summaryLevels levels. Then, per class, its rule set as a disjunction of
// conjunctions readable as a query:
//     age < 39.5 AND elevel IN (0, 1)
// at most maxConjunctions per class, then how many more there are. Every line fits within 80
// columns: a long condition or list breaks, its continuation lines indented.
struct ReportLimits {
    std::size_t maxLeaves = 200;
    int summaryLevels = 3;
    std::size_t maxConjunctions = 40;
};

// Levels of the tree indented by a bar each; deeper branches keep this indent.
inline constexpr int kIndentLevels = 8;

// `sqlFile`, when not empty, is named after the rules' heading as the file that holds them as SQL.
void describeModel(const IntervalTree& tree, const Dataset& data, std::ostream& out,
                   const ReportLimits& limits = {}, const std::string& sqlFile = "");

// Returns what the work limit left out of the tree, one sentence each: that growth stopped
// (with the nodes grown by then) and how many nodes were made leaves for splitting into
// near-empty branches; empty when neither happened. Counts are written with thousands commas.
std::vector<std::string> limitSentences(const IntervalTree& tree);

// Returns the text of one condition: "age < 39.5", "39.5 <= age < 60.5", "age >= 60.5",
// "elevel = 0", "elevel IN (0, 1)". Values holding a space, comma, quote or parenthesis are
// quoted '...'.
std::string conditionText(const Condition& c, const std::vector<Attribute>& attributes);

}  // namespace mining::interval
