// Runs the built tarnel program as the front end does and checks what it leaves behind.
#include <gtest/gtest.h>

#include <regex>

#include "program_run.h"

namespace {

namespace fs = std::filesystem;
using program_run::ProcessResult;

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
    EXPECT_NE(text.find("\npetalwidth < 0.8: Iris-setosa strong, 33 records -> Iris-setosa\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("\nClass Iris-setosa when\n      petalwidth < 0.8\n"), std::string::npos);
    EXPECT_TRUE(std::regex_search(
        text,
        std::regex("\nAccuracy: [0-9]+\\.[0-9]{2} % \\([0-9]+ of 50 test records correct\\)\n")))
        << text;
}

TEST_F(Tarnel, MissingAndNominalValuesRunThrough) {
    // vote: sixteen nominal attributes with many '?'.
    const ProcessResult r = tarnel({"--seed", "3", "vote", "50"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string text = report("vote");
    EXPECT_TRUE(std::regex_search(
        text, std::regex("\n[a-z-]+ = [ny]: (democrat|republican) (strong|weak), [0-9]+ records")))
        << text;
    EXPECT_NE(text.find("test records correct)"), std::string::npos);
}

TEST_F(Tarnel, OptionsChangeTheModelAndTheReportSaysWhich) {
    ASSERT_EQ(tarnel({"--bins", "5", "--binning", "count", "--max-depth", "4", "--prune", "0",
                      "iris", "66.67"})
                  .status,
              0);
    const std::string text = report("iris");
    EXPECT_NE(text.find("Initial intervals per numeric attribute: 5 of equal record count\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("Maximum depth L: 4\n"), std::string::npos);
    EXPECT_NE(text.find("Pruning: none\n"), std::string::npos);
}

TEST_F(Tarnel, BadOptionValuesAreUsageErrors) {
    const std::vector<std::vector<std::string>> bad = {
        {"--bins", "1"},        {"--bins", "x"},      {"--max-depth", "0"},
        {"--max-depth", "101"}, {"--binning", "odd"}, {"--prune", "1"},
        {"--prune", "-0.5"},    {"--min-split", "1"}, {"--bin-records", "-3"}};
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
                          "(default width)", "--prune CF", "(default 0.25;"}) {
        EXPECT_NE(help.out.find(s), std::string::npos) << s << "\n" << help.out;
    }
    std::istringstream lines(help.out);
    for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 80u) << line;
}

}  // namespace
