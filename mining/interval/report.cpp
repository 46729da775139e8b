#include "interval/report.h"

#include <charconv>
#include <cmath>

#include "interval/strength.h"
#include "util/text_table.h"

namespace mining::interval {

namespace {

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

std::string branchText(const TreeNode& parent, std::size_t j,
                       const std::vector<Attribute>& attributes) {
    const Attribute& attribute = attributes[static_cast<std::size_t>(parent.attribute)];
    const std::string name = shortForReport(attribute.name);
    if (!parent.numeric) {
        const auto code = static_cast<std::size_t>(parent.childValues[j]);
        return name + " = " + valueText(attribute.values[code]);
    }
    if (j == 0) return name + " < " + formatCut(parent.cuts[0]);
    if (j == parent.cuts.size()) return name + " >= " + formatCut(parent.cuts[j - 1]);
    return formatCut(parent.cuts[j - 1]) + " <= " + name + " < " + formatCut(parent.cuts[j]);
}

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

    void write(std::uint32_t index, const std::string& indent) const {
        const TreeNode& node = tree.nodes()[index];
        const auto& classes = data.classValues();
        for (std::size_t j = 0; j < node.children.size(); ++j) {
            const TreeNode& child = tree.nodes()[node.children[j]];
            const std::string condition = indent + branchText(node, j, data.attributes()) + ":";
            std::string figures = shortForReport(classes[static_cast<std::size_t>(child.winner)]) +
                                  (child.strong ? " strong, " : " weak, ") +
                                  std::to_string(child.total) +
                                  (child.total == 1 ? " record" : " records");
            if (child.isLeaf()) {
                figures += " -> " + shortForReport(classes[static_cast<std::size_t>(child.label)]);
                if (child.pruned) figures += " (pruned)";
            }
            // A long condition puts the figures on a line of their own, one level deeper.
            if (condition.size() + 1 + figures.size() > 80) {
                out << condition << '\n' << indent << "      " << figures << '\n';
            } else {
                out << condition << ' ' << figures << '\n';
            }
            if (!child.isLeaf() && child.depth >= maxDepth) {
                out << indent << "|   ... " << leavesBelow(node.children[j]) << " leaves below\n";
            } else if (!child.isLeaf()) {
                write(node.children[j], indent + "|   ");
            }
        }
    }
};

void writeConjunction(const Conjunction& conj, const std::vector<Attribute>& attributes,
                      const std::string& lead, std::ostream& out) {
    if (conj.empty()) {
        out << lead << "(every record)\n";
        return;
    }
    std::vector<std::string> parts;
    for (const Condition& c : conj) {
        for (std::string& p : conditionParts(c, attributes)) parts.push_back(std::move(p));
    }
    const std::string continuation(lead.size() + 4, ' ');
    std::string line = lead;
    bool fresh = true;  // nothing after the lead yet
    for (std::size_t i = 0; i < parts.size(); ++i) {
        std::string text = parts[i];
        if (i + 1 < parts.size()) text += " AND";
        if (!fresh && line.size() + 1 + text.size() > 78) {
            out << line << '\n';
            line = continuation;
            fresh = true;
        }
        if (!fresh) line += ' ';
        line += text;
        fresh = false;
    }
    out << line << '\n';
}

}  // namespace

std::string formatCut(double v) {
    char buf[400];
    const auto format = (v != 0 && (std::fabs(v) >= 1e15 || std::fabs(v) < 1e-4))
                            ? std::chars_format::general
                            : std::chars_format::fixed;
    auto r = std::to_chars(buf, buf + sizeof buf, v, format);
    std::string s(buf, r.ptr);
    return s == "-0" ? "0" : s;
}

