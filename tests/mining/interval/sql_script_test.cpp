// The SQL script of a trained tree, run in a real database (SQLite, in memory): each record must
// come back from exactly the query of the class the tree predicts for it, and the scoring query
// must give it that class, whatever its values: missing, equal to a cut, not seen at a split.
#include "interval/sql_script.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "data/reader.h"
#include "data/split.h"
#include "interval/interval_model.h"
#include "util/number_format.h"

namespace mining::interval {
namespace {

namespace fs = std::filesystem;

std::string readText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// What running a script over a data set's records gave, by row.
struct ScriptAnswers {
    std::vector<std::vector<std::size_t>> queries;  // the class queries that returned the row
    std::vector<std::string> scored;                // what the scoring query predicted
    std::vector<std::string> columns;               // the table's column names, as SQLite has them
    std::size_t selects = 0;
};

using Db = std::unique_ptr<sqlite3, decltype(&sqlite3_close)>;
using Statement = std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)>;

// Inserts every row of `data` into `table`, which has the file's columns and then a row number,
// each value bound as the text a data file holds (numbers shortest), NULL where missing.
void loadRows(sqlite3* db, const std::string& table, const Dataset& data) {
    const std::size_t fields = data.attributeCount() + 1;
    std::string insert = "INSERT INTO " + sqlIdentifier(table) + " VALUES (?";
    for (std::size_t f = 0; f < fields; ++f) insert += ", ?";
    insert += ")";
    sqlite3_stmt* raw = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, insert.c_str(), -1, &raw, nullptr), SQLITE_OK)
        << sqlite3_errmsg(db);
    const Statement statement(raw, &sqlite3_finalize);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    for (std::size_t r = 0; r < data.recordCount(); ++r) {
        sqlite3_reset(raw);
        for (std::size_t f = 0; f < fields; ++f) {
            const int at = static_cast<int>(f) + 1;
            std::string text;
            bool present = true;
            if (f == data.classField()) {
                text = data.classValues()[static_cast<std::size_t>(data.classes()[r])];
            } else {
                const std::size_t a = f - (f > data.classField());
                const AttributeType type = data.attribute(a).type;
                if (type == AttributeType::Numeric) {
                    const double v = data.numeric(a)[r];
                    present = !isMissing(v);
                    if (present) text = shortestDecimal(v);
                } else if (type == AttributeType::Nominal) {
                    const std::int32_t code = data.nominal(a)[r];
                    present = code != kMissingCode;
                    if (present) text = data.attribute(a).values[static_cast<std::size_t>(code)];
                } else {
                    present = false;
                }
            }
            if (present) {
                sqlite3_bind_text(raw, at, text.c_str(), static_cast<int>(text.size()),
                                  SQLITE_TRANSIENT);
            } else {
                sqlite3_bind_null(raw, at);
            }
        }
        sqlite3_bind_int64(raw, static_cast<int>(fields) + 1, static_cast<sqlite3_int64>(r));
        ASSERT_EQ(sqlite3_step(raw), SQLITE_DONE) << sqlite3_errmsg(db);
    }
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
}

// Runs `script` statement by statement in a fresh database: after its CREATE TABLE, the table
// gets a last column, the row number, and the rows of `data`; then each SELECT's rows are
// collected by that number.
ScriptAnswers runScript(const std::string& script, const std::string& table, const Dataset& data) {
    sqlite3* raw = nullptr;
    sqlite3_open(":memory:", &raw);
    const Db db(raw, &sqlite3_close);
    ScriptAnswers answers;
    answers.queries.resize(data.recordCount());
    answers.scored.resize(data.recordCount());
    const int width = static_cast<int>(data.attributeCount()) + 1;
    const char* sql = script.c_str();
    while (*sql) {
        sqlite3_stmt* s = nullptr;
        const char* tail = nullptr;
        if (sqlite3_prepare_v2(raw, sql, -1, &s, &tail) != SQLITE_OK) {
            ADD_FAILURE() << sqlite3_errmsg(raw) << " in\n" << sql;
            return answers;
        }
        sql = tail;
        if (s == nullptr) continue;  // comments and blanks
        const Statement statement(s, &sqlite3_finalize);
        if (!sqlite3_stmt_readonly(s)) {
            EXPECT_EQ(sqlite3_step(s), SQLITE_DONE) << sqlite3_errmsg(raw);
            const std::string add =
                "ALTER TABLE " + sqlIdentifier(table) + " ADD COLUMN row_number_";
            EXPECT_EQ(sqlite3_exec(raw, add.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
            loadRows(raw, table, data);
            continue;
        }
        const bool scoring = sqlite3_column_count(s) == width + 2;
        EXPECT_TRUE(scoring || sqlite3_column_count(s) == width + 1);
        if (answers.columns.empty())
            for (int c = 0; c < width; ++c) answers.columns.push_back(sqlite3_column_name(s, c));
        int step = 0;
        while ((step = sqlite3_step(s)) == SQLITE_ROW) {
            const auto row = static_cast<std::size_t>(sqlite3_column_int64(s, width));
            if (scoring) {
                const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s, width + 1));
                answers.scored[row] = text ? text : "(NULL)";
            } else {
                answers.queries[row].push_back(answers.selects);
            }
        }
        EXPECT_EQ(step, SQLITE_DONE) << sqlite3_errmsg(raw);
        ++answers.selects;
    }
    return answers;
}

