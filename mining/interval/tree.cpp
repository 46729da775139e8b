#include "interval/tree.h"

#include <algorithm>

#include "interval/gain_ratio.h"
#include "interval/prune.h"
#include "util/parallel.h"

namespace mining::interval {

namespace {

// A gain ratio at or below this is rounding noise, not information.
constexpr double kMinGainRatio = 1e-12;

// Nodes with at least this many records evaluate their attributes and reorder their records
// in kTasks tasks that may run on threads of their own.
constexpr std::size_t kParallelRecords = 20000;
constexpr std::size_t kTasks = 2;

// The best split found for a node.
struct Choice {
    std::int32_t attribute = -1;
    double gainRatio = 0;
    bool numeric = false;
    std::vector<double> cuts;
    std::vector<std::int32_t> values;
    std::vector<Part> parts;
};

// The training records by column, ordered so that the records of every node lie together: a
// node is a range of positions, and splitting it reorders its range branch by branch. A node is
// grown reading only its own contiguous values, and no memory is allocated per node.
struct Columns {
    std::vector<std::int32_t> classes;
    std::vector<std::vector<double>> numeric;        // by attribute; empty unless numeric
    std::vector<std::vector<std::int32_t>> nominal;  // by attribute; empty unless nominal
};

// The positions [begin, end) of a node's records in Columns.
struct Range {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::size_t size() const { return end - begin; }
};

// Buffers reused between the attributes and nodes one thread evaluates.
struct Scratch {
    std::vector<double> values;
    std::vector<std::int32_t> classes;
    std::vector<std::uint32_t> counts;
};

}  // namespace

// Grows the tree node by node, depth first.
class IntervalTree::Grower {
public:
    // Takes the records `rows` of `data` by column, in ascending row order (which reads each
    // column front to back; the tree does not depend on the order of the records).
    Grower(const Dataset& data, std::span<const RowIndex> rows, const TreeOptions& options,
           std::vector<TreeNode>& nodes)
        : data_(data),
          options_(options),
          nodes_(nodes),
          classCount_(data.classCount()),
          usedNominal_(data.attributeCount(), false) {
        std::vector<RowIndex> ascending(rows.begin(), rows.end());
        if (!std::is_sorted(ascending.begin(), ascending.end())) {
            std::vector<std::uint32_t> taken(data.recordCount(), 0);
            for (RowIndex r : rows) ++taken[r];
            ascending.clear();
            for (std::size_t r = 0; r < taken.size(); ++r) {
                for (std::uint32_t k = 0; k < taken[r]; ++k) {
                    ascending.push_back(static_cast<RowIndex>(r));
                }
            }
        }
        const auto classes = data.classes();
        columns_.classes.reserve(ascending.size());
        for (RowIndex row : ascending) columns_.classes.push_back(classes[row]);
        columns_.numeric.resize(data.attributeCount());
        columns_.nominal.resize(data.attributeCount());
        for (std::size_t a = 0; a < data.attributeCount(); ++a) {
            if (data.attribute(a).type == AttributeType::Numeric) {
                const NumericColumn& column = data.numeric(a);
                columns_.numeric[a].reserve(ascending.size());
                for (RowIndex row : ascending) columns_.numeric[a].push_back(column[row]);
            } else if (data.attribute(a).type == AttributeType::Nominal) {
                const auto codes = data.nominal(a);
                columns_.nominal[a].reserve(ascending.size());
                for (RowIndex row : ascending) columns_.nominal[a].push_back(codes[row]);
            }
        }
    }

    // Returns the range of every record.
    Range all() const { return Range{0, columns_.classes.size()}; }

    // Fills in node `index` (its counts, total, label and depth already set) from its records.
    void grow(std::size_t index, Range range) {
        const TreeNode& node = nodes_[index];
        const int len = node.depth;
        const bool pure = std::count_if(node.counts.begin(), node.counts.end(),
                                        [](std::uint32_t c) { return c > 0; }) <= 1;
        if (pure || len >= options_.maxDepth ||
            node.total < static_cast<std::uint32_t>(std::max(options_.minSplit, 2))) {
            return;
        }
        Choice best = choose(range, len + 1);
        if (best.attribute < 0 || !(best.gainRatio > kMinGainRatio)) return;
        split(index, range, std::move(best));
    }

private:
    // Returns the present values of numeric attribute `a` at the node and their classes (in
    // `scratch` when some are missing).
    std::pair<std::span<const double>, std::span<const std::int32_t>> presentValues(
        Range range, std::size_t a, Scratch& scratch) const {
        const std::span<const std::int32_t> classes(columns_.classes.data() + range.begin,
                                                    range.size());
        const std::span<const double> all(columns_.numeric[a].data() + range.begin, range.size());
        if (std::none_of(all.begin(), all.end(), [](double v) { return isMissing(v); })) {
            return {all, classes};
        }
        scratch.values.clear();
        scratch.classes.clear();
        for (std::size_t i = 0; i < all.size(); ++i) {
            if (isMissing(all[i])) continue;
            scratch.values.push_back(all[i]);
            scratch.classes.push_back(classes[i]);
        }
        return {scratch.values, scratch.classes};
    }

