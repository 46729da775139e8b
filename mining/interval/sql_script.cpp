#include "interval/sql_script.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <sstream>
#include <unordered_set>

#include "data/missing_marks.h"
#include "interval/tree_report.h"
#include "util/number_format.h"
#include "util/report_text.h"

namespace mining::interval {

namespace {

// The width the header's comment lines keep to.
constexpr std::size_t kCommentWidth = 80;

// Returns `text` fit for a comment line: every control character (a line end among them, which
// would end the comment) becomes '?'.
std::string commentText(std::string_view text) {
    std::string out(text);
    for (char& ch : out) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte < 0x20 || byte == 0x7F) ch = '?';
    }
    return out;
}

// Returns `text` with `quote` around it and every `quote` in it doubled.
std::string quoted(std::string_view text, char quote) {
    std::string out(1, quote);
    for (const char ch : text) {
        if (ch == quote) out += quote;
        out += ch;
    }
    return out + quote;
}

// Writes `text` as comment lines wrapped at kCommentWidth.
void writeComment(std::ostream& out, const std::string& text) {
    writeLines(out, wrapPieces({commentText(text)}, "-- ", "--   ", kCommentWidth));
}

// What a path from the root asks of one attribute: a numeric one's values in [lo, hi), a nominal
// one's among `values` (any value while `anyValue`); and whether a missing value follows the
// path (every split on the attribute sent it down the path's branch).
struct Term {
    std::int32_t attribute = 0;
    bool numeric = false;
    double lo = -INFINITY;
    double hi = INFINITY;
    bool anyValue = true;
    std::vector<std::int32_t> values;  // ascending value codes
    bool nullFollows = true;
};

// One disjunct of a class's query: the terms of a path, and for a record that stops at a nominal
// split, the values seen there (the record's value is none of them).
struct Conjunct {
    std::vector<Term> terms;
    std::int32_t stopAttribute = -1;
    std::vector<std::int32_t> seenValues;
    std::uint64_t support = 0;  // the training records of its leaf
    std::uint64_t correct = 0;  // ... of the leaf's class
};

// Returns `path` with branch j of `node` taken.
std::vector<Term> withBranch(std::vector<Term> path, const TreeNode& node, std::size_t j) {
    auto it = std::find_if(path.begin(), path.end(),
                           [&](const Term& t) { return t.attribute == node.attribute; });
    if (it == path.end()) {
        Term fresh;
        fresh.attribute = node.attribute;
        fresh.numeric = node.numeric;
        path.push_back(fresh);
        it = path.end() - 1;
    }
    Term& t = *it;
    t.nullFollows = t.nullFollows && j == node.missingChild;
    if (node.numeric) {
        if (j > 0) t.lo = std::max(t.lo, node.cuts[j - 1]);
        if (j < node.cuts.size()) t.hi = std::min(t.hi, node.cuts[j]);
        return path;
    }
    const std::int32_t value = node.childValues[j];
    if (t.anyValue || std::binary_search(t.values.begin(), t.values.end(), value)) {
        t.values = {value};
    } else {
        t.values.clear();
    }
    t.anyValue = false;
    return path;
}

// Collects the conjuncts of the subtree at `index`, reached by `path`, by predicted class.
void collect(const IntervalTree& tree, std::uint32_t index, const std::vector<Term>& path,
             std::vector<std::vector<Conjunct>>& byClass) {
    const TreeNode& node = tree.nodes()[index];
    const auto label = static_cast<std::size_t>(node.label);
    if (node.isLeaf()) {
        byClass[label].push_back(Conjunct{path, -1, {}, node.total, node.counts[label]});
        return;
    }
    for (std::size_t j = 0; j < node.children.size(); ++j)
        collect(tree, node.children[j], withBranch(path, node, j), byClass);
    if (!node.numeric) {
        std::vector<std::int32_t> seen = node.childValues;
        std::sort(seen.begin(), seen.end());
        byClass[label].push_back(Conjunct{path, node.attribute, std::move(seen), 0, 0});
    }
}

// The names the script uses: quoted columns, quoted values.
struct Names {
    const Dataset& data;
    std::vector<std::string> columns;  // by attribute, quoted
    std::string classColumn;           // quoted

    std::string column(std::int32_t attribute) const {
        return columns[static_cast<std::size_t>(attribute)];
    }
    std::string value(std::int32_t attribute, std::int32_t code) const {
        return sqlString(data.attribute(static_cast<std::size_t>(attribute))
                             .values[static_cast<std::size_t>(code)]);
    }
    std::string valueList(std::int32_t attribute, const std::vector<std::int32_t>& codes) const {
        std::string list = "(";
        for (std::size_t i = 0; i < codes.size(); ++i)
            list += (i ? ", " : "") + value(attribute, codes[i]);
        return list + ")";
    }
    std::string classValue(std::int32_t code) const {
        return sqlString(data.classValues()[static_cast<std::size_t>(code)]);
    }
};

