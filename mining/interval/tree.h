#pragma once

#include <cstddef>
#include <cstdint>
#include <nlohmann/json_fwd.hpp>
#include <span>
#include <vector>

#include "data/dataset.h"
#include "interval/partition.h"
#include "model/model_file.h"
#include "util/collective.h"
#include "util/deadline.h"

namespace mining::interval {

// The choices that shape the tree.
struct TreeOptions {
    int bins = 20;                          // B: initial intervals of a numeric attribute
    Binning binning = Binning::EqualWidth;  // how those intervals are cut
    int maxDepth = 10;                      // L: conditions on the longest path
    int binRecords = 10;            // > 0: fewer bins at a small node, about this many records each
    int maxBranches = 0;            // >= 2: most branches of a numeric split (0: no limit)
    int minSplit = 2;               // a node with fewer training records is a leaf
    double pruneConfidence = 0.25;  // > 0: prune by estimated errors at this level (prune.h)
    std::uint64_t workLimit = 0;    // > 0: the most work growing may count (IntervalTree)
    // Not null under a work limit: growth also stops at the next node once the deadline has
    // passed, and the tree is pruned as grown. Not saved; it must outlive growing.
    const Deadline* deadline = nullptr;
};

// One node of the tree. Node 0 is the root; a node's children are later in the list.
struct TreeNode {
    std::vector<std::uint32_t> counts;  // its training records by class
    std::uint32_t total = 0;            // their number
    std::int32_t label = 0;   // its majority (a tie to the earlier class); for a node without
                              // records, its parent's majority
    int depth = 0;            // conditions on its path (len); 0 at the root
    std::int32_t winner = 0;  // as a branch of its parent: the winner of its interval or value
    bool strong = false;      // ... and whether it was strong (false at the root)
    bool pruned = false;      // a leaf that pruning made of a grown subtree

    std::int32_t attribute = -1;  // the attribute it splits on; -1 for a leaf
    bool numeric = false;
    std::vector<double> cuts;                // numeric: child j holds cuts[j-1] <= v < cuts[j]
    std::vector<std::int32_t> childValues;   // nominal: the value code of each child
    std::vector<std::int32_t> childOfValue;  // nominal: the child of each value code, or -1
    std::vector<std::uint32_t> children;     // node indices, one per branch
    std::uint32_t missingChild = 0;  // the branch (index into children) with the most records

    bool isLeaf() const { return attribute < 0; }
};

// An interval classifier tree.
//
// Growing a node with len conditions on its path: it is a leaf of its majority when it is pure,
// when len = L, when it has fewer than minSplit (2) records, or when no attribute splits it with a
// positive gain ratio. Otherwise every attribute is partitioned for branches at len + 1: a nominal
// one (not yet used on the path) into its values present at the node, a numeric one (usable again
// deeper) into the merged intervals of mergeBins(), or with maxBranches >= 2 of
// mergeBinsLimited() (at most that many); an attribute with fewer than two parts is passed over.
// The one with the best gain ratio (gain_ratio.h) splits the node; a tie goes to the earlier
// attribute. Records whose value of that attribute is missing go to the branch with the most
// records. A branch whose winner is strong becomes a leaf, a weak one is grown further; every
// branch is labelled by the plain majority of its records.
//
// With pruneConfidence > 0 the grown tree is then pruned by pruneNodes().
//
// Work: a node whose split is evaluated counts, for each attribute evaluated there (every
// numeric attribute, and every nominal one not yet used on its path), its training records plus
// the attribute's bins B (numeric) or its number of values (nominal) times the number of
// classes: the evaluation reads every record and then a table of every bin or value's counts
// per class, and at a small node of a many-valued attribute of many classes the table costs the
// most. A node that is a leaf by the rules above before any attribute is
// evaluated counts nothing. The grown tree's work is the sum over its nodes. It depends only on
// the data and the options, never on the clock or the number of cores.
//
// With workLimit == 0 (the default) the tree grows depth first without limit. With workLimit > 0
// it grows breadth first, level by level and in node order within a level, so that a cut leaves
// an evenly grown tree, and:
// - when evaluating a node would take the work past workLimit, growth stops: that node and every
//   node not yet grown stay leaves of their majority, and the tree is pruned as usual;
// - a node whose best split has more than 32 branches and more branches than half its training
//   records (they would hold fewer than 2 records each on average) is a leaf, counted in
//   nearEmptyLeaves(). A many-valued nominal attribute at a small node would otherwise split it
//   into as many leaves of a record or so each, which costs much and predicts little.
// Below the limit the tree is the unlimited one but for those near-empty leaves and the order of
// its nodes.
//
// Classifying descends by interval or value; a missing value follows the branch with the most
// training records; a nominal value not seen at a node gets that node's majority.
class IntervalTree {
public:
    // Returns the tree grown on rows `rows` of `data`. Requires rows non-empty, every row <
    // data.recordCount(), data.classCount() > 0, 2 <= options.bins, 1 <= options.maxDepth
    // <= 1000 and options.maxBranches 0 or at least 2.
    static IntervalTree grow(const Dataset& data, std::span<const RowIndex> rows,
                             const TreeOptions& options);
    // Returns the tree grow() grows on every process's rows `rows` of its share `share` joined
    // in process order, to the same bits, every process of `all` calling it with its own: each
    // node's choice reads only figures combined over the processes (the ranges, counts by
    // interval or value and class), so every process grows the same tree, node by node in the
    // same order, while each keeps only its own records. Requires the processes' shares to have
    // the same attributes, value lists and classes, some rows on some process, fewer than 2^32
    // rows in all, and with more than one process binning of equal width; a deadline is not
    // followed over more than one process. With one process it is grow().
    static IntervalTree growOnShares(const Dataset& share, std::span<const RowIndex> rows,
                                     const TreeOptions& options, Collective& all);

