#include "pictures/tree_picture.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "data/split.h"
#include "interval/rules.h"
#include "interval/tree_report.h"
#include "pictures/histogram_svg.h"
#include "pictures/markup.h"
#include "pictures/node_histograms.h"
#include "util/number_format.h"

namespace mining::pictures {

namespace {

using interval::IntervalTree;
using interval::TreeNode;

// The longest leaf bar, for a leaf of all the root's records.
constexpr double kLeafBarLength = 200;
constexpr double kShortestLeafBar = 6;

std::string records(std::size_t n) { return std::to_string(n) + (n == 1 ? " record" : " records"); }

// Returns the nodes of the subtree below `index` (itself left out) and the leaves among them.
std::pair<std::size_t, std::size_t> sizeBelow(const IntervalTree& tree, std::uint32_t index) {
    std::size_t nodes = 0, leaves = 0;
    for (const std::uint32_t child : tree.nodes()[index].children) {
        const auto [n, l] = sizeBelow(tree, child);
        nodes += n + 1;
        leaves += l + (tree.nodes()[child].isLeaf() ? 1 : 0);
    }
    return {nodes, leaves};
}

// Returns the condition of branch j of `parent`, as the report writes it.
std::string branchCondition(const TreeNode& parent, std::size_t j, const Dataset& data) {
    interval::Condition c;
    c.attribute = parent.attribute;
    c.numeric = parent.numeric;
    if (parent.numeric) {
        c.lo = j == 0 ? -INFINITY : parent.cuts[j - 1];
        c.hi = j == parent.cuts.size() ? INFINITY : parent.cuts[j];
    } else {
        c.values = {parent.childValues[j]};
    }
    return interval::conditionText(c, data.attributes());
}

// Writes the picture of one tree's nodes as nested lists, each node's branches below it.
class TreeWriter {
public:
    TreeWriter(const IntervalTree& tree, const Dataset& data, const TreeRecords& records,
               const TreeLimits& limits)
        : tree_(tree),
          data_(data),
          limits_(limits),
          training_(records.training),
          drawn_(drawnNodes(tree, limits)),
          folded_(foldedDepth(tree, limits)),
          histograms_(nodeHistograms(tree, data,
                                     sampleRows(records.rows, limits.histogramRecords, 1), drawn_,
                                     limits.bins)) {}

    std::string write() {
        out_ = "<div class=\"scroll tree-frame\"><ul class=\"tree\">";
        node(0, "");
        out_ += "</ul></div>\n";
        return std::move(out_);
    }

private:
    void node(std::uint32_t index, const std::string& condition) {
        const TreeNode& n = tree_.nodes()[index];
        out_ += "<li>";
        out_ += n.isLeaf() ? leafBox(n, condition, index == 0) : splitBox(index, condition);
        if (!n.isLeaf()) branches(index);
        out_ += "</li>";
    }

    void branches(std::uint32_t index) {
        const TreeNode& n = tree_.nodes()[index];
        const auto [below, leaves] = sizeBelow(tree_, index);
        if (!drawn_[n.children.front()]) {
            out_ += "<p class=\"more\">" + std::to_string(below) +
                    " nodes below, not drawn (the page draws " +
                    std::to_string(limits_.drawnNodes) + " nodes at most)</p>";
            return;
        }
        const bool fold =
            n.depth + 1 >= folded_ && (n.depth + 1 - folded_) % limits_.foldLevels == 0;
        if (fold)
            out_ += "<details><summary>" + std::to_string(below) + " nodes below (" +
                    std::to_string(leaves) + " leaves)</summary>";
        out_ += "<ul>";
        for (std::size_t j = 0; j < n.children.size(); ++j)
            node(n.children[j], branchCondition(n, j, data_));
        out_ += "</ul>";
        if (fold) out_ += "</details>";
    }