// Returns the condition of a term on a present value: "a" >= 1 AND "a" < 2, "a" = 'x', ...
std::string presentText(const Term& t, const Names& names) {
    const std::string c = names.column(t.attribute);
    if (t.numeric) {
        const bool low = std::isfinite(t.lo);
        const bool high = std::isfinite(t.hi);
        if (low && high)
            return c + " >= " + shortestDecimal(t.lo) + " AND " + c + " < " + shortestDecimal(t.hi);
        if (low) return c + " >= " + shortestDecimal(t.lo);
        return c + " < " + shortestDecimal(t.hi);
    }
    if (t.values.empty()) return "1 = 0";  // the path asks for two values at once
    if (t.values.size() == 1) return c + " = " + names.value(t.attribute, t.values[0]);
    return c + " IN " + names.valueList(t.attribute, t.values);
}

std::string termText(const Term& t, const Names& names) {
    const std::string present = presentText(t, names);
    if (!t.nullFollows) return present;
    const bool compound = present.find(" AND ") != std::string::npos;
    return "(" + names.column(t.attribute) + " IS NULL OR " + (compound ? "(" : "") + present +
           (compound ? ")" : "") + ")";
}

std::string conjunctText(const Conjunct& c, const Names& names) {
    std::string text;
    for (const Term& t : c.terms) text += (text.empty() ? "" : " AND ") + termText(t, names);
    if (c.stopAttribute >= 0) {
        text += (text.empty() ? "" : " AND ") + names.column(c.stopAttribute) + " NOT IN " +
                names.valueList(c.stopAttribute, c.seenValues);
    }
    return text.empty() ? "1 = 1" : text;
}

// Returns "48 training records, 95.8 % of this class" for a disjunct.
std::string supportText(std::uint64_t support, std::uint64_t correct) {
    if (support == 0) return "no training records (values not seen at a split)";
    return std::to_string(support) + (support == 1 ? " training record, " : " training records, ") +
           formatFixed(100.0 * static_cast<double>(correct) / static_cast<double>(support), 1) +
           " % of this class";
}

void writeClassQuery(std::ostream& out, std::int32_t classCode, std::vector<Conjunct> conjuncts,
                     const Names& names, const std::string& table) {
    std::stable_sort(conjuncts.begin(), conjuncts.end(),
                     [](const Conjunct& a, const Conjunct& b) { return a.support > b.support; });
    std::uint64_t support = 0;
    std::uint64_t correct = 0;
    std::size_t leaves = 0;
    for (const Conjunct& c : conjuncts) {
        support += c.support;
        correct += c.correct;
        leaves += c.stopAttribute < 0;
    }
    const std::string name = names.data.classValues()[static_cast<std::size_t>(classCode)];
    out << '\n';
    if (conjuncts.empty()) {
        writeComment(out, "Class " + sqlString(name) + ": never predicted.");
        out << "SELECT * FROM " << table << " WHERE 1 = 0;\n";
        return;
    }
    writeComment(out, "Class " + sqlString(name) + ": " + std::to_string(leaves) +
                          (leaves == 1 ? " leaf holding " : " leaves holding ") +
                          std::to_string(support) +
                          (support == 1 ? " training record, " : " training records, ") +
                          std::to_string(correct) + " of them of this class.");
    out << "SELECT * FROM " << table << " WHERE\n";
    for (std::size_t i = 0; i < conjuncts.size(); ++i) {
        out << (i ? "   OR " : "      ") << '(' << conjunctText(conjuncts[i], names) << ")  -- "
            << supportText(conjuncts[i].support, conjuncts[i].correct) << '\n';
    }
    out << ";\n";
}

// Writes the CASE expression of the subtree at `index`, its lines indented by `indent`.
// The WHENs of a split are tried in order: an interval's upper cut alone decides, the ones below
// having failed; a missing value fails every comparison, so the branch that takes it tests IS
// NULL as well; a nominal value none of the WHENs name falls to the ELSE, the node's majority.
void writeCase(std::ostream& out, const IntervalTree& tree, std::uint32_t index, const Names& names,
               const std::string& indent) {
    const TreeNode& node = tree.nodes()[index];
    const std::string c = names.column(node.attribute);
    out << "CASE\n";
    const std::size_t branches = node.children.size();
    for (std::size_t j = 0; j < branches; ++j) {
        const bool last = node.numeric && j + 1 == branches;
        std::string when;
        if (!last) {
            when = node.numeric ? c + " < " + shortestDecimal(node.cuts[j])
                                : c + " = " + names.value(node.attribute, node.childValues[j]);
            if (j == node.missingChild) when = c + " IS NULL OR " + when;
        }
        out << indent << "  " << (last ? "ELSE " : "WHEN " + when + " THEN ");
        const TreeNode& child = tree.nodes()[node.children[j]];
        if (child.isLeaf()) {
            out << names.classValue(child.label) << '\n';
        } else {
            writeCase(out, tree, node.children[j], names, indent + "    ");
        }
    }
    if (!node.numeric) out << indent << "  ELSE " << names.classValue(node.label) << '\n';
    out << indent << "END\n";
}

