// A folder of data files must be read as the one file their concatenation is: both programs give
// the same report, model and SQL for the folder as for that file.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "program_run.h"

namespace {

namespace fs = std::filesystem;
using program_run::readFile;
using program_run::run;

// A folder's files and the one file they stand for. A file is `header` (when it has one) and
// then its body; the joined file is the header once, then every body, each ended by a line end.
struct FolderCase {
    std::string name;
    std::string suffix;               // of every data file
    std::string header;               // "" for none
    bool headerInEvery = false;       // else in the first file only
    std::vector<std::string> bodies;  // one a file, in name order
    std::string names;                // a .names file in the folder, "" for none
};

void PrintTo(const FolderCase& c, std::ostream* out) { *out << c.name; }

void writeFile(const fs::path& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

// Returns the lines of examples/NAME, from line `from` (0-based) on, `count` of them.
std::string exampleLines(const std::string& name, std::size_t from, std::size_t count) {
    std::istringstream in(readFile(fs::path(EXAMPLES_DIR) / name));
    std::string text;
    std::size_t n = 0;
    for (std::string line; std::getline(in, line); ++n)
        if (n >= from && n < from + count) text += line + "\n";
    return text;
}

std::string withCrLf(const std::string& text) {
    std::string out;
    for (const char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
}

std::string withoutFinalLineEnd(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

const std::string kIrisHeader = "sepal length,sepal width,petal length,petal width,class\n";

std::vector<FolderCase> cases() {
    const std::string names = readFile(fs::path(EXAMPLES_DIR) / "iris.names");
    const auto iris = [](std::size_t from, std::size_t count) {
        return exampleLines("iris.data", from, count);
    };
    const auto cancer = [](std::size_t from, std::size_t count) {
        return exampleLines("breast-cancer.data", from, count);
    };
    return {
        {"three_shards_with_names",
         ".data",
         "",
         false,
         {iris(0, 50), iris(50, 50), iris(100, 50)},
         names},
        {"header_in_every_file",
         ".csv",
         kIrisHeader,
         true,
         {iris(0, 40), iris(40, 70), iris(110, 40)},
         ""},
        {"header_in_the_first_only",
         ".csv",
         kIrisHeader,
         false,
         {iris(0, 70), iris(70, 40), iris(110, 40)},
         ""},
        {"crlf_line_ends",
         ".csv",
         withCrLf(kIrisHeader),
         true,
         {withCrLf(iris(0, 75)), withCrLf(iris(75, 75))},
         ""},
        {"an_empty_file", ".data", "", false, {iris(0, 75), "", iris(75, 75)}, ""},
        {"a_value_first_seen_in_the_last_file",
         ".data",
         "",
         false,
         {cancer(0, 100), cancer(100, 100),
          cancer(200, 86) + "10-19,premeno,0-4,0-2,no,1,left,right_up,no,recurrence-events\n"},
         ""},
        {"files_without_a_final_line_end",
         ".tsv",
         "",
         false,
         {withoutFinalLineEnd(iris(0, 60)), withoutFinalLineEnd(iris(60, 90))},
         ""},
    };
}

// Returns `report` less what names its files and the time taken: the lines on the data file and
// the names file (and their continuation), the Time line and the Run lines.
std::string reportLessNames(const std::string& report) {
    std::istringstream in(report);
    std::string kept;
    bool dropping = false;
    for (std::string line; std::getline(in, line);) {
        const bool named = line.starts_with("Data file:") || line.starts_with("Names file:") ||
                           line.starts_with("Time:") || line.starts_with("Run:");
        if (named || (dropping && line.starts_with("  "))) {
            dropping = true;
            continue;
        }
        dropping = false;
        kept += line + "\n";
    }
    return kept;
}

// Returns a model file without the run it names.
std::string modelLessRun(const std::string& text) {
    nlohmann::json model = nlohmann::json::parse(text, nullptr, false);
    if (model.is_discarded()) return "unreadable: " + text;
    model.erase("run");
    return model.dump(1);
}

// Returns an SQL script less the comment lines that name the data file and the run.
std::string sqlLessNames(const std::string& text) {
    std::istringstream in(text);
    std::string kept;
    for (std::string line; std::getline(in, line);)
        if (line.find("Data file: ") == std::string::npos &&
            line.find("Run: ") == std::string::npos)
            kept += line + "\n";
    return kept;
}

class DataFolder : public ::testing::TestWithParam<FolderCase> {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("data_folder_" + std::to_string(getpid()) + "_" + GetParam().name);
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "folder" / "data");
        fs::create_directories(dir_ / "file");
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Writes the folder folder/data/ and the one file file/data (with its .names when the case
    // has one).
    void writeCase(const FolderCase& c) {
        std::string whole = c.header;
        for (std::size_t k = 0; k < c.bodies.size(); ++k) {
            const bool headed = !c.header.empty() && (k == 0 || c.headerInEvery);
            writeFile(dir_ / "folder" / "data" / ("part-" + std::to_string(k) + c.suffix),
                      (headed ? c.header : "") + c.bodies[k]);
            whole += c.bodies[k];
            if (!whole.empty() && whole.back() != '\n') whole += "\n";
        }
        writeFile(dir_ / "file" / ("data" + c.suffix), whole);
        if (!c.names.empty()) {
            writeFile(dir_ / "folder" / "data" / "schema.names", c.names);
            writeFile(dir_ / "file" / "data.names", c.names);
        }
    }

    fs::path dir_;
};

TEST_P(DataFolder, ReadsAsTheConcatenatedFile) {
    const FolderCase& c = GetParam();
    writeCase(c);
    struct Program {
        std::string path, suffix;
        bool sql;
    };
    for (const Program& p :
         {Program{TARNEL_PATH, "_interval", true}, Program{CLASSIFY_PATH, "_bayes", false}}) {
        SCOPED_TRACE(p.path);
        std::map<std::string, std::string> reports, models, sqls;
        for (const std::string where : {"folder", "file"}) {
            std::vector<std::string> args{"--time-limit", "0", "--save-model", "out.model"};
            if (p.sql) args.insert(args.end(), {"--sql", "out.sql", "--sql-table", "t"});
            args.insert(args.end(), {where == "folder" ? "data/" : "data", "60"});
            const auto r = run(p.path, args, dir_ / where);
            ASSERT_EQ(r.status, 0) << where << ": " << r.err;
            reports[where] =
                reportLessNames(readFile(dir_ / where / ("data" + p.suffix + ".output")));
            models[where] = modelLessRun(readFile(dir_ / where / "out.model"));
            if (p.sql) sqls[where] = sqlLessNames(readFile(dir_ / where / "out.sql"));
        }
        EXPECT_NE(reports["file"].find("Accuracy: "), std::string::npos) << reports["file"];
        EXPECT_EQ(reports["folder"], reports["file"]);
        EXPECT_EQ(models["folder"], models["file"]);
        EXPECT_EQ(sqls["folder"], sqls["file"]);
        const std::string report = readFile(dir_ / "folder" / ("data" + p.suffix + ".output"));
        EXPECT_NE(report.find("Data file:   data/ (" + std::to_string(c.bodies.size()) +
                              " files joined in name order"),
                  std::string::npos)
            << report;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, DataFolder, ::testing::ValuesIn(cases()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
