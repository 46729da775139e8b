#include "interval/tree.h"

#include <algorithm>

#include "interval/gain_ratio.h"
#include "interval/prune.h"

namespace mining::interval {

namespace {

// A gain ratio at or below this is rounding noise, not information.
constexpr double kMinGainRatio = 1e-12;

// The best split found for a node.
struct Choice {
    std::int32_t attribute = -1;
    double gainRatio = 0;
    bool numeric = false;
    std::vector<double> cuts;
    std::vector<std::int32_t> values;
    std::vector<Part> parts;
};

}  // namespace

// Grows the tree node by node, keeping scratch buffers between nodes.
class IntervalTree::Grower {
public:
    Grower(const Dataset& data, const TreeOptions& options, std::vector<TreeNode>& nodes)
        : data_(data),
          options_(options),
          nodes_(nodes),
          classCount_(data.classCount()),
          classes_(data.classes()),
          usedNominal_(data.attributeCount(), false) {}

    // Fills in node `index` (its counts, total, label and depth already set) from `rows`.
    void grow(std::size_t index, std::vector<RowIndex>& rows) {
        const TreeNode& node = nodes_[index];
        const int len = node.depth;
        const bool pure = std::count_if(node.counts.begin(), node.counts.end(),
                                        [](std::uint32_t c) { return c > 0; }) <= 1;
        if (pure || len >= options_.maxDepth || 
            node.total < static_cast<std::uint32_t>(std::max(options_.minSplit, 2))) {
            return;
        }
        Choice best = choose(rows, len + 1);
        if (best.attribute < 0 || !(best.gainRatio > kMinGainRatio)) return;
        split(index, rows, std::move(best));
    }

private:
    Choice choose(std::span<const RowIndex> rows, int len) {
        Choice best;
        for (std::size_t a = 0; a < data_.attributeCount(); ++a) {
            const AttributeType type = data_.attribute(a).type;
            Choice c;
            c.attribute = static_cast<std::int32_t>(a);
            if (type == AttributeType::Numeric) {
                c.numeric = true;
                const NumericColumn& column = data_.numeric(a);
                values_.clear();
                valueClasses_.clear();
                for (RowIndex r : rows) {
                    const double v = column[r];
                    if (isMissing(v)) continue;
                    values_.push_back(v);
                    valueClasses_.push_back(classes_[r]);
                }
                int binCount = options_.bins;
                if (options_.binRecords > 0) {
                    const auto fit = values_.size() / static_cast<std::size_t>(options_.binRecords);
                    binCount = static_cast<int>(
                        std::clamp<std::size_t>(fit, 2, static_cast<std::size_t>(binCount)));
                }
                auto bins = initialBins(values_, valueClasses_, classCount_, binCount,
                                        options_.binning);
                NumericPartition p = mergeBins(bins, len, options_.maxDepth);
                c.cuts = std::move(p.cuts);
                c.parts = std::move(p.parts);
            } else if (type == AttributeType::Nominal && !usedNominal_[a]) {
                const auto codes = data_.nominal(a);
                const std::size_t valueCount = data_.attribute(a).values.size();
                counts_.assign(valueCount * classCount_, 0);
                for (RowIndex r : rows) {
                    const std::int32_t code = codes[r];
                    if (code < 0 || static_cast<std::size_t>(code) >= valueCount) continue;
                    ++counts_[static_cast<std::size_t>(code) * classCount_ +
                              static_cast<std::size_t>(classes_[r])];
                }
                NominalPartition p = nominalPartition(counts_, classCount_, len, options_.maxDepth);
                c.values = std::move(p.values);
                c.parts = std::move(p.parts);
            } else {
                continue;
            }
            if (c.parts.size() < 2) continue;
            c.gainRatio = gainRatio(flatCounts(c.parts, classCount_), classCount_, rows.size());
            if (best.attribute < 0 || c.gainRatio > best.gainRatio) best = std::move(c);
        }
        return best;
    }