    // Returns the predicted class code of `row`. Requires data to have the attributes and
    // classes of the training data.
    std::int32_t classify(const Dataset& data, RowIndex row) const;
    // Returns the node where classifying `row` stops: a leaf, or the node whose branches hold no
    // value like the row's. classify() returns its label. Requires as classify().
    std::uint32_t nodeOf(const Dataset& data, RowIndex row) const;
    // Returns the branch of decision node `node` (an index into its children) that classifying
    // `row` follows, as nodeOf() does: by interval or value, a missing value to missingChild;
    // -1 for a nominal value the node has no branch for. Requires `node` not a leaf, and data as
    // classify().
    std::int32_t branchOf(const Dataset& data, std::uint32_t node, RowIndex row) const;

    // Returns the tree's options, nodes and growth figures for a model file.
    nlohmann::json save() const;
    // Returns the tree save() wrote, for data of `schema`'s attributes and classes; it classifies
    // to the same bits. Throws ModelFileError (model/model_file.h) when `saved` is malformed:
    // every index, count and size is checked against the schema and the nodes, and every node
    // but the root must be the branch of exactly one earlier node, so the tree has no cycle.
    static IntervalTree load(JsonValue saved, const ModelSchema& schema);

    const std::vector<TreeNode>& nodes() const { return nodes_; }
    const TreeOptions& options() const { return options_; }
    std::size_t leafCount() const;
    // Returns the largest depth of a leaf.
    int depth() const;

    // Returns the work counted while growing (see above), with or without a limit.
    std::uint64_t workDone() const { return workDone_; }
    // Returns whether growth stopped at options().workLimit.
    bool growthStopped() const { return growthStopped_; }
    // Returns whether growth stopped because options().deadline had passed.
    bool stoppedByClock() const { return stoppedByClock_; }
    // Returns the nodes grown when growth stopped (0 if it did not): before pruning.
    std::size_t nodesAtStop() const { return nodesAtStop_; }
    // Returns how many nodes were made leaves for splitting into near-empty branches.
    std::size_t nearEmptyLeaves() const { return nearEmptyLeaves_; }

private:
    class Grower;
    std::vector<TreeNode> nodes_;
    TreeOptions options_;
    std::uint64_t workDone_ = 0;
    bool growthStopped_ = false;
    bool stoppedByClock_ = false;
    std::size_t nodesAtStop_ = 0;
    std::size_t nearEmptyLeaves_ = 0;
};

}  // namespace mining::interval
