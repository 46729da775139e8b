// The same records written in every format the programs read must give both programs the same
// evaluation as the .data file with its .names file.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>

#include "program_run.h"

namespace {

namespace fs = std::filesystem;
using program_run::readFile;
using program_run::run;

// An example set: its records' fields, its attributes (name and declared values; none when
// continuous) and its class values.
struct Example {
    std::vector<std::vector<std::string>> records;
    std::vector<std::pair<std::string, std::vector<std::string>>> attributes;
    std::vector<std::string> classValues;
};

std::vector<std::string> split(const std::string& text, char at) {
    std::vector<std::string> parts;
    std::stringstream in(text);
    for (std::string part; std::getline(in, part, at);) {
        const std::size_t b = part.find_first_not_of(' ');
        const std::size_t e = part.find_last_not_of(" .\r");
        parts.push_back(b == std::string::npos ? "" : part.substr(b, e - b + 1));
    }
    return parts;
}

// Reads examples/NAME.data and NAME.names (a class line, then "name: continuous." or
// "name: v1, v2."). The values of each nominal attribute and of the class are listed in order
// of first appearance, as in a file whose types are guessed: the order of the classes decides
// ties, and a value listed but never seen changes the smoothed probabilities.
Example readExample(const std::string& name) {
    Example x;
    std::stringstream names(readFile(fs::path(EXAMPLES_DIR) / (name + ".names")));
    for (std::string line; std::getline(names, line);) {
        if (line.empty() || line[0] == '|') continue;
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos) {
            if (x.classValues.empty()) x.classValues = split(line, ',');
            continue;
        }
        const std::string values = line.substr(colon + 1);
        x.attributes.push_back(
            {line.substr(0, colon), values.find("continuous") != std::string::npos
                                        ? std::vector<std::string>{}
                                        : split(values, ',')});
    }
    std::stringstream data(readFile(fs::path(EXAMPLES_DIR) / (name + ".data")));
    for (std::string line; std::getline(data, line);)
        if (!line.empty()) x.records.push_back(split(line, ','));
    auto seen = [&x](std::size_t i, std::vector<std::string>& values) {
        values.clear();
        for (const auto& r : x.records)
            if (r[i] != "?" && std::find(values.begin(), values.end(), r[i]) == values.end())
                values.push_back(r[i]);
    };
    for (std::size_t i = 0; i < x.attributes.size(); ++i)
        if (!x.attributes[i].second.empty()) seen(i, x.attributes[i].second);
    seen(x.attributes.size(), x.classValues);
    return x;
}

std::string namesFile(const Example& x) {
    std::string out;
    for (std::size_t i = 0; i < x.classValues.size(); ++i)
        out += (i ? ", " : "") + x.classValues[i];
    out += ".\n";
    for (const auto& [name, values] : x.attributes) {
        out += name + ": ";
        for (std::size_t i = 0; i < values.size(); ++i) out += (i ? ", " : "") + values[i];
        out += values.empty() ? "continuous.\n" : ".\n";
    }
    return out;
}

std::string join(const std::vector<std::string>& fields, const std::string& with) {
    std::string out;
    for (std::size_t i = 0; i < fields.size(); ++i) out += (i ? with : "") + fields[i];
    return out;
}

std::string headerLine(const Example& x, const std::string& with) {
    std::vector<std::string> names;
    for (const auto& a : x.attributes) names.push_back(a.first);
    names.push_back("class");
    return join(names, with) + "\n";
}

// The records as delimited text: `with` between fields, `point` as the decimal point.
std::string delimited(const Example& x, const std::string& with, char point, bool header) {
    std::string out = header ? headerLine(x, with) : "";
    for (std::vector<std::string> r : x.records) {
        for (std::size_t i = 0; i + 1 < r.size(); ++i)
            if (x.attributes[i].second.empty())
                for (char& c : r[i])
                    if (c == '.') c = point;
        out += join(r, with) + "\n";
    }
    return out;
}