    // Returns the line on a branch's strength: "strong", "weak for no".
    std::string strength(const TreeNode& n) const {
        std::string s = n.strong ? "strong" : "weak";
        if (n.winner != n.label)
            s += " for " + data_.classValues()[static_cast<std::size_t>(n.winner)];
        return escape(s);
    }

    std::string head(const TreeNode& n, const std::string& condition, bool root) const {
        std::string html =
            "<div class=\"node " + std::string(n.isLeaf() ? "leaf" : "split") + "\">";
        if (!condition.empty()) html += "<div class=\"branch\">" + escape(condition) + "</div>";
        // A saved model's histograms count the records scored; the count is of its training.
        const std::string count = training_ ? records(n.total)
                                            : std::to_string(n.total) + " training " +
                                                  (n.total == 1 ? "record" : "records");
        html += "<div class=\"head\"><span class=\"n\">" + count + "</span>";
        if (!root) html += " <span class=\"strength\">" + strength(n) + "</span>";
        return html + "</div>";
    }

    std::string splitBox(std::uint32_t index, const std::string& condition) const {
        const TreeNode& n = tree_.nodes()[index];
        const Attribute& attribute = data_.attribute(static_cast<std::size_t>(n.attribute));
        const NodeHistogram& h = histograms_[index];
        std::string html = head(n, condition, index == 0) + "<div class=\"attribute\">split on " +
                           escape(attribute.name) + "</div>" +
                           histogramSvg(n, h, attribute, data_.classValues());
        if (h.missing > 0)
            html += "<div class=\"facts\">" + records(h.missing) + " without a value: to the " +
                    "branch with the most</div>";
        if (h.unseen > 0)
            html += "<div class=\"facts\">" + records(h.unseen) +
                    " of a value without a branch: predicted here</div>";
        return html + "</div>";
    }

    std::string leafBox(const TreeNode& n, const std::string& condition, bool root) const {
        const double share =
            static_cast<double>(n.total) / std::max<double>(1, tree_.nodes().front().total);
        const std::string& label = data_.classValues()[static_cast<std::size_t>(n.label)];
        std::string html = head(n, condition, root) +
                           classBarSvg(n.counts, std::max(kShortestLeafBar, kLeafBarLength * share),
                                       data_.classValues(), "the leaf's training records") +
                           "<div class=\"answer\">&#8594; <b>" + escape(label) + "</b>";
        if (n.pruned) html += " (pruned)";
        if (root) html += " (no split: every record gets it)";
        return html + "</div></div>";
    }