    // Sets the intervals of numeric attribute `a` at the node into `c`.
    void numericChoice(Range range, std::size_t a, int len, Scratch& scratch, Choice& c) const {
        const auto [values, classes] = presentValues(range, a, scratch);
        int binCount = options_.bins;
        if (options_.binRecords > 0) {
            const auto fit = values.size() / static_cast<std::size_t>(options_.binRecords);
            binCount = static_cast<int>(
                std::clamp<std::size_t>(fit, 2, static_cast<std::size_t>(binCount)));
        }
        auto bins = initialBins(values, classes, classCount_, binCount, options_.binning);
        NumericPartition p = mergeBins(bins, len, options_.maxDepth);
        c.numeric = true;
        c.cuts = std::move(p.cuts);
        c.parts = std::move(p.parts);
    }

    // Sets the values of nominal attribute `a` at the node into `c`.
    void nominalChoice(Range range, std::size_t a, int len, Scratch& scratch, Choice& c) const {
        const std::int32_t* codes = columns_.nominal[a].data() + range.begin;
        const std::int32_t* classes = columns_.classes.data() + range.begin;
        const std::size_t valueCount = data_.attribute(a).values.size();
        scratch.counts.assign(valueCount * classCount_, 0);
        for (std::size_t i = 0; i < range.size(); ++i) {
            const std::int32_t code = codes[i];
            if (code < 0 || static_cast<std::size_t>(code) >= valueCount) continue;
            ++scratch.counts[static_cast<std::size_t>(code) * classCount_ +
                             static_cast<std::size_t>(classes[i])];
        }
        NominalPartition p = nominalPartition(scratch.counts, classCount_, len, options_.maxDepth);
        c.values = std::move(p.values);
        c.parts = std::move(p.parts);
    }

    // Returns the partition of the node on attribute `a` with its gain ratio, or a choice with
    // attribute -1 when `a` cannot split it.
    Choice evaluate(Range range, std::size_t a, int len, Scratch& scratch) const {
        Choice c;
        const AttributeType type = data_.attribute(a).type;
        if (type == AttributeType::Numeric) {
            numericChoice(range, a, len, scratch, c);
        } else if (type == AttributeType::Nominal && !usedNominal_[a]) {
            nominalChoice(range, a, len, scratch, c);
        } else {
            return c;
        }
        if (c.parts.size() < 2) return Choice{};
        c.attribute = static_cast<std::int32_t>(a);
        c.gainRatio = gainRatio(flatCounts(c.parts, classCount_), classCount_, range.size());
        return c;
    }

    Choice choose(Range range, int len) {
        const std::size_t attributes = data_.attributeCount();
        std::vector<Choice> choices(attributes);
        // On a large node the attributes are shared out between two tasks, each with its own
        // scratch; the result does not depend on which task evaluates what.
        runTasks(
            kTasks,
            [&](std::size_t t) {
                for (std::size_t a = t; a < attributes; a += kTasks) {
                    choices[a] = evaluate(range, a, len, scratch_[t]);
                }
            },
            range.size() >= kParallelRecords && attributes > 1);
        Choice best;
        for (Choice& c : choices) {
            if (c.attribute < 0) continue;
            if (best.attribute < 0 || c.gainRatio > best.gainRatio) best = std::move(c);
        }
        return best;
    }

    // Returns the branch with the most training records, which takes missing values.
    static std::uint32_t missingBranch(const Choice& choice) {
        std::uint32_t missingChild = 0;
        for (std::uint32_t j = 1; j < choice.parts.size(); ++j) {
            if (choice.parts[j].total > choice.parts[missingChild].total) missingChild = j;
        }
        return missingChild;
    }

    // Returns the branch of each record in `range` for a numeric split.
    std::vector<std::uint32_t> numericSlots(Range range, const Choice& choice,
                                            std::uint32_t missingChild) const {
        std::vector<std::uint32_t> slot(range.size());
        const double* values =
            columns_.numeric[static_cast<std::size_t>(choice.attribute)].data() + range.begin;
        for (std::size_t i = 0; i < slot.size(); ++i) {
            const double v = values[i];
            slot[i] = isMissing(v)
                          ? missingChild
                          : static_cast<std::uint32_t>(
                                std::upper_bound(choice.cuts.begin(), choice.cuts.end(), v) -
                                choice.cuts.begin());
        }
        return slot;
    }