    void split(std::size_t index, std::vector<RowIndex>& rows, Choice choice) {
        const std::size_t branches = choice.parts.size();
        std::uint32_t missingChild = 0;
        for (std::uint32_t j = 1; j < branches; ++j) {
            if (choice.parts[j].total > choice.parts[missingChild].total) missingChild = j;
        }
        const auto a = static_cast<std::size_t>(choice.attribute);
        std::vector<std::int32_t> childOfValue;
        std::vector<std::vector<RowIndex>> childRows(branches);
        if (choice.numeric) {
            const NumericColumn& column = data_.numeric(a);
            for (RowIndex r : rows) {
                const double v = column[r];
                const std::size_t j =
                    isMissing(v) ? missingChild
                                 : static_cast<std::size_t>(
                                       std::upper_bound(choice.cuts.begin(), choice.cuts.end(), v) -
                                       choice.cuts.begin());
                childRows[j].push_back(r);
            }
        } else {
            childOfValue.assign(data_.attribute(a).values.size(), -1);
            for (std::size_t j = 0; j < branches; ++j) {
                childOfValue[static_cast<std::size_t>(choice.values[j])] =
                    static_cast<std::int32_t>(j);
            }
            const auto codes = data_.nominal(a);
            for (RowIndex r : rows) {
                const std::int32_t code = codes[r];
                const bool known = code >= 0 && static_cast<std::size_t>(code) < childOfValue.size();
                const std::int32_t j = known ? childOfValue[static_cast<std::size_t>(code)] : -1;
                childRows[j >= 0 ? static_cast<std::size_t>(j) : missingChild].push_back(r);
            }
        }
        // The node's rows are no longer needed; free them before growing deeper.
        std::vector<RowIndex>().swap(rows);

        const std::int32_t parentLabel = nodes_[index].label;
        const int depth = nodes_[index].depth + 1;
        std::vector<std::uint32_t> children;
        for (std::size_t j = 0; j < branches; ++j) {
            TreeNode child;
            child.counts.assign(classCount_, 0);
            for (RowIndex r : childRows[j]) ++child.counts[static_cast<std::size_t>(classes_[r])];
            child.total = static_cast<std::uint32_t>(childRows[j].size());
            child.label = child.total ? majority(child.counts) : parentLabel;
            child.depth = depth;
            child.winner = choice.parts[j].winner;
            child.strong = choice.parts[j].strong;
            children.push_back(static_cast<std::uint32_t>(nodes_.size()));
            nodes_.push_back(std::move(child));
        }
        {
            TreeNode& node = nodes_[index];
            node.attribute = choice.attribute;
            node.numeric = choice.numeric;
            node.cuts = std::move(choice.cuts);
            node.childValues = std::move(choice.values);
            node.childOfValue = std::move(childOfValue);
            node.children = children;
            node.missingChild = missingChild;
        }
        const bool nominal = !choice.numeric;
        if (nominal) usedNominal_[a] = true;
        for (std::size_t j = 0; j < branches; ++j) {
            const TreeNode& child = nodes_[children[j]];
            if (!child.strong && child.total > 0) grow(children[j], childRows[j]);
            std::vector<RowIndex>().swap(childRows[j]);
        }
        if (nominal) usedNominal_[a] = false;
    }

    const Dataset& data_;
    const TreeOptions& options_;
    std::vector<TreeNode>& nodes_;
    const std::size_t classCount_;
    const std::span<const std::int32_t> classes_;
    std::vector<bool> usedNominal_;
    std::vector<double> values_;
    std::vector<std::int32_t> valueClasses_;
    std::vector<std::uint32_t> counts_;
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
    std::vector<RowIndex> rootRows(rows.begin(), rows.end());
    Grower grower(data, tree.options_, tree.nodes_);
    grower.grow(0, rootRows);
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