// Trains tarnel's tree (default options unless `options` are given) on the split tarnel makes of
// `data` (66.67 %, seed 1).
std::unique_ptr<IntervalModel> trainAsTarnel(const Dataset& data, const TreeOptions& options = {}) {
    const Split split = splitRecords(data.recordCount(), 66.67, false, 1);
    auto model = std::make_unique<IntervalModel>(options);
    EXPECT_TRUE(model->train(data, split.train));
    return model;
}

// Checks that the script of `model` gives every row of `test` the class the model predicts.
void expectScriptAgrees(const IntervalModel& model, const Dataset& test,
                        const std::string& table = "t") {
    const std::string script = sqlScript(model.tree(), test, SqlScriptFacts{table, {}});
    const ScriptAnswers answers = runScript(script, table, test);
    ASSERT_EQ(answers.selects, test.classCount() + 1);
    std::vector<RowIndex> rows(test.recordCount());
    for (std::size_t r = 0; r < rows.size(); ++r) rows[r] = static_cast<RowIndex>(r);
    std::vector<std::int32_t> predicted;
    model.predictRows(test, rows, predicted);
    std::size_t wrong = 0;
    for (std::size_t r = 0; r < rows.size() && wrong < 5; ++r) {
        const auto p = static_cast<std::size_t>(predicted[r]);
        const bool agrees = answers.queries[r] == std::vector<std::size_t>{p} &&
                            answers.scored[r] == test.classValues()[p];
        if (!agrees) ++wrong;
        EXPECT_TRUE(agrees) << "row " << r << ": the tree predicts " << test.classValues()[p]
                            << ", the scoring query " << answers.scored[r] << ", returned by "
                            << answers.queries[r].size() << " class queries";
    }
}

// How the test records' routes through the tree meet the cases the SQL must get right.
struct Routes {
    std::size_t missingAtSplit = 0;
    std::size_t equalToCut = 0;
    std::size_t unseenStop = 0;
};

void countRoutes(const IntervalTree& tree, const Dataset& data, Routes& routes) {
    for (std::size_t r = 0; r < data.recordCount(); ++r) {
        const TreeNode* node = &tree.nodes()[0];
        while (!node->isLeaf()) {
            const auto a = static_cast<std::size_t>(node->attribute);
            std::size_t j = node->missingChild;
            if (node->numeric) {
                const double v = data.numeric(a)[r];
                if (isMissing(v)) {
                    ++routes.missingAtSplit;
                } else {
                    routes.equalToCut += std::count(node->cuts.begin(), node->cuts.end(), v) > 0;
                    j = static_cast<std::size_t>(
                        std::upper_bound(node->cuts.begin(), node->cuts.end(), v) -
                        node->cuts.begin());
                }
            } else {
                const std::int32_t code = data.nominal(a)[r];
                if (code == kMissingCode) {
                    ++routes.missingAtSplit;
                } else {
                    const auto c = static_cast<std::size_t>(code);
                    if (c >= node->childOfValue.size() || node->childOfValue[c] < 0) {
                        ++routes.unseenStop;
                        break;
                    }
                    j = static_cast<std::size_t>(node->childOfValue[c]);
                }
            }
            node = &tree.nodes()[node->children[j]];
        }
    }
}

// Returns `line` split at commas (the example files quote nothing).
std::vector<std::string> fields(const std::string& line) {
    std::vector<std::string> out;
    std::size_t begin = 0;
    for (std::size_t end; (end = line.find(',', begin)) != std::string::npos; begin = end + 1)
        out.push_back(line.substr(begin, end - begin));
    out.push_back(line.substr(begin));
    return out;
}