// The records as data frame libraries and spreadsheets write them: `with` between fields, a
// missing value as `missing`, nominal values and names in double quotes when `quote`, row names
// first under a header that names one column fewer when `rowNames`, and `end` after every line
// (",," for a spreadsheet's empty columns).
std::string frame(const Example& x, const std::string& with, const std::string& missing, bool quote,
                  bool rowNames, const std::string& end) {
    auto quoted = [quote](const std::string& s) { return quote ? "\"" + s + "\"" : s; };
    std::vector<std::string> names;
    for (const auto& a : x.attributes) names.push_back(quoted(a.first));
    names.push_back(quoted("class"));
    std::string out = join(names, with) + end + "\n";
    for (std::size_t r = 0; r < x.records.size(); ++r) {
        std::vector<std::string> fields;
        if (rowNames) fields.push_back(quoted(std::to_string(r + 1)));
        for (std::size_t i = 0; i < x.records[r].size(); ++i) {
            const std::string& v = x.records[r][i];
            const bool nominal = i == x.attributes.size() || !x.attributes[i].second.empty();
            fields.push_back(v == "?" ? missing : nominal ? quoted(v) : v);
        }
        out += join(fields, with) + end + "\n";
    }
    return out;
}

std::string arff(const Example& x, bool sparse) {
    std::string out = "% the records of an example set\n@relation example\n";
    for (const auto& [name, values] : x.attributes)
        out += "@attribute " + name + " " +
               (values.empty() ? "real" : "{" + join(values, ",") + "}") + "\n";
    out += "@attribute class {" + join(x.classValues, ",") + "}\n@data\n";
    for (const auto& r : x.records) {
        if (!sparse) {
            out += join(r, ",") + "\n";
            continue;
        }
        // Left out: a numeric 0 and a nominal attribute's first value.
        std::vector<std::string> items;
        for (std::size_t i = 0; i < r.size(); ++i) {
            const std::vector<std::string>& values =
                i + 1 < r.size() ? x.attributes[i].second : x.classValues;
            const bool omitted =
                values.empty() ? r[i] != "?" && std::stod(r[i]) == 0 : r[i] == values.front();
            if (!omitted) items.push_back(std::to_string(i) + " " + r[i]);
        }
        out += "{" + join(items, ", ") + "}\n";
    }
    return out;
}

// What an evaluation says: the Accuracy and Kappa lines and the confusion matrix as counts by
// (actual, predicted) class name, whatever the order of the classes.
struct Evaluated {
    std::string accuracy;
    std::string kappa;
    std::map<std::pair<std::string, std::string>, long> matrix;
    bool operator==(const Evaluated&) const = default;
};

void PrintTo(const Evaluated& e, std::ostream* out) {
    *out << e.accuracy << " / " << e.kappa << " / " << e.matrix.size() << " cells";
}

Evaluated evaluated(const std::string& report) {
    Evaluated e;
    std::stringstream in(report);
    std::vector<std::pair<std::string, std::vector<long>>> rows;
    bool inMatrix = false;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("Accuracy: ", 0) == 0) e.accuracy = line;
        if (line.rfind("Kappa: ", 0) == 0) e.kappa = line;
        if (line.rfind("Confusion matrix", 0) == 0) {
            inMatrix = true;
            std::getline(in, line);  // the column heads
            continue;
        }
        if (!inMatrix) continue;
        if (line.empty() || line[0] != ' ') break;
        std::vector<std::string> words;
        std::stringstream w(line);
        for (std::string word; w >> word;) words.push_back(word);
        std::vector<long> counts;
        while (!words.empty() &&
               words.back().find_first_not_of("0123456789") == std::string::npos) {
            counts.insert(counts.begin(), std::stol(words.back()));
            words.pop_back();
        }
        // "(2) name" when the columns are numbered.
        if (!words.empty() && words.front().front() == '(') words.erase(words.begin());
        rows.push_back({join(words, " "), counts});
    }
    for (const auto& [actual, counts] : rows)
        for (std::size_t p = 0; p < counts.size() && p < rows.size(); ++p)
            e.matrix[{actual, rows[p].first}] = counts[p];
    return e;
}

class Formats : public ::testing::TestWithParam<std::string> {
protected:
    void write(const std::string& name, const std::string& content) {
        folder_.write(name, content);
    }

    program_run::TestFolder folder_{"formats_test"};
    const fs::path& dir_ = folder_.path();
};