    const IntervalTree& tree_;
    const Dataset& data_;
    const TreeLimits& limits_;
    bool training_;
    std::vector<bool> drawn_;
    int folded_;
    std::vector<NodeHistogram> histograms_;
    std::string out_;
};

std::string ruleFigures(const interval::RuleFigures& f) {
    if (f.support == 0) return "no training records";
    return records(f.support) + ", " +
           formatFixed(100.0 * static_cast<double>(f.correct) / static_cast<double>(f.support), 1) +
           " % right";
}

std::string rulesHtml(const IntervalTree& tree, const Dataset& data, const TreeLimits& limits) {
    std::string html =
        "<h3>Rules</h3>\n<p class=\"caption\">Each class's rules, the largest first, as the "
        "report ranks them: the training records the rule's leaves hold, and the share of them "
        "of its class. A record missing a value the tree tests follows the branch with the "
        "most training records, which the rules do not show.</p>\n";
    for (const interval::RuleSet& r : extractRules(tree, data.attributes(), data.classCount())) {
        const std::string name = data.classValues()[static_cast<std::size_t>(r.classCode)];
        html +=
            "<div class=\"rules\"><h4><svg xmlns=\"http://www.w3.org/2000/svg\" width=\"12\" "
            "height=\"12\" aria-hidden=\"true\"><rect width=\"12\" height=\"12\" class=\"c" +
            std::to_string(r.classCode) + "\"/></svg> Class " + escape(name);
        if (r.conjunctions.empty()) {
            html += ": never predicted</h4></div>\n";
            continue;
        }
        html += " when</h4><ol>";
        const std::size_t shown = std::min(r.conjunctions.size(), limits.rulesPerClass);
        for (std::size_t i = 0; i < shown; ++i) {
            std::string conditions;
            for (const interval::Condition& c : r.conjunctions[i])
                conditions += (conditions.empty() ? "" : " AND ") + std::string("<code>") +
                              escape(interval::conditionText(c, data.attributes())) + "</code>";
            if (conditions.empty()) conditions = "every record";
            html += "<li>" + conditions + " <span class=\"figures\">[" + ruleFigures(r.figures[i]) +
                    "]</span></li>";
        }
        html += "</ol>";
        if (shown < r.conjunctions.size()) {
            std::uint64_t rest = 0;
            for (std::size_t i = shown; i < r.figures.size(); ++i) rest += r.figures[i].support;
            html += "<p class=\"more\">... and " + std::to_string(r.conjunctions.size() - shown) +
                    " more, the smaller ones, holding " + records(rest) + "</p>";
        }
        html += "</div>\n";
    }
    return html;
}

}  // namespace

int foldedDepth(const IntervalTree& tree, const TreeLimits& limits) {
    std::vector<std::size_t> perLevel;
    for (const TreeNode& n : tree.nodes()) {
        const auto d = static_cast<std::size_t>(n.depth);
        if (perLevel.size() <= d) perLevel.resize(d + 1, 0);
        ++perLevel[d];
    }
    std::size_t sum = perLevel.empty() ? 0 : perLevel[0];
    int open = 0;
    for (std::size_t d = 1; d < perLevel.size(); ++d) {
        sum += perLevel[d];
        if (sum > limits.openNodes && d > 1) break;
        open = static_cast<int>(d);
    }
    return open + 1;
}

std::vector<bool> drawnNodes(const IntervalTree& tree, const TreeLimits& limits) {
    const std::vector<TreeNode>& nodes = tree.nodes();
    std::vector<bool> drawn(nodes.size(), false);
    if (nodes.empty()) return drawn;
    std::vector<std::uint32_t> order(nodes.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&nodes](std::uint32_t a, std::uint32_t b) {
        return nodes[a].depth < nodes[b].depth;
    });
    drawn[0] = true;
    std::size_t count = 1;
    for (const std::uint32_t index : order) {
        const TreeNode& n = nodes[index];
        if (!drawn[index] || n.isLeaf()) continue;
        if (count + n.children.size() > limits.drawnNodes) break;
        for (const std::uint32_t child : n.children) drawn[child] = true;
        count += n.children.size();
    }
    return drawn;
}

std::string treePicture(const IntervalTree& tree, const Dataset& data, const TreeRecords& records,
                        const TreeLimits& limits) {
    const std::size_t nodes = tree.nodes().size();
    std::string html =
        "<p class=\"caption\">Tree: " + std::to_string(nodes) + " nodes, " +
        std::to_string(tree.leafCount()) + " leaves, depth " + std::to_string(tree.depth()) +
        ". A decision node shows its split "
        "attribute's values among " +
        (records.training ? "its training records" : "the records scored that reach it") +
        ", stacked by class, with the cut points marked; a leaf, its training "
        "records by class, the bar's length by their number. Hover for the "
        "counts.";
    if (records.rows.size() > limits.histogramRecords)
        html += " The histograms count a seeded sample of " +
                std::to_string(limits.histogramRecords) + " of the " +
                std::to_string(records.rows.size()) +
                " records; the record counts and the leaves' bars are exact.";
    const int folded = foldedDepth(tree, limits);
    if (folded <= tree.depth())
        html += " Levels from " + std::to_string(folded) +
                " on are folded: open them with their \"nodes below\" line.";
    html +=
        "</p>\n" + TreeWriter(tree, data, records, limits).write() + rulesHtml(tree, data, limits);
    return html;
}

}  // namespace mining::pictures