std::vector<std::string> conditionParts(const Condition& c,
                                        const std::vector<Attribute>& attributes) {
    const Attribute& a = attributes[static_cast<std::size_t>(c.attribute)];
    const std::string name = shortForReport(a.name);
    if (c.numeric) {
        std::vector<std::string> parts;
        if (!(std::isinf(c.lo) && c.lo < 0)) parts.push_back(name + " >= " + formatCut(c.lo));
        if (!(std::isinf(c.hi) && c.hi > 0)) parts.push_back(name + " < " + formatCut(c.hi));
        if (parts.empty()) parts.push_back(name + " IS ANY");
        return parts;
    }
    if (c.values.size() == 1) {
        return {name + " = " + valueText(a.values[static_cast<std::size_t>(c.values[0])])};
    }
    std::string s = name + " IN (";
    for (std::size_t i = 0; i < c.values.size(); ++i) {
        if (i) s += ", ";
        s += valueText(a.values[static_cast<std::size_t>(c.values[i])]);
    }
    return {s + ")"};
}

std::string conditionText(const Condition& c, const std::vector<Attribute>& attributes) {
    std::string out;
    for (const std::string& p : conditionParts(c, attributes)) {
        if (!out.empty()) out += " AND ";
        out += p;
    }
    return out;
}

void describeModel(const IntervalTree& tree, const Dataset& data, std::ostream& out,
                   const ReportLimits& limits) {
    const TreeOptions& o = tree.options();
    out << "Initial intervals per numeric attribute: " << o.bins
        << (o.binning == Binning::EqualWidth ? " of equal width" : " of equal record count")
        << '\n';
    if (o.binRecords > 0) {
        out << "  (fewer at small nodes: about " << o.binRecords << " records per interval)\n";
    }
    out << "Maximum depth L: " << o.maxDepth << '\n';
    if (o.minSplit > 2) out << "Nodes with fewer than " << o.minSplit << " records are leaves\n";
    if (o.pruneConfidence > 0) {
        out << "Pruning: by estimated errors at confidence " << o.pruneConfidence << '\n';
    } else {
        out << "Pruning: none\n";
    }
    std::string line = "Strength threshold t(len), len = 1, 2, ...:";
    for (int len = 1; len <= o.maxDepth; ++len) {
        char buf[32];
        auto r = std::to_chars(buf, buf + sizeof buf, strengthThreshold(len, o.maxDepth),
                               std::chars_format::fixed, 2);
        if (line.size() + 1 + static_cast<std::size_t>(r.ptr - buf) > 78) {
            out << line << '\n';
            line = "   ";
        }
        line += ' ';
        line.append(buf, r.ptr);
    }
    out << line << "\n\n";

    const std::size_t leaves = tree.leafCount();
    out << "Tree: " << tree.nodes().size() << " nodes, " << leaves << " leaves, depth "
        << tree.depth() << "\n";
    const TreeNode& root = tree.nodes()[0];
    const auto& classes = data.classValues();
    out << "All " << root.total << " training records";
    for (std::size_t m = 0; m < classes.size() && m < 10; ++m) {
        out << (m ? ", " : ": ") << shortForReport(classes[m]) << " " << root.counts[m];
    }
    if (classes.size() > 10) out << ", ...";
    out << '\n';
    if (root.isLeaf()) {
        out << "(no split: every record gets "
            << shortForReport(classes[static_cast<std::size_t>(root.label)]) << ")\n";
    }
    const bool summary = leaves > limits.maxLeaves;
    if (summary) {
        out << "The tree has more than " << limits.maxLeaves << " leaves; its first "
            << limits.summaryLevels << " levels:\n";
    }
    TreeWriter{tree, data, out, summary ? limits.summaryLevels : o.maxDepth + 1}.write(0, "");

    out << "\nRules (a record that misses a value tested by the tree follows the branch\n"
           "with the most training records, which these rules do not show):\n";
    const auto rules = extractRules(tree, data.attributes(), data.classCount());
    for (const RuleSet& r : rules) {
        out << "\nClass " << shortForReport(classes[static_cast<std::size_t>(r.classCode)]);
        if (r.conjunctions.empty()) {
            out << ": never predicted\n";
            continue;
        }
        out << " when\n";
        const std::size_t shown = std::min(r.conjunctions.size(), limits.maxConjunctions);
        for (std::size_t i = 0; i < shown; ++i) {
            writeConjunction(r.conjunctions[i], data.attributes(), i ? "   OR " : "      ", out);
        }
        if (shown < r.conjunctions.size()) {
            out << "   ... and " << r.conjunctions.size() - shown << " more conjunctions\n";
        }
    }
}

}  // namespace mining::interval