    // Returns the branch of each record in `range` for a nominal split, and sets the branch of
    // each value code (-1 for a value with no branch) in `childOfValue`.
    std::vector<std::uint32_t> nominalSlots(Range range, const Choice& choice,
                                            std::uint32_t missingChild,
                                            std::vector<std::int32_t>& childOfValue) const {
        const auto a = static_cast<std::size_t>(choice.attribute);
        childOfValue.assign(data_.attribute(a).values.size(), -1);
        for (std::size_t j = 0; j < choice.values.size(); ++j) {
            childOfValue[static_cast<std::size_t>(choice.values[j])] = static_cast<std::int32_t>(j);
        }
        std::vector<std::uint32_t> slot(range.size());
        const std::int32_t* codes = columns_.nominal[a].data() + range.begin;
        for (std::size_t i = 0; i < slot.size(); ++i) {
            const std::int32_t code = codes[i];
            const bool known = code >= 0 && static_cast<std::size_t>(code) < childOfValue.size();
            const std::int32_t j = known ? childOfValue[static_cast<std::size_t>(code)] : -1;
            slot[i] = j >= 0 ? static_cast<std::uint32_t>(j) : missingChild;
        }
        return slot;
    }

    // Appends the children of node `index` to the tree, their counts taken from the records'
    // branches `slot`; sets each child's range and whether it grows further.
    void addChildren(std::size_t index, Range range, const Choice& choice,
                     const std::vector<std::uint32_t>& slot, std::vector<Range>& childRanges,
                     std::vector<bool>& growing) {
        const std::size_t branches = choice.parts.size();
        const std::int32_t parentLabel = nodes_[index].label;
        const int depth = nodes_[index].depth + 1;
        std::vector<TreeNode> newNodes(branches);
        for (TreeNode& child : newNodes) child.counts.assign(classCount_, 0);
        const std::int32_t* classes = columns_.classes.data() + range.begin;
        for (std::size_t i = 0; i < slot.size(); ++i) {
            ++newNodes[slot[i]].counts[static_cast<std::size_t>(classes[i])];
        }
        const auto minSplit = static_cast<std::uint32_t>(std::max(options_.minSplit, 2));
        std::size_t at = range.begin;
        for (std::size_t j = 0; j < branches; ++j) {
            TreeNode& child = newNodes[j];
            for (std::uint32_t c : child.counts) child.total += c;
            child.label = child.total ? majority(child.counts) : parentLabel;
            child.depth = depth;
            child.winner = choice.parts[j].winner;
            child.strong = choice.parts[j].strong;
            const bool pure = child.counts[static_cast<std::size_t>(child.label)] == child.total;
            growing[j] =
                !child.strong && !pure && depth < options_.maxDepth && child.total >= minSplit;
            childRanges[j] = Range{at, at + child.total};
            at += child.total;
            nodes_[index].children.push_back(static_cast<std::uint32_t>(nodes_.size()));
            nodes_.push_back(std::move(child));
        }
    }

    void split(std::size_t index, Range range, Choice choice) {
        const std::size_t branches = choice.parts.size();
        const std::uint32_t missingChild = missingBranch(choice);
        std::vector<std::int32_t> childOfValue;
        const std::vector<std::uint32_t> slot =
            choice.numeric ? numericSlots(range, choice, missingChild)
                           : nominalSlots(range, choice, missingChild, childOfValue);
        std::vector<bool> growing(branches);
        std::vector<Range> childRanges(branches);
        addChildren(index, range, choice, slot, childRanges, growing);
        if (std::any_of(growing.begin(), growing.end(), [](bool g) { return g; })) {
            reorder(range, slot, childRanges);
        }
        const auto a = static_cast<std::size_t>(choice.attribute);
        const bool nominal = !choice.numeric;
        {
            TreeNode& node = nodes_[index];
            node.attribute = choice.attribute;
            node.numeric = choice.numeric;
            node.cuts = std::move(choice.cuts);
            node.childValues = std::move(choice.values);
            node.childOfValue = std::move(childOfValue);
            node.missingChild = missingChild;
        }
        const std::vector<std::uint32_t> children = nodes_[index].children;
        if (nominal) usedNominal_[a] = true;
        for (std::size_t j = 0; j < branches; ++j) {
            if (growing[j]) grow(children[j], childRanges[j]);
        }
        if (nominal) usedNominal_[a] = false;
    }

