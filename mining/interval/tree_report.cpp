#include "interval/tree_report.h"

#include <cmath>

#include "interval/strength.h"
#include "util/display_width.h"
#include "util/interval_text.h"
#include "util/text_table.h"

namespace mining::interval {

namespace {

// Classes named in the line of the root's counts.
constexpr std::size_t kRootClassesShown = 10;
// The width the tree's lines keep to.
constexpr std::size_t kTreeWidth = kReportColumns;

std::string valueText(const std::string& value) {
    const std::string v = shortForReport(value);
    if (v.find_first_of(" ,'\"()") == std::string::npos && !v.empty()) return v;
    std::string out = "'";
    for (char ch : v) {
        if (ch == '\'') out += '\'';  // doubled, as in SQL
        out += ch;
    }
    return out + "'";
}

// Returns the condition of branch j of `parent`.
std::string branchText(const TreeNode& parent, std::size_t j,
                       const std::vector<Attribute>& attributes) {
    const Attribute& attribute = attributes[static_cast<std::size_t>(parent.attribute)];
    const std::string name = shortForReport(attribute.name);
    if (!parent.numeric) {
        const auto code = static_cast<std::size_t>(parent.childValues[j]);
        return name + " = " + valueText(attribute.values[code]);
    }
    const double lo = j == 0 ? -INFINITY : parent.cuts[j - 1];
    const double hi = j == parent.cuts.size() ? INFINITY : parent.cuts[j];
    return intervalCondition(name, lo, hi, ClosedEnd::Lower);
}

// Returns the indent of a branch at `level` (its parent's depth): a bar per level, or for
// deep levels a bounded run of bars and the level's number.
std::string levelIndent(int level) {
    std::string indent;
    const int bars = level <= kIndentLevels ? level : kIndentLevels - 2;
    for (int i = 0; i < bars; ++i) indent += "|   ";
    if (level > kIndentLevels) indent += "[" + std::to_string(level + 1) + "] ";
    return indent;
}

// Returns the indent under a branch's condition for its continuation lines: the bars stay, a
// level's number becomes spaces, and the text goes one level deeper.
std::string continuationIndent(const std::string& indent) {
    const std::size_t number = indent.find('[');
    if (number == std::string::npos) return indent + "      ";
    return indent.substr(0, number) + std::string(indent.size() - number, ' ') + "      ";
}

// The class counts a tree line shows at most.
constexpr std::size_t kCountsShown = 3;

struct TreeWriter {
    const IntervalTree& tree;
    const Dataset& data;
    std::ostream& out;
    int maxDepth;  // deepest level written

    std::size_t leavesBelow(std::uint32_t index) const {
        const TreeNode& n = tree.nodes()[index];
        if (n.isLeaf()) return 1;
        std::size_t sum = 0;
        for (std::uint32_t c : n.children) sum += leavesBelow(c);
        return sum;
    }

    // Returns the figures written after a branch's condition: its records and their class
    // counts (the largest first, at most kCountsShown), whether the interval classification
    // found it strong or weak (and for which class, when that is not its majority), and a
    // leaf's answer, its majority, after "->".
    std::vector<std::string> figures(const TreeNode& child) const {
        const auto& classes = data.classValues();
        std::vector<std::string> pieces{std::to_string(child.total) +
                                        (child.total == 1 ? " record" : " records")};
        std::vector<std::size_t> order;
        for (std::size_t c = 0; c < child.counts.size(); ++c)
            if (child.counts[c] > 0) order.push_back(c);
        std::stable_sort(order.begin(), order.end(), [&child](std::size_t a, std::size_t b) {
            return child.counts[a] > child.counts[b];
        });
        for (std::size_t k = 0; k < order.size() && k < kCountsShown; ++k) {
            const bool more =
                k + 1 < std::min(order.size(), kCountsShown) || order.size() > kCountsShown;
            pieces.push_back((k == 0 ? "(" : "") + shortForReport(classes[order[k]]) + " " +
                             std::to_string(child.counts[order[k]]) + (more ? "," : ")"));
        }
        if (order.size() > kCountsShown) pieces.push_back("...)");
        pieces.back() += ",";
        std::string strength = child.strong ? "strong" : "weak";
        if (child.winner != child.label)
            strength += " for " + shortForReport(classes[static_cast<std::size_t>(child.winner)]);
        pieces.push_back(strength);
        if (child.isLeaf()) {
            pieces.push_back("-> " +
                             shortForReport(classes[static_cast<std::size_t>(child.label)]));
            if (child.pruned) pieces.back() += " (pruned)";
        }
        return pieces;
    }