// Returns the records of `text` followed by variants of its first records: each attribute in
// turn missing, at every cut of the tree on it, and (nominal) at every value `data` declares.
std::string withVariants(const std::string& text, const Dataset& data, const IntervalTree& tree) {
    std::vector<std::vector<std::string>> replacements(data.attributeCount());
    for (std::size_t a = 0; a < data.attributeCount(); ++a) {
        replacements[a] = {"?"};
        for (const std::string& v : data.attribute(a).values) replacements[a].push_back(v);
    }
    for (const TreeNode& node : tree.nodes())
        for (const double cut : node.cuts)
            replacements[static_cast<std::size_t>(node.attribute)].push_back(shortestDecimal(cut));
    std::string out = text;
    std::istringstream in(text);
    std::string line;
    for (int k = 0; k < 25 && std::getline(in, line); ++k) {
        if (line.empty()) continue;
        const std::vector<std::string> record = fields(line);
        for (std::size_t a = 0; a < data.attributeCount(); ++a) {
            const std::size_t f = a + (a >= data.classField());
            for (const std::string& value : replacements[a]) {
                std::vector<std::string> variant = record;
                variant[f] = value;
                for (std::size_t i = 0; i < variant.size(); ++i) out += (i ? "," : "") + variant[i];
                out += '\n';
            }
        }
    }
    return out;
}

// Every example set: the tree trained as tarnel trains it, by default and unpruned (a larger tree,
// whose small nodes miss values), with numeric splits of at most two or three branches, its script
// run over the set's records and over variants that go missing, sit on a cut point or take a value
// a split never saw.
TEST(SqlScript, EveryExampleRecordComesBackWithTheTreesClass) {
    Routes routes;
    TreeOptions unpruned;
    unpruned.pruneConfidence = 0;
    TreeOptions binary = unpruned;  // numeric splits of two branches, more of them deeper
    binary.maxBranches = 2;
    TreeOptions three;
    three.maxBranches = 3;
    for (const char* name :
         {"iris", "diabetes", "vote", "breast-cancer", "labor", "weather.nominal"}) {
        for (const TreeOptions& options : {TreeOptions{}, unpruned, binary, three}) {
            SCOPED_TRACE(std::string(name) + (options.pruneConfidence > 0 ? "" : ", unpruned") +
                         ", at most " + std::to_string(options.maxBranches) + " branches");
            const fs::path base = fs::path(EXAMPLES_DIR) / name;
            const std::string text = readText(base.string() + ".data");
            const std::string names = readText(base.string() + ".names");
            Result<Dataset> data = parseDataset(text, names);
            ASSERT_TRUE(data) << data.error();
            const std::unique_ptr<IntervalModel> model = trainAsTarnel(*data, options);
            expectScriptAgrees(*model, *data, name);
            Result<Dataset> variants =
                parseDataset(withVariants(text, *data, model->tree()), names);
            ASSERT_TRUE(variants) << variants.error();
            expectScriptAgrees(*model, *variants, name);
            countRoutes(model->tree(), *variants, routes);
        }
    }
    EXPECT_GT(routes.missingAtSplit, 0u);
    EXPECT_GT(routes.equalToCut, 0u);
    EXPECT_GT(routes.unseenStop, 0u);
}

// The same sets in the other formats: a CSV with a header names the columns, ARFF declares them.
TEST(SqlScript, TablesAndArffComeBackWithTheTreesClass) {
    for (const char* file : {"iris.csv", "labor.arff"}) {
        SCOPED_TRACE(file);
        Result<Dataset> data =
            readData(findDataSource((fs::path(EXAMPLES_DIR) / file).string()), {});
        ASSERT_TRUE(data) << data.error();
        const std::unique_ptr<IntervalModel> model = trainAsTarnel(*data);
        expectScriptAgrees(*model, *data);
        const std::string script = sqlScript(model->tree(), *data, SqlScriptFacts{"t", {}});
        const ScriptAnswers answers = runScript(script, "t", *data);
        ASSERT_FALSE(answers.columns.empty());
        EXPECT_EQ(answers.columns.back(), data->className());
    }
}

// Names and values that SQL would misread unquoted: quotes, spaces, commas, letters beyond
// ASCII, keywords; the class column named like an attribute but for the letters' case.
TEST(SqlScript, AwkwardNamesAndValuesRoundTrip) {
    std::string text = "\"it's\",select,\"a \"\"b\"\", c\",Größe,Order,order\n";
    const char* const kinds[] = {"o'neil", "two words", "x, y", "\"q\"", "élan", "table"};
    for (int i = 0; i < 60; ++i) {
        const std::string kind = kinds[i % 6];
        const std::string quotedKind = "\"" + [&] {
            std::string q;
            for (char ch : kind) q += ch == '"' ? std::string("\"\"") : std::string(1, ch);
            return q;
        }() + "\"";
        text += std::to_string(i % 7) + "," + quotedKind + "," + std::to_string(i * 0.1) + "," +
                (i % 3 ? "groß" : "klein") + "," + (i % 2 ? "from" : "where") + "," +
                (i % 6 < 3 ? "\"yes, or\"" : "no way") + "\n";
    }
    Result<Dataset> data =
        parseData(text, DataFormat::Delimited, std::nullopt, {}, "awkward.csv", "", 1);
    ASSERT_TRUE(data) << data.error();
    ASSERT_EQ(data->className(), "order");
    const std::unique_ptr<IntervalModel> model = trainAsTarnel(*data);
    ASSERT_FALSE(model->tree().nodes()[0].isLeaf());
    expectScriptAgrees(*model, *data, "select");
    const std::string script = sqlScript(model->tree(), *data, SqlScriptFacts{"select", {}});
    const ScriptAnswers answers = runScript(script, "select", *data);
    EXPECT_EQ(answers.columns, (std::vector<std::string>{"it's", "select", "a \"b\", c", "Größe",
                                                         "Order", "order_2"}));
    EXPECT_NE(script.find("Columns renamed to be unique: \"order\" as \"order_2\""),
              std::string::npos)
        << script;
}

