#include "pictures/node_histograms.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace mining::pictures {

namespace {

using interval::IntervalTree;
using interval::TreeNode;

// Routes the rows of one node down the tree, depth first, counting each wanted node's
// histogram. The rows of a node are a range of `rows_`, which partitioning it among the node's
// children reorders (through `scratch_`), so that the whole descent needs the rows twice over.
class Router {
public:
    Router(const IntervalTree& tree, const Dataset& data, const std::vector<bool>& wanted,
           std::size_t bins, std::vector<RowIndex> rows)
        : tree_(tree),
          data_(data),
          wanted_(wanted),
          bins_(bins),
          classes_(data.classCount()),
          rows_(std::move(rows)),
          scratch_(rows_.size()),
          histograms_(tree.nodes().size()) {}

    std::vector<NodeHistogram> run() {
        visit(0, 0, rows_.size());
        return std::move(histograms_);
    }

private:
    void visit(std::uint32_t index, std::size_t begin, std::size_t end) {
        const TreeNode& node = tree_.nodes()[index];
        if (node.isLeaf() || begin == end) return;
        const std::span<const RowIndex> rows(rows_.data() + begin, end - begin);
        if (wanted_[index]) count(node, rows, histograms_[index]);
        // Each row's branch, then the rows by branch (a record without one stops here).
        std::vector<std::size_t> starts(node.children.size() + 1, 0);
        branches_.resize(rows.size());
        for (std::size_t i = 0; i < rows.size(); ++i) {
            branches_[i] = tree_.branchOf(data_, index, rows[i]);
            if (branches_[i] >= 0) ++starts[static_cast<std::size_t>(branches_[i]) + 1];
        }
        for (std::size_t j = 1; j < starts.size(); ++j) starts[j] += starts[j - 1];
        std::vector<std::size_t> next(starts.begin(), starts.end() - 1);
        for (std::size_t i = 0; i < rows.size(); ++i)
            if (branches_[i] >= 0)
                scratch_[begin + next[static_cast<std::size_t>(branches_[i])]++] = rows[i];
        std::copy_n(scratch_.begin() + static_cast<std::ptrdiff_t>(begin), starts.back(),
                    rows_.begin() + static_cast<std::ptrdiff_t>(begin));
        for (std::size_t j = 0; j < node.children.size(); ++j)
            visit(node.children[j], begin + starts[j], begin + starts[j + 1]);
    }

    void count(const TreeNode& node, std::span<const RowIndex> rows, NodeHistogram& h) const {
        h.records = rows.size();
        const auto a = static_cast<std::size_t>(node.attribute);
        const CodeSpan classes = data_.classes();
        if (!node.numeric) {
            h.counts.assign(node.children.size() * classes_, 0);
            const CodeSpan codes = data_.nominal(a);
            for (const RowIndex r : rows) {
                const std::int32_t code = codes[r];
                if (code == kMissingCode) {
                    ++h.missing;
                    continue;
                }
                const bool seen = code >= 0 &&
                                  static_cast<std::size_t>(code) < node.childOfValue.size() &&
                                  node.childOfValue[static_cast<std::size_t>(code)] >= 0;
                if (!seen) {
                    ++h.unseen;
                    continue;
                }
                const auto bar =
                    static_cast<std::size_t>(node.childOfValue[static_cast<std::size_t>(code)]);
                ++h.counts[bar * classes_ + static_cast<std::size_t>(classes[r])];
            }
            return;
        }
        countNumeric(data_.numeric(a), rows, h);
    }

    void countNumeric(const NumericColumn& column, std::span<const RowIndex> rows,
                      NodeHistogram& h) const {
        double low = std::numeric_limits<double>::infinity(), high = -low;
        for (const RowIndex r : rows) {
            const double v = column[r];
            if (isMissing(v) || !std::isfinite(v)) continue;
            low = std::min(low, v);
            high = std::max(high, v);
        }
        const std::size_t bins = high > low && std::isfinite(high - low) ? bins_ : 1;
        if (!(high >= low)) low = high = 0;
        h.edges.resize(bins + 1);
        for (std::size_t b = 0; b <= bins; ++b)
            h.edges[b] = b == bins ? high : low + (high - low) * static_cast<double>(b) / bins;
        h.counts.assign(bins * classes_, 0);
        const double perUnit = bins == 1 ? 0 : static_cast<double>(bins) / (high - low);
        const CodeSpan classes = data_.classes();
        for (const RowIndex r : rows) {
            const double v = column[r];
            if (isMissing(v)) {
                ++h.missing;
                continue;
            }
            const double at = std::clamp((v - low) * perUnit, 0.0, static_cast<double>(bins - 1));
            ++h.counts[static_cast<std::size_t>(at) * classes_ +
                       static_cast<std::size_t>(classes[r])];
        }
    }

    const IntervalTree& tree_;
    const Dataset& data_;
    const std::vector<bool>& wanted_;
    std::size_t bins_;
    std::size_t classes_;
    std::vector<RowIndex> rows_;
    std::vector<RowIndex> scratch_;
    std::vector<std::int32_t> branches_;
    std::vector<NodeHistogram> histograms_;
};

}  // namespace

std::vector<NodeHistogram> nodeHistograms(const IntervalTree& tree, const Dataset& data,
                                          std::span<const RowIndex> rows,
                                          const std::vector<bool>& wanted, std::size_t bins) {
    std::vector<RowIndex> known;
    known.reserve(rows.size());
    for (const RowIndex r : rows)
        if (data.classes()[r] >= 0) known.push_back(r);
    return Router(tree, data, wanted, bins, std::move(known)).run();
}

}  // namespace mining::pictures