    // Writes one branch's line; a long condition puts the figures on lines of their own, one
    // level deeper, and breaks itself where it does not fit either.
    void writeBranch(const std::string& condition, const std::vector<std::string>& pieces,
                     const std::string& indent) const {
        std::string text = pieces[0];
        for (std::size_t i = 1; i < pieces.size(); ++i) text += ' ' + pieces[i];
        if (displayWidth(indent) + displayWidth(condition) + 1 + displayWidth(text) <= kTreeWidth) {
            out << indent << condition << ' ' << text << '\n';
            return;
        }
        const std::string continuation = continuationIndent(indent);
        writeLines(out, wrapPieces({condition}, indent, continuation, kTreeWidth));
        writeLines(out, wrapPieces(pieces, continuation, continuation, kTreeWidth));
    }

    void write(std::uint32_t index, int level) const {
        const TreeNode& node = tree.nodes()[index];
        const std::string indent = levelIndent(level);
        for (std::size_t j = 0; j < node.children.size(); ++j) {
            const TreeNode& child = tree.nodes()[node.children[j]];
            writeBranch(branchText(node, j, data.attributes()) + ":", figures(child), indent);
            if (child.isLeaf()) continue;
            if (child.depth >= maxDepth) {
                out << levelIndent(level + 1) << "... " << leavesBelow(node.children[j])
                    << " leaves below\n";
            } else {
                write(node.children[j], level + 1);
            }
        }
    }
};

// Returns "[50 records, 98.0 % right]": a conjunction's support and how many of those records
// are of its class; "[no training records]" for values training never met there.
std::string figuresText(const RuleFigures& f) {
    if (f.support == 0) return "[no training records]";
    return "[" + std::to_string(f.support) + (f.support == 1 ? " record, " : " records, ") +
           formatFixed(100.0 * static_cast<double>(f.correct) / static_cast<double>(f.support), 1) +
           " % right]";
}

void writeConjunction(const Conjunction& conj, const RuleFigures& figures,
                      const std::vector<Attribute>& attributes, const std::string& lead,
                      std::ostream& out) {
    std::vector<std::string> pieces;
    if (conj.empty()) pieces.push_back("(every record)");
    for (std::size_t i = 0; i < conj.size(); ++i) {
        pieces.push_back(conditionText(conj[i], attributes) + (i + 1 < conj.size() ? " AND" : ""));
    }
    pieces.push_back(figuresText(figures));
    writeLines(out, wrapPieces(pieces, lead, std::string(lead.size() + 4, ' ')));
}

void writeOptions(const TreeOptions& o, std::ostream& out) {
    out << "Initial intervals per numeric attribute: " << o.bins
        << (o.binning == Binning::EqualWidth ? " of equal width" : " of equal record count")
        << '\n';
    if (o.binRecords > 0) {
        out << "  (fewer at small nodes: about " << o.binRecords << " records per interval)\n";
    }
    if (o.maxBranches >= 2) out << "Branches of a numeric split: at most " << o.maxBranches << '\n';
    out << "Maximum depth L: " << o.maxDepth << '\n';
    if (o.minSplit > 2) out << "Nodes with fewer than " << o.minSplit << " records are leaves\n";
    if (o.pruneConfidence > 0) {
        out << "Pruning: by estimated errors at confidence " << o.pruneConfidence << '\n';
    } else {
        out << "Pruning: none\n";
    }
    std::vector<std::string> thresholds;
    for (int len = 1; len <= o.maxDepth; ++len) {
        thresholds.push_back(formatFixed(strengthThreshold(len, o.maxDepth), 2));
    }
    writeLines(out, wrapPieces(thresholds, "Strength threshold t(len), len = 1, 2, ...: ", "    "));
    out << '\n';
}

// Writes the tree's size, the root's class counts and, for a tree without a split, its one
// answer.
void writeTreeHeading(const IntervalTree& tree, const Dataset& data, std::ostream& out) {
    out << "Tree: " << tree.nodes().size() << " nodes, " << tree.leafCount() << " leaves, depth "
        << tree.depth() << "\n";
    const TreeNode& root = tree.nodes()[0];
    const auto& classes = data.classValues();
    std::vector<std::string> counts;
    const std::size_t shown = std::min(classes.size(), kRootClassesShown);
    for (std::size_t m = 0; m < shown; ++m) {
        const bool more = m + 1 < shown || classes.size() > shown;
        counts.push_back(shortForReport(classes[m]) + " " + std::to_string(root.counts[m]) +
                         (more ? "," : ""));
    }
    if (classes.size() > shown) counts.push_back("...");
    const std::string lead = "All " + std::to_string(root.total) + " training records: ";
    writeLines(out, wrapPieces(counts, lead, "    ", kTreeWidth));
    if (root.isLeaf()) {
        const std::string label = shortForReport(classes[static_cast<std::size_t>(root.label)]);
        writeLines(
            out, wrapPieces({"(no split: every record gets " + label + ")"}, "", "  ", kTreeWidth));
    }
}

void writeRules(const IntervalTree& tree, const Dataset& data, std::ostream& out,
                const ReportLimits& limits, const std::string& sqlFile) {
    out << "\nRules, the largest first (a record that misses a value tested by the tree\n"
           "follows the branch with the most training records, which these rules do not\n"
           "show; [N records, P % right]: the training records the rule's leaves hold, and\n"
           "the share of them of its class):\n";
    if (!sqlFile.empty()) {
        writeLines(out, wrapPieces({"The same rules as SQL, exact also where a value is missing or "
                                    "was not seen in training:",
                                    sqlFile},
                                   "", "    ", kTreeWidth));
    }
    const auto& classes = data.classValues();
    for (const RuleSet& r : extractRules(tree, data.attributes(), data.classCount())) {
        const std::string name = shortForReport(classes[static_cast<std::size_t>(r.classCode)]);
        out << '\n';
        if (r.conjunctions.empty()) {
            writeLines(out,
                       wrapPieces({"Class " + name + ": never predicted"}, "", "  ", kTreeWidth));
            continue;
        }
        out << "Class " << name << " when\n";
        const std::size_t shown = std::min(r.conjunctions.size(), limits.maxConjunctions);
        for (std::size_t i = 0; i < shown; ++i) {
            writeConjunction(r.conjunctions[i], r.figures[i], data.attributes(),
                             i ? "   OR " : "      ", out);
        }
        if (shown < r.conjunctions.size()) {
            std::uint64_t rest = 0;
            for (std::size_t i = shown; i < r.figures.size(); ++i) rest += r.figures[i].support;
            out << "   ... and " << r.conjunctions.size() - shown
                << " more conjunctions, the smaller ones, holding " << rest
                << (rest == 1 ? " training record\n" : " training records\n");
        }
    }
}

// Returns `n` with a comma between each group of three digits: "1,234".
std::string groupedCount(std::size_t n) {
    std::string digits = std::to_string(n);
    for (std::size_t at = digits.size(); at > 3; at -= 3) {
        digits.insert(at - 3, ",");
    }
    return digits;
}

}  // namespace

std::vector<std::string> limitSentences(const IntervalTree& tree) {
    std::vector<std::string> sentences;
    if (tree.stoppedByClock()) {
        const std::size_t n = tree.nodesAtStop();
        sentences.push_back("the machine was slower than planned: growth stopped after " +
                            groupedCount(n) + (n == 1 ? " node" : " nodes") +
                            " and the tree was pruned as grown; a run like this can differ "
                            "from the next.");
    } else if (tree.growthStopped()) {
        const std::size_t n = tree.nodesAtStop();
        sentences.push_back("Growth stopped at the work limit after " + groupedCount(n) +
                            (n == 1 ? " node" : " nodes") +
                            "; the tree is smaller than it would grow without a limit.");
    }
    if (const std::size_t n = tree.nearEmptyLeaves(); n > 0) {
        sentences.push_back(groupedCount(n) + (n == 1 ? " node that" : " nodes that") +
                            " would split into near-empty branches " + (n == 1 ? "was" : "were") +
                            (n == 1 ? " made a leaf." : " made leaves."));
    }
    return sentences;
}

std::string conditionText(const Condition& c, const std::vector<Attribute>& attributes) {
    const Attribute& a = attributes[static_cast<std::size_t>(c.attribute)];
    const std::string name = shortForReport(a.name);
    if (c.numeric) return intervalCondition(name, c.lo, c.hi, ClosedEnd::Lower);
    if (c.values.size() == 1) {
        return name + " = " + valueText(a.values[static_cast<std::size_t>(c.values[0])]);
    }
    std::string s = name + " IN (";
    for (std::size_t i = 0; i < c.values.size(); ++i) {
        if (i) s += ", ";
        s += valueText(a.values[static_cast<std::size_t>(c.values[i])]);
    }
    return s + ")";
}

void describeModel(const IntervalTree& tree, const Dataset& data, std::ostream& out,
                   const ReportLimits& limits, const std::string& sqlFile) {
    writeOptions(tree.options(), out);
    if (const std::vector<std::string> limit = limitSentences(tree); !limit.empty()) {
        std::string text;
        for (const std::string& sentence : limit) text += (text.empty() ? "" : " ") + sentence;
        writeLines(out, wrapPieces({text}, "Work limit: ", "    ", kTreeWidth));
        out << '\n';
    }
    writeTreeHeading(tree, data, out);
    const bool summary = tree.leafCount() > limits.maxLeaves;
    if (summary) {
        out << "The tree has more than " << limits.maxLeaves << " leaves; its first "
            << limits.summaryLevels << " levels:\n";
    }
    const int maxDepth = tree.options().maxDepth;
    // The deepest indent written: a branch's parent level, or a summary's "leaves below".
    const int deepest = summary ? std::min(limits.summaryLevels, tree.depth()) : tree.depth() - 1;
    if (deepest > kIndentLevels) {
        out << "(branches below level " << kIndentLevels + 1
            << " show their level as [n] instead of more bars)\n";
    }
    TreeWriter{tree, data, out, summary ? limits.summaryLevels : maxDepth + 1}.write(0, 0);
    writeRules(tree, data, out, limits, sqlFile);
}

}  // namespace mining::interval
