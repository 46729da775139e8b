// The files a run reads and writes: no output replaces an input or another output, only regular
// files are replaced, a run's files agree with each other, and a failed write leaves the old
// files or an error report with no new companions.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>
#include <nlohmann/json.hpp>
#include <regex>

#include "program_run.h"

namespace {

namespace fs = std::filesystem;
using program_run::firstLine;
using program_run::ProcessResult;
using program_run::readFile;

// Every file of a folder and its bytes.
std::map<std::string, std::string> snapshot(const fs::path& dir) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(dir))
        files[entry.path().filename().string()] =
            entry.is_regular_file() ? readFile(entry.path()) : "(not a regular file)";
    return files;
}

class RunFiles : public ::testing::Test {
protected:
    RunFiles() : folder_("run_files_test") {
        for (const char* name : {"iris.data", "iris.names", "iris.csv"})
            fs::copy_file(fs::path(EXAMPLES_DIR) / name, dir() / name);
    }
    const fs::path& dir() const { return folder_.path(); }
    ProcessResult run(const std::string& program, const std::vector<std::string>& args,
                      const program_run::RunLimits& limits = {}) const {
        return program_run::run(program, args, dir(), false, limits);
    }

private:
    program_run::TestFolder folder_;
};

// A run whose outputs would collide with its inputs or each other.
struct Collision {
    const char* program;
    std::vector<std::string> args;
    std::string message;  // stderr's first line after "NAME: Error: "
};

TEST_F(RunFiles, NoOutputReplacesAnInputOrAnotherOutputAndNothingIsTouched) {
    // Old outputs stand beside the data, so that a touched file would show.
    for (const char* name :
         {"iris_bayes.output", "iris_interval.output", "iris_bayes_predictions.csv",
          "iris_interval_predictions.csv", "old.model"})
        std::ofstream(dir() / name) << "old " << name << '\n';
    fs::create_symlink("iris.data", dir() / "link.model");
    fs::create_hard_link(dir() / "iris.names", dir() / "hard.sql");
    const std::vector<Collision> cases = {
        {CLASSIFY_PATH,
         {"--save-model", "iris.csv", "iris.csv", "66.67"},
         "will not write the saved model to iris.csv: it is the data file"},
        {CLASSIFY_PATH,
         {"--save-model", "iris.data", "iris", "66.67"},
         "will not write the saved model to iris.data: it is the data file"},
        {CLASSIFY_PATH,
         {"--save-model", "./iris.names", "iris", "66.67"},
         "will not write the saved model to ./iris.names: it is the names file"},
        {CLASSIFY_PATH,
         {"--save-model", "iris_bayes.output", "iris", "66.67"},
         "will not write the saved model to iris_bayes.output: the report goes there"},
        {CLASSIFY_PATH,
         {"--predictions", "--save-model", "iris_bayes_predictions.csv", "iris", "66.67"},
         "will not write the predictions file to iris_bayes_predictions.csv: the saved model goes "
         "there"},
        {CLASSIFY_PATH,
         {"--save-model", "link.model", "iris", "66.67"},
         "will not write the saved model to link.model: it is the data file"},
        {TARNEL_PATH,
         {"--sql", "hard.sql", "iris", "66.67"},
         "will not write the SQL script to hard.sql: it is the names file"},
        {TARNEL_PATH,
         {"--save-model", "x.out", "--sql", "x.out", "iris", "66.67"},
         "will not write the SQL script to x.out: the saved model goes there"},
        {TARNEL_PATH,
         {"--predictions", "--sql", "iris_interval_predictions.csv", "iris", "66.67"},
         "will not write the SQL script to iris_interval_predictions.csv: the predictions "
         "file goes there"},
        // A model applied to a file whose predictions would replace the model itself.
        {CLASSIFY_PATH,
         {"--apply", "iris_bayes_predictions.csv", "iris.csv"},
         "will not write the predictions file to iris_bayes_predictions.csv: it is the model file"},
        {CLASSIFY_PATH,
         {"--apply", "iris_bayes_applied.output", "iris.csv"},
         "will not write the report to iris_bayes_applied.output: it is the model file"},
        {TARNEL_PATH,
         {"--apply", "old.model", "new.csv"},
         "will not write the predictions file to new_interval_predictions.csv: it is the model "
         "file"},
    };
    std::ofstream(dir() / "iris_bayes_applied.output") << "a report, not a model\n";
    fs::copy_file(dir() / "iris.csv", dir() / "new.csv");
    fs::create_symlink("old.model", dir() / "new_interval_predictions.csv");
    const auto before = snapshot(dir());
    for (const Collision& c : cases) {
        const ProcessResult r = run(c.program, c.args);
        const std::string name = fs::path(c.program).filename().string();
        EXPECT_EQ(r.status, 2) << c.message;
        EXPECT_EQ(firstLine(r.err), name + ": Error: " + c.message);
        EXPECT_EQ(snapshot(dir()), before) << c.message;
    }
}