void writeScoring(std::ostream& out, const IntervalTree& tree, const Names& names,
                  const std::string& table) {
    out << '\n';
    writeComment(out, "Every record with the class predicted for it.");
    out << "SELECT " << table << ".*,\n       ";
    if (tree.nodes()[0].isLeaf()) {
        out << names.classValue(tree.nodes()[0].label) << '\n';
    } else {
        writeCase(out, tree, 0, names, "       ");
    }
    out << "       AS \"predicted\"\nFROM " << table << ";\n";
}

// Returns the tree's settings for the header.
std::string settingsText(const TreeOptions& o) {
    std::string text = "Settings: " + std::to_string(o.bins) + " initial intervals of " +
                       (o.binning == Binning::EqualWidth ? "equal width" : "equal record count") +
                       " per numeric attribute";
    if (o.binRecords > 0)
        text += " (about " + std::to_string(o.binRecords) + " records each at small nodes)";
    if (o.maxBranches >= 2)
        text += ", at most " + std::to_string(o.maxBranches) + " branches per numeric split";
    text += ", maximum depth " + std::to_string(o.maxDepth);
    if (o.minSplit > 2)
        text += ", nodes of fewer than " + std::to_string(o.minSplit) + " records are leaves";
    text += o.pruneConfidence > 0 ? ", pruned at confidence " + formatGeneral(o.pruneConfidence)
                                  : ", not pruned";
    return text + ".";
}

// Returns the names of `columns` (quoted) joined by ", ".
std::string nameList(const std::vector<std::string>& columns) {
    std::string list;
    for (const std::string& c : columns) list += (list.empty() ? "" : ", ") + c;
    return list;
}

// Returns the marks of a missing value beyond '?' and an empty field, quoted for SQL.
std::string missingMarkList() {
    std::string list;
    for (MarkId mark = kMarkNA; mark < kMarkDash; ++mark)
        list += (list.empty() ? "" : ", ") + sqlString(builtInMarkText(mark));
    return list;
}

// Returns how to load a value of `conversion`'s column as the number the tree compares.
std::string howToLoad(const ColumnConversion& conversion) {
    switch (conversion.style) {
        case NumberStyle::Percent:
            return "the number before the percent sign";
        case NumberStyle::Currency:
            return "the amount without its currency sign";
        case NumberStyle::Grouped:
            return "the number without the commas that group thousands";
        case NumberStyle::DecimalComma:
            return "the number with its decimal comma as a point, without points grouping "
                   "thousands";
        case NumberStyle::Date:
            break;
    }
    return "the days since 1970-01-01 (UTC), the time of day as a fraction";
}

// Returns the comment on the columns the reader read as numbers written another way: each
// column, one value as written and the number it is, and how to load it.
std::string conversionsText(const Dataset& data, const std::vector<std::string>& columnNames) {
    std::string text =
        "Columns of numbers written another way, which the tree reads as the numbers: load "
        "each value as the number shown, not as written: ";
    const std::vector<ColumnConversion>& all = data.conversions();
    for (std::size_t i = 0; i < all.size(); ++i) {
        const ColumnConversion& c = all[i];
        const std::size_t field = c.attribute + (c.attribute >= data.classField());
        text += (i ? "; " : "") + sqlIdentifier(columnNames[field]) + " (" +
                describeExample(c.style, c.example, c.number, c.order) + ": " + howToLoad(c) + ")";
    }
    return text + ".";
}