// A column the reader converted holds text the database cannot compare as the tree does: the
// header names each such column, a value with its number, and how to load it.
TEST(SqlScript, TheHeaderNamesTheColumnsReadAsNumbersWrittenAnotherWay) {
    std::string text = "price;day;kind\n";
    for (int i = 0; i < 40; ++i)
        text += std::to_string(i % 9) + "," + std::to_string(i % 4) + "0 \xE2\x82\xAC;" +
                std::to_string(10 + i % 15) + ".03.2024;" + (i % 9 < 4 ? "low" : "high") + "\n";
    Result<Dataset> data =
        parseData(text, DataFormat::Delimited, std::nullopt, {}, "prices.csv", "", 1);
    ASSERT_TRUE(data) << data.error();
    const std::unique_ptr<IntervalModel> model = trainAsTarnel(*data);
    expectScriptAgrees(*model, *data);
    const std::string script = sqlScript(model->tree(), *data, SqlScriptFacts{"t", {}});
    const std::string header = script.substr(0, script.find("CREATE TABLE"));
    std::string unwrapped;
    for (std::size_t i = 0; i < header.size(); ++i)
        if (header.compare(i, 6, "\n--   ") == 0) {
            unwrapped += ' ';
            i += 5;
        } else {
            unwrapped += header[i];
        }
    EXPECT_NE(unwrapped.find("\"price\" (0,00 \xE2\x82\xAC -> 0: the amount without its currency "
                             "sign); \"day\" (10.03.2024 -> 19792, day first: the days since "
                             "1970-01-01 (UTC)"),
              std::string::npos)
        << header;
    EXPECT_NE(unwrapped.find("'#N/A', '#NA', '#N/A N/A', '<NA>', 'NULL'"), std::string::npos);
}

// A line end in a name would end the header's comment and let the rest run as SQL.
TEST(SqlScript, ControlCharactersCannotLeaveTheHeaderComment) {
    Result<Dataset> data = parseDataset("1,a\n2,a\n3,b\n4,b\n", "a, b.\nx: continuous.\n",
                                        "x.data\nDROP TABLE \"t\";\n--", "");
    ASSERT_TRUE(data) << data.error();
    const std::unique_ptr<IntervalModel> model = trainAsTarnel(*data);
    const std::string script =
        sqlScript(model->tree(), *data, SqlScriptFacts{"t", {"run\rline", "two\x1b"}});
    EXPECT_NE(script.find("-- Data file: x.data?DROP TABLE \"t\";?--\n"), std::string::npos)
        << script;
    EXPECT_NE(script.find("-- run?line\n-- two?\n"), std::string::npos) << script;
    expectScriptAgrees(*model, *data);
}

// A cut point must reach the database as the very double the tree holds.
TEST(SqlScript, NumbersReadBackAsTheSameDouble) {
    sqlite3* raw = nullptr;
    sqlite3_open(":memory:", &raw);
    const Db db(raw, &sqlite3_close);
    for (const double x : {39.5, 0.1, 1.0 / 3, -2.5e-7, 1e21, 123456789012345680.0, 5e-324,
                           1.7976931348623157e308, 0.30000000000000004, 2.0}) {
        const std::string text = shortestDecimal(x);
        double back = 0;
        std::from_chars(text.data(), text.data() + text.size(), back);
        EXPECT_EQ(back, x) << text;
        const std::string query = "SELECT " + text;
        sqlite3_stmt* s = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(raw, query.c_str(), -1, &s, nullptr), SQLITE_OK);
        const Statement statement(s, &sqlite3_finalize);
        ASSERT_EQ(sqlite3_step(s), SQLITE_ROW);
        EXPECT_EQ(sqlite3_column_double(s, 0), x) << text;
    }
    EXPECT_EQ(shortestDecimal(39.5), "39.5");
}

}  // namespace
}  // namespace mining::interval
