// Runs the built tarnel program as the front end does and checks what it leaves behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "program_run.h"

namespace {

namespace fs = std::filesystem;
using program_run::ProcessResult;

// Returns the lines of `text` that start with `prefix`.
std::vector<std::string> linesStarting(const std::string& text, const std::string& prefix) {
    std::vector<std::string> found;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (line.rfind(prefix, 0) == 0) found.push_back(line);
    return found;
}

// True when `line` reads "Accuracy: P % (N of TOTAL test records correct)" with P = 100 N / TOTAL
// shown with two decimals.
bool isAccuracyLine(const std::string& line, int total) {
    int correct = -1;
    double percent = -1;
    if (std::sscanf(line.c_str(), "Accuracy: %lf %% (%d of", &percent, &correct) != 2) return false;
    char expected[128];
    std::snprintf(expected, sizeof expected, "Accuracy: %.2f %% (%d of %d test records correct)",
                  100.0 * correct / total, correct, total);
    return line == expected;
}

class Tarnel : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("tarnel_test_" + std::to_string(getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        for (const char* base : {"iris", "vote"}) {
            for (const char* ext : {".data", ".names"}) {
                fs::copy_file(fs::path(EXAMPLES_DIR) / (std::string(base) + ext),
                              dir_ / (std::string(base) + ext));
            }
        }
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Runs tarnel with `args` (no shell) in the test's folder.
    ProcessResult tarnel(const std::vector<std::string>& args) {
        return program_run::run(TARNEL_PATH, args, dir_);
    }
    std::string report(const std::string& base) {
        return program_run::readFile(dir_ / (base + "_interval.output"));
    }

    fs::path dir_;
};

TEST_F(Tarnel, IrisReportHasTheTreeTheRulesAndTheEvaluation) {
    const ProcessResult r = tarnel({"iris", "66.67"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const std::string text = report("iris");
    EXPECT_EQ(text.substr(0, text.find('\n')), "tarnel 1.00: interval classifier");
    EXPECT_NE(text.find("\nTree: "), std::string::npos) << text;
    EXPECT_NE(
        text.find("\npetallength < 2.45: 34 records (Iris-setosa 34), strong -> Iris-setosa\n"),
        std::string::npos)
        << text;
    EXPECT_NE(
        text.find(
            "\nClass Iris-setosa when\n      petallength < 2.45 [34 records, 100.0 % right]\n"),
        std::string::npos)
        << text;
    const std::vector<std::string> accuracy = linesStarting(text, "Accuracy: ");
    ASSERT_EQ(accuracy.size(), 1u) << text;
    EXPECT_TRUE(isAccuracyLine(accuracy[0], 50)) << accuracy[0];
}

TEST_F(Tarnel, ATreeLineShowsItsRecordsClassesAndWhichClassDecides) {
    // On all of iris, the interval 0.55 <= petal width < 0.8 holds one setosa, but its
    // smoothed interval class is versicolor: the line must show both, and the leaf answers with
    // the class its records hold.
    ASSERT_EQ(tarnel({"iris", "100"}).status, 0);
    const std::string text = report("iris");
    EXPECT_NE(
        text.find("0.55 <= petalwidth < 0.8:\n"
                  "      1 record (Iris-setosa 1), weak for Iris-versicolor -> Iris-setosa\n"),
        std::string::npos)
        << text;
}

TEST_F(Tarnel, MissingAndNominalValuesRunThrough) {
    // vote: sixteen nominal attributes with many '?'.
    const ProcessResult r = tarnel({"--seed", "3", "vote", "50"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string text = report("vote");
    // Some branch on a yes/no vote reads "NAME = y: N records (CLASS n, ...), strong|weak".
    bool branch = false;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t eq = line.find(" = ");
        if (eq == std::string::npos || eq == 0 || line.size() < eq + 6) continue;
        const std::string value = line.substr(eq + 3, 3);
        if (value != "y: " && value != "n: ") continue;
        const std::string rest = line.substr(eq + 6);
        const bool counts = rest.find(" records (democrat ") != std::string::npos ||
                            rest.find(" records (republican ") != std::string::npos;
        const bool strength = rest.find("), strong") != std::string::npos ||
                              rest.find("), weak") != std::string::npos;
        if (counts && strength) branch = true;
    }
    EXPECT_TRUE(branch) << text;
    EXPECT_NE(text.find("test records correct)"), std::string::npos);
}

TEST_F(Tarnel, OptionsChangeTheModelAndTheReportSaysWhich) {
    ASSERT_EQ(tarnel({"--bins", "5", "--binning", "count", "--max-depth", "4", "--prune", "0",
                      "--max-branches", "2", "iris", "66.67"})
                  .status,
              0);
    const std::string text = report("iris");
    EXPECT_NE(text.find("Initial intervals per numeric attribute: 5 of equal record count\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("Maximum depth L: 4\n"), std::string::npos);
    EXPECT_NE(text.find("Pruning: none\n"), std::string::npos);
    EXPECT_NE(text.find("Branches of a numeric split: at most 2\n"), std::string::npos) << text;
    ASSERT_EQ(tarnel({"--max-branches", "off", "--no-auto", "iris", "66.67"}).status, 0);
    EXPECT_EQ(report("iris").find("Branches of a numeric split"), std::string::npos);
}

TEST_F(Tarnel, BadOptionValuesAreUsageErrors) {
    const std::vector<std::vector<std::string>> bad = {{"--bins", "1"},
                                                       {"--bins", "x"},
                                                       {"--max-depth", "0"},
                                                       {"--max-depth", "101"},
                                                       {"--binning", "odd"},
                                                       {"--prune", "1"},
                                                       {"--prune", "-0.5"},
                                                       {"--min-split", "1"},
                                                       {"--bin-records", "-3"},
                                                       {"--max-branches", "1"},
                                                       {"--max-branches", "1001"},
                                                       {"--max-branches", "two"}};
    for (auto args : bad) {
        const std::string option = args[0];
        args.push_back("iris");
        args.push_back("50");
        const ProcessResult r = tarnel(args);
        EXPECT_EQ(r.status, 2) << option;
        const std::string text = report("iris");
        EXPECT_EQ(text.rfind("Error: " + option + " needs", 0), 0u) << text;
        EXPECT_NE(r.err.find("Error: " + option), std::string::npos) << r.err;
    }
}

TEST_F(Tarnel, ErrorsBehaveAsInTheSharedRun) {
    const ProcessResult missing = tarnel({"nothing", "50"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(report("nothing"), "Error: cannot read nothing.data: No such file or directory\n");
    std::ofstream(dir_ / "bad.data") << "1,a\n2\n";
    const ProcessResult bad = tarnel({"bad", "50"});
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(report("bad").find("line 2"), std::string::npos);
}

TEST_F(Tarnel, HelpNamesTheDefaults) {
    const ProcessResult help = tarnel({"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* s : {"--bins N", "(default 20)", "--max-depth L", "(default 10)",
                          "(default width)", "--prune CF", "(default 0.25;", "--max-branches B"}) {
        EXPECT_NE(help.out.find(s), std::string::npos) << s << "\n" << help.out;
    }
    std::istringstream lines(help.out);
    for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 80u) << line;
}

}  // namespace

namespace {

TEST_F(Tarnel, ATimeLimitStopsTheTreesGrowthTheSameWayEveryTimeAndSaysSoFirst) {
    // 20,000 records whose class needs a wide, deep tree; 160 KB, which the whole run reads
    // within 0.002 s by the program's measured costs, but whose tree needs more work than that
    // limit's share (about 79,000 units) allows.
    std::string data;
    for (int i = 0; i < 20000; ++i) {
        const int a = i % 97;
        const int b = (i / 97) % 13;
        data += std::to_string(a) + "," + std::to_string(b) + ",c" +
                std::to_string((a * 7 + b * 3) % 5) + "\n";
    }
    std::ofstream(dir_ / "deep.data", std::ios::binary) << data;
    auto reportOf = [&](const std::vector<std::string>& args) {
        EXPECT_EQ(tarnel(args).status, 0);
        std::string text = report("deep");
        return text.substr(0, text.find("\nTime: "));
    };
    // Without self-tuning, whose sample would shrink to nothing within such a limit.
    const std::string cut = reportOf({"--no-auto", "--time-limit", "0.002", "deep", "66.67"});
    EXPECT_EQ(program_run::afterResult(cut).substr(0, 40),
              "Note: Growth stopped at the work limit a");
    EXPECT_NE(program_run::unwrapped(cut).find("--time-limit 0 lifts the time limit"),
              std::string::npos);
    EXPECT_NE(cut.find("Records:     20000 read"), std::string::npos);  // read whole, not sampled
    EXPECT_EQ(reportOf({"--no-auto", "--time-limit", "0.002", "deep", "66.67"}), cut);
    const std::string whole = reportOf({"--no-auto", "--time-limit", "0", "deep", "66.67"});
    EXPECT_EQ(whole.find("time limit"), std::string::npos);
    EXPECT_EQ(linesStarting(whole, "Tree: "),
              std::vector<std::string>{"Tree: 1124 nodes, 877 leaves, depth 4"});
    EXPECT_NE(linesStarting(cut, "Tree: "), linesStarting(whole, "Tree: "));
}

// Returns `text` up to its "Time: " line: the time and the run's lines below it differ between
// two runs.
std::string untimed(const std::string& text) { return text.substr(0, text.find("\nTime: ")); }

TEST_F(Tarnel, SqlWritesTheScriptBesideAnUnchangedReportThatNamesIt) {
    ASSERT_EQ(tarnel({"vote", "66.67"}).status, 0);
    const std::string plain = report("vote");
    const ProcessResult r = tarnel({"--sql", "rules.sql", "vote", "66.67"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string script = program_run::readFile(dir_ / "rules.sql");
    EXPECT_EQ(script.rfind("-- tarnel 1.00: interval classifier; the rules as SQL\n", 0), 0u)
        << script;
    EXPECT_NE(script.find("\nCREATE TABLE \"vote\" (\n"), std::string::npos) << script;
    EXPECT_NE(script.find("\n    \"class\" TEXT\n);\n"), std::string::npos) << script;
    for (const char* cls : {"democrat", "republican"})
        EXPECT_NE(script.find("\n-- Class '" + std::string(cls) + "': "), std::string::npos)
            << script;
    EXPECT_NE(script.find("AS \"predicted\"\nFROM \"vote\";\n"), std::string::npos) << script;
    // The report gains one sentence naming the file, and nothing else changes.
    std::string named = report("vote");
    const std::string sentence =
        "The same rules as SQL, exact also where a value is missing or was not seen in\n"
        "    training: rules.sql\n";
    const std::size_t at = named.find(sentence);
    ASSERT_NE(at, std::string::npos) << named;
    EXPECT_EQ(untimed(named.erase(at, sentence.size())), untimed(plain));
    // Written atomically: no temporary file is left behind.
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(dir_))
        files.push_back(entry.path().filename().string());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"iris.data", "iris.names", "rules.sql", "vote.data",
                                               "vote.names", "vote_interval.output"}));

    ASSERT_EQ(tarnel({"--sql", "t.sql", "--sql-table", "my \"table\"", "iris", "66.67"}).status, 0);
    EXPECT_NE(program_run::readFile(dir_ / "t.sql").find("CREATE TABLE \"my \"\"table\"\"\" ("),
              std::string::npos);
}

TEST_F(Tarnel, SqlNeverReplacesTheDataAndFailsWhereItCannotWrite) {
    const std::string data = program_run::readFile(dir_ / "iris.data");
    for (const auto& [target, role] : std::vector<std::pair<std::string, std::string>>{
             {"iris.data", "it is the data file"},
             {"./iris.names", "it is the names file"},
             {"iris_interval.output", "the report goes there"}}) {
        const ProcessResult r = tarnel({"--sql", target, "iris", "66.67"});
        EXPECT_EQ(r.status, 2) << target;
        EXPECT_EQ(program_run::firstLine(r.err),
                  "tarnel: Error: will not write the SQL script to " + target + ": " + role);
    }
    EXPECT_EQ(program_run::readFile(dir_ / "iris.data"), data);
    EXPECT_FALSE(fs::exists(dir_ / "iris_interval.output"));  // a usage error touches nothing
    EXPECT_EQ(tarnel({"--sql-table", "t", "iris", "66.67"}).status, 2);
    const ProcessResult r = tarnel({"--sql", "no/such/folder/rules.sql", "iris", "66.67"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(program_run::firstLine(report("iris")),
              "Error: cannot write no/such/folder/rules.sql: No such file or directory");
}

}  // namespace