void writeHeader(std::ostream& out, const IntervalTree& tree, const Dataset& data,
                 const SqlScriptFacts& facts, const std::vector<std::string>& columnNames) {
    for (const std::string& line : facts.lines) writeComment(out, line);
    writeComment(out, "Data file: " + data.dataPath() +
                          (data.namesPath().empty() ? "" : " (names: " + data.namesPath() + ")"));
    if (data.sample().sampled)
        writeComment(out, "Read: a seeded sample of " +
                              std::to_string(data.recordCount() + data.missingClassCount()) +
                              " records of about " +
                              std::to_string(data.sample().estimatedRecords) +
                              " (time limit); the tree below is the one trained on it.");
    for (const std::string& note : data.readNotes()) writeComment(out, "Reading: " + note + ".");
    writeComment(out, settingsText(tree.options()));
    for (const std::string& sentence : limitSentences(tree)) writeComment(out, sentence);
    writeComment(out, "Tree: " + std::to_string(tree.nodes().size()) + " nodes, " +
                          std::to_string(tree.leafCount()) + " leaves, depth " +
                          std::to_string(tree.depth()) + ".");
    out << "--\n";
    writeComment(out,
                 "The table holds every column of the data file in its order: numeric "
                 "attributes as DOUBLE PRECISION, so that they compare as numbers, nominal "
                 "ones and the class as TEXT. Load the records into it with every mark of a "
                 "missing value as NULL: '?', empty fields, " +
                     missingMarkList() + ", and in numeric columns '-', '--' and '.'" +
                     (data.missingCounts().empty() ? ""
                                                   : " (what the reader read as missing "
                                                     "is listed above)") +
                     ".");
    if (!data.conversions().empty()) writeComment(out, conversionsText(data, columnNames));
    std::vector<std::string> unread;
    std::vector<std::string> renamed;
    const std::size_t fields = data.attributeCount() + 1;
    for (std::size_t f = 0; f < fields; ++f) {
        const bool isClass = f == data.classField();
        const std::size_t a = f - (f > data.classField());
        const std::string& original = isClass ? data.className() : data.attribute(a).name;
        if (original != columnNames[f])
            renamed.push_back(sqlIdentifier(original) + " as " + sqlIdentifier(columnNames[f]));
        if (!isClass && data.attribute(a).type == AttributeType::Ignored)
            unread.push_back(sqlIdentifier(columnNames[f]));
    }
    if (!unread.empty())
        writeComment(out,
                     "Columns the tree does not read (ignored, or left out as identifiers), "
                     "kept as TEXT: " +
                         nameList(unread) + ".");
    if (!renamed.empty())
        writeComment(out, "Columns renamed to be unique: " + nameList(renamed) + ".");
    writeComment(out,
                 "Each class's query returns exactly the records the tree predicts that "
                 "class for. A missing value (NULL) follows the branch with the most "
                 "training records (IS NULL), a value equal to a cut point the branch above "
                 "it, and a nominal value no training record held at a split stops there "
                 "with that node's majority (NOT IN the values seen). The last query gives "
                 "every record its predicted class.");
}

void writeCreateTable(std::ostream& out, const Dataset& data,
                      const std::vector<std::string>& columnNames, const std::string& table) {
    out << "\nCREATE TABLE " << table << " (\n";
    const std::size_t fields = columnNames.size();
    for (std::size_t f = 0; f < fields; ++f) {
        const bool isClass = f == data.classField();
        const bool numeric =
            !isClass && data.attribute(f - (f > data.classField())).type == AttributeType::Numeric;
        out << "    " << sqlIdentifier(columnNames[f]) << (numeric ? " DOUBLE PRECISION" : " TEXT")
            << (f + 1 < fields ? ",\n" : "\n");
    }
    out << ");\n";
}

// Returns `name` with ASCII letters in lower case.
std::string foldedCase(std::string name) {
    for (char& ch : name)
        if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    return name;
}

}  // namespace

std::string sqlIdentifier(std::string_view name) { return quoted(name, '"'); }

std::string sqlString(std::string_view value) { return quoted(value, '\''); }

std::vector<std::string> sqlColumnNames(const Dataset& data) {
    std::vector<std::string> names;
    const std::size_t fields = data.attributeCount() + 1;
    std::unordered_set<std::string> taken;
    for (std::size_t f = 0; f < fields; ++f) {
        const std::string& name = f == data.classField()
                                      ? data.className()
                                      : data.attribute(f - (f > data.classField())).name;
        std::string unique = name;
        for (int k = 2; taken.count(foldedCase(unique)) > 0; ++k)
            unique = name + "_" + std::to_string(k);
        taken.insert(foldedCase(unique));
        names.push_back(unique);
    }
    return names;
}

std::string sqlScript(const IntervalTree& tree, const Dataset& data, const SqlScriptFacts& facts) {
    const std::vector<std::string> columnNames = sqlColumnNames(data);
    Names names{data, {}, sqlIdentifier(columnNames[data.classField()])};
    for (std::size_t f = 0; f < columnNames.size(); ++f)
        if (f != data.classField()) names.columns.push_back(sqlIdentifier(columnNames[f]));
    const std::string table = sqlIdentifier(facts.table);

    std::ostringstream out;
    writeHeader(out, tree, data, facts, columnNames);
    writeCreateTable(out, data, columnNames, table);
    std::vector<std::vector<Conjunct>> byClass(data.classCount());
    collect(tree, 0, {}, byClass);
    for (std::size_t m = 0; m < byClass.size(); ++m)
        writeClassQuery(out, static_cast<std::int32_t>(m), std::move(byClass[m]), names, table);
    writeScoring(out, tree, names, table);
    return out.str();
}

}  // namespace mining::interval