TEST_P(Formats, EveryFormatOfTheSameRecordsGivesTheSameEvaluation) {
    const std::string name = GetParam();
    const Example x = readExample(name);
    ASSERT_GT(x.records.size(), 100u);
    fs::copy_file(fs::path(EXAMPLES_DIR) / (name + ".data"), dir_ / "ref.data");
    write("ref.names", namesFile(x));
    const std::vector<std::pair<std::string, std::string>> variants = {
        {"header.csv", delimited(x, ",", '.', true)},
        {"semicolons.csv", delimited(x, ";", ',', true)},
        {"tabs.tsv", delimited(x, "\t", '.', true)},
        {"dense.arff", arff(x, false)},
        {"sparse.arff", arff(x, true)},
        {"header.data", delimited(x, ",", '.', true)},
        {"empty_missing.tsv", frame(x, "\t", "", false, false, "")},
        {"r_table.txt", frame(x, " ", "NA", true, true, "")},
        {"r_tabs.tsv", frame(x, "\t", "NA", true, true, "")},
        {"spreadsheet.csv", "# exported by hand\n" + frame(x, ",", "", false, false, ",,")},
    };
    for (const auto& [file, text] : variants) write(file, text);
    // The same records once more, their .names declaring the classes the other way round: the
    // order a file lists its classes in changes nothing, self-tuning's folds included.
    Example reversed = x;
    std::reverse(reversed.classValues.begin(), reversed.classValues.end());
    fs::copy_file(dir_ / "ref.data", dir_ / "reversed.data");
    write("reversed.names", namesFile(reversed));
    const std::vector<std::pair<std::string, std::string>> programs = {
        {CLASSIFY_PATH, "_bayes.output"}, {TARNEL_PATH, "_interval.output"}};
    for (const auto& [program, suffix] : programs) {
        ASSERT_EQ(run(program, {"ref", "66.67"}, dir_).status, 0);
        const Evaluated expected = evaluated(readFile(dir_ / ("ref" + suffix)));
        ASSERT_FALSE(expected.accuracy.empty());
        ASSERT_EQ(expected.matrix.size(), x.classValues.size() * x.classValues.size());
        std::vector<std::string> files{"reversed.data"};
        for (const auto& [file, text] : variants) files.push_back(file);
        for (const std::string& file : files) {
            SCOPED_TRACE(program + " " + file);
            const auto r = run(program, {file, "66.67"}, dir_);
            const std::string base = file.substr(0, file.rfind('.'));
            const std::string report = readFile(dir_ / (base + suffix));
            ASSERT_EQ(r.status, 0) << report.substr(0, 300);
            EXPECT_EQ(evaluated(report), expected) << report;
        }
    }
}

// Returns the schema a saved model file holds: its text from "schema" on, the run's id left out.
std::string savedSchema(const std::string& model) {
    std::string schema;
    std::stringstream in(model.substr(std::min(model.find("\"schema\""), model.size())));
    for (std::string line; std::getline(in, line);)
        if (line.find("\"run\"") == std::string::npos) schema += line + "\n";
    return schema;
}

// Empty fields first in a tab-separated line are missing values in their own columns: the
// values after them never stand in the columns before, not even among a column's values that no
// record holds, so the model of the same records written with commas is the same.
TEST(DelimitedText, EmptyFieldsFirstInATabSeparatedLineKeepTheirColumns) {
    program_run::TestFolder folder("formats_test_tabs");
    const fs::path& dir_ = folder.path();
    auto write = [&folder](const std::string& name, const std::string& text) {
        folder.write(name, text);
    };
    std::string tabs = "shape\tshade\tkind\tcls\n";
    for (int i = 1; i <= 40; ++i) {
        const std::string kind(1, "uvw"[i % 3]);
        const std::string cls = kind == "u" ? "yes" : "no";
        tabs +=
            (i % 10 == 0 ? "\t"
                         : std::string(i % 2 ? "p" : "q") + "\t" + (i % 4 < 2 ? "red" : "blue")) +
            "\t" + kind + "\t" + cls + "\n";
    }
    std::string commas = tabs;
    std::replace(commas.begin(), commas.end(), '\t', ',');
    write("tabs.tsv", tabs);
    write("commas.csv", commas);
    for (const std::string& program : {std::string(CLASSIFY_PATH), std::string(TARNEL_PATH)}) {
        SCOPED_TRACE(program);
        ASSERT_EQ(run(program, {"--save-model", "tabs.model", "tabs.tsv", "50"}, dir_).status, 0);
        ASSERT_EQ(run(program, {"--save-model", "commas.model", "commas.csv", "50"}, dir_).status,
                  0);
        const std::string schema = savedSchema(readFile(dir_ / "tabs.model"));
        EXPECT_NE(schema.find("\"blue\""), std::string::npos) << schema;
        EXPECT_EQ(schema, savedSchema(readFile(dir_ / "commas.model")));
    }
}

// Numeric, nominal with missing values, and a larger numeric set. (breast-cancer declares a
// nominal attribute of numbers, which a table without types is right to read as numbers.)
INSTANTIATE_TEST_SUITE_P(Examples, Formats, ::testing::Values("iris", "vote", "diabetes"));

}  // namespace