    // Returns the columns of the training records, the classes first.
    std::pair<std::vector<std::vector<double>*>, std::vector<std::vector<std::int32_t>*>>
    allColumns() {
        std::vector<std::vector<double>*> doubles;
        std::vector<std::vector<std::int32_t>*> ints = {&columns_.classes};
        for (auto& column : columns_.numeric) {
            if (!column.empty()) doubles.push_back(&column);
        }
        for (auto& column : columns_.nominal) {
            if (!column.empty()) ints.push_back(&column);
        }
        return {std::move(doubles), std::move(ints)};
    }

    // Reorders the node's records in `range` so that branch j's records (slot[i] == j) fill
    // childRanges[j], each in their previous order.
    void reorder(Range range, const std::vector<std::uint32_t>& slot,
                 const std::vector<Range>& childRanges) {
        const std::size_t n = range.size();
        order_.resize(n);
        std::vector<std::size_t> next;
        for (const Range& r : childRanges) next.push_back(r.begin - range.begin);
        for (std::size_t i = 0; i < n; ++i) order_[next[slot[i]]++] = static_cast<std::uint32_t>(i);
        // Each column is reordered through a buffer of its task; on a large node the columns
        // are shared out between two tasks.
        auto permute = [&](auto& column, auto& buffer) {
            buffer.resize(std::max(buffer.size(), n));
            auto* const first = column.data() + range.begin;
            for (std::size_t k = 0; k < n; ++k) buffer[k] = first[order_[k]];
            std::copy(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(n), first);
        };
        const auto [doubles, ints] = allColumns();
        runTasks(
            kTasks,
            [&](std::size_t t) {
                for (std::size_t i = t; i < doubles.size(); i += kTasks) {
                    permute(*doubles[i], doubleBuffers_[t]);
                }
                for (std::size_t i = t; i < ints.size(); i += kTasks) {
                    permute(*ints[i], intBuffers_[t]);
                }
            },
            n >= kParallelRecords);
    }

    const Dataset& data_;
    const TreeOptions& options_;
    std::vector<TreeNode>& nodes_;
    const std::size_t classCount_;
    std::vector<bool> usedNominal_;
    Columns columns_;
    std::vector<std::uint32_t> order_;
    // Buffers and scratch of each task.
    std::vector<double> doubleBuffers_[kTasks];
    std::vector<std::int32_t> intBuffers_[kTasks];
    Scratch scratch_[kTasks];
};

IntervalTree IntervalTree::grow(const Dataset& data, std::span<const RowIndex> rows,
                                const TreeOptions& options) {
    IntervalTree tree;
    tree.options_ = options;
    TreeNode root;
    root.counts.assign(data.classCount(), 0);
    const auto classes = data.classes();
    for (RowIndex r : rows) ++root.counts[static_cast<std::size_t>(classes[r])];
    root.total = static_cast<std::uint32_t>(rows.size());
    root.label = majority(root.counts);
    root.winner = root.label;
    tree.nodes_.push_back(std::move(root));
    Grower grower(data, rows, tree.options_, tree.nodes_);
    grower.grow(0, grower.all());
    if (options.pruneConfidence > 0) pruneNodes(tree.nodes_, options.pruneConfidence);
    return tree;
}

std::int32_t IntervalTree::classify(const Dataset& data, RowIndex row) const {
    const TreeNode* node = &nodes_[0];
    while (!node->isLeaf()) {
        const auto a = static_cast<std::size_t>(node->attribute);
        std::size_t j = node->missingChild;
        if (node->numeric) {
            const double v = data.numeric(a)[row];
            if (!isMissing(v)) {
                j = static_cast<std::size_t>(
                    std::upper_bound(node->cuts.begin(), node->cuts.end(), v) - node->cuts.begin());
            }
        } else {
            const std::int32_t code = data.nominal(a)[row];
            if (code != kMissingCode) {
                const bool seen = code >= 0 &&
                                  static_cast<std::size_t>(code) < node->childOfValue.size() &&
                                  node->childOfValue[static_cast<std::size_t>(code)] >= 0;
                if (!seen) return node->label;
                j = static_cast<std::size_t>(node->childOfValue[static_cast<std::size_t>(code)]);
            }
        }
        node = &nodes_[node->children[j]];
    }
    return node->label;
}

std::size_t IntervalTree::leafCount() const {
    return static_cast<std::size_t>(
        std::count_if(nodes_.begin(), nodes_.end(), [](const TreeNode& n) { return n.isLeaf(); }));
}

int IntervalTree::depth() const {
    int d = 0;
    for (const TreeNode& n : nodes_) {
        if (n.isLeaf()) d = std::max(d, n.depth);
    }
    return d;
}

}  // namespace mining::interval