TEST_F(RunFiles, OnlyRegularFilesAreReplaced) {
    ASSERT_EQ(mkfifo((dir() / "pipe.sql").c_str(), 0644), 0);
    const std::vector<Collision> cases = {
        {CLASSIFY_PATH,
         {"--save-model", "/dev/null", "iris", "66.67"},
         "will not write the saved model to /dev/null: it is a device, not a regular file"},
        {TARNEL_PATH,
         {"--sql", "/dev/null", "iris", "66.67"},
         "will not write the SQL script to /dev/null: it is a device, not a regular file"},
        {TARNEL_PATH,
         {"--sql", "pipe.sql", "iris", "66.67"},
         "will not write the SQL script to pipe.sql: it is a FIFO (named pipe), not a regular "
         "file"},
        {TARNEL_PATH,
         {"--save-model", ".", "iris", "66.67"},
         "will not write the saved model to .: it is a folder, not a regular file"},
    };
    for (const Collision& c : cases) {
        const ProcessResult r = run(c.program, c.args);
        EXPECT_EQ(r.status, 2) << c.message;
        EXPECT_EQ(firstLine(r.err),
                  fs::path(c.program).filename().string() + ": Error: " + c.message);
    }
    struct stat info {};
    ASSERT_EQ(stat("/dev/null", &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));
    EXPECT_TRUE(fs::is_fifo(dir() / "pipe.sql"));
}

// Returns the run identifier the report names on its "Run:" line, and the companions it lists
// with their digests ("" for one that names the run itself).
std::string reportedRun(const std::string& report, std::map<std::string, std::string>& listed) {
    const std::regex runLine("\nRun:  ([0-9a-f]{16})(; also wrote)?\n");
    std::smatch m;
    if (!std::regex_search(report, m, runLine)) return "";
    std::istringstream rest(report.substr(static_cast<std::size_t>(m.position(0) + m.length(0))));
    const std::regex companion("  (\\S+)( \\(FNV-1a digest ([0-9a-f]{16})\\))?");
    for (std::string line; std::getline(rest, line);) {
        std::smatch c;
        if (std::regex_match(line, c, companion)) listed[c[1]] = c[3];
    }
    return m[1];
}

TEST_F(RunFiles, EveryFileOfARunNamesTheRunAndTheReportListsThem) {
    const ProcessResult r = run(TARNEL_PATH, {"--predictions", "--save-model", "iris.model",
                                              "--sql", "iris.sql", "iris", "66.67"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::map<std::string, std::string> listed;
    const std::string id = reportedRun(readFile(dir() / "iris_interval.output"), listed);
    ASSERT_EQ(id.size(), 16u);
    ASSERT_EQ(listed.size(), 3u);
    EXPECT_EQ(nlohmann::json::parse(readFile(dir() / "iris.model"))["run"], id);
    EXPECT_NE(readFile(dir() / "iris.sql").find("-- Run: " + id + "\n"), std::string::npos);
    EXPECT_EQ(listed["iris.model"], "");
    EXPECT_EQ(listed["iris.sql"], "");
    // The predictions table stays a plain table: the report gives its digest instead.
    const std::string predictions = readFile(dir() / "iris_interval_predictions.csv");
    EXPECT_EQ(predictions.rfind("line,actual,predicted,", 0), 0u);
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (const char c : predictions) h = (h ^ static_cast<unsigned char>(c)) * 0x100000001b3ull;
    char digest[17];
    std::snprintf(digest, sizeof digest, "%016llx", static_cast<unsigned long long>(h));
    EXPECT_EQ(listed["iris_interval_predictions.csv"], digest);
    // A second run gets another identifier.
    ASSERT_EQ(run(TARNEL_PATH, {"iris", "66.67"}).status, 0);
    std::map<std::string, std::string> none;
    const std::string second = reportedRun(readFile(dir() / "iris_interval.output"), none);
    EXPECT_EQ(second.size(), 16u);
    EXPECT_NE(second, id);
    EXPECT_TRUE(none.empty());
}

TEST_F(RunFiles, AFailedCompanionWriteLeavesTheOldFilesAndAnErrorReport) {
    // The old files of an earlier run, private to their owner.
    ASSERT_EQ(run(CLASSIFY_PATH,
                  {"--no-auto", "--save-model", "iris.model", "--predictions", "iris", "66.67"})
                  .status,
              0);
    fs::permissions(dir() / "iris.model", fs::perms::owner_read | fs::perms::owner_write);
    const std::string oldModel = readFile(dir() / "iris.model");
    const std::string oldPredictions = readFile(dir() / "iris_bayes_predictions.csv");
    // The predictions of a cross-validation (every record, about 14 KB) outgrow what the run
    // may write; the model (about 4 KB) and the report do not.
    ASSERT_LT(oldModel.size(), 6000u);
    program_run::RunLimits limitedWrites;
    limitedWrites.fileBytes = 8000;
    const ProcessResult r = run(CLASSIFY_PATH,
                                {"--no-auto", "--folds", "5", "--save-model", "iris.model",
                                 "--predictions", "iris", "66.67"},
                                limitedWrites);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(firstLine(r.err),
              "classify: Error: cannot write iris_bayes_predictions.csv: File too large");
    EXPECT_EQ(firstLine(readFile(dir() / "iris_bayes.output")),
              "Error: cannot write iris_bayes_predictions.csv: File too large");
    EXPECT_EQ(readFile(dir() / "iris.model"), oldModel);
    EXPECT_EQ(readFile(dir() / "iris_bayes_predictions.csv"), oldPredictions);
    for (const auto& entry : fs::directory_iterator(dir()))
        EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos)
            << entry.path();
    // A whole new run replaces them, and the replaced model keeps its permissions.
    ASSERT_EQ(
        run(CLASSIFY_PATH, {"--save-model", "iris.model", "--seed", "2", "iris", "66.67"}).status,
        0);
    EXPECT_NE(readFile(dir() / "iris.model"), oldModel);
    EXPECT_EQ(fs::status(dir() / "iris.model").permissions(),
              fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(RunFiles, ManyClassesAreReportedInBriefAndAnIdentifierClassIsRefusedInLittleMemory) {
    // 3,000 records of 60 classes: the report shows the 30 largest classes and confusions.
    std::ostringstream many;
    many << "a,b,cls\n";
    for (int i = 0; i < 3000; ++i) many << i % 61 << ',' << i % 7 << ",k" << i % 60 << '\n';
    std::ofstream(dir() / "many.csv") << many.str();
    ASSERT_EQ(run(CLASSIFY_PATH, {"many.csv", "66.67"}).status, 0);
    const std::string report = readFile(dir() / "many_bayes.output");
    EXPECT_NE(report.find("  (the 30 classes of 60 with the most records; the other 30 hold "),
              std::string::npos)
        << report;
    EXPECT_NE(report.find("\nLargest confusions (60 classes: too many for a whole matrix):\n"),
              std::string::npos);
    EXPECT_EQ(report.find("Confusion matrix"), std::string::npos);
    std::istringstream lines(report.substr(report.find("=== Evaluation")));
    std::size_t count = 0;
    for (std::string line; std::getline(lines, line);) ++count;
    EXPECT_LT(count, 80u);
    // 50,000 distinct class values: an error naming the column, quickly and in little memory.
    std::ostringstream ids;
    ids << "a,b,id\n";
    for (int i = 0; i < 50000; ++i) ids << i % 9 << ',' << i % 5 << ",r" << i << '\n';
    std::ofstream(dir() / "ids.csv") << ids.str();
    for (const char* program : {CLASSIFY_PATH, TARNEL_PATH}) {
        const ProcessResult r = run(program, {"ids.csv", "66.67"});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(firstLine(r.err), fs::path(program).filename().string() +
                                        ": Error: the class column \"id\" holds 50000 different "
                                        "values, more than the 1000 classes a run learns; choose "
                                        "the class with --class NAME or --class NUMBER");
        EXPECT_LT(r.peakKilobytes, 500 * 1024);
    }
    // A smaller file whose class names every record is refused too.
    std::ostringstream few;
    few << "a,id\n";
    for (int i = 0; i < 40; ++i) few << i % 3 << ",r" << i << '\n';
    std::ofstream(dir() / "few.csv") << few.str();
    const ProcessResult r = run(CLASSIFY_PATH, {"few.csv", "66.67"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(firstLine(readFile(dir() / "few_bayes.output")),
              "Error: the class column \"id\" holds a different value in every one of its 40 "
              "records, as an identifier does; choose the class with --class NAME or --class "
              "NUMBER");
}

}  // namespace
