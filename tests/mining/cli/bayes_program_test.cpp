// classify's own option: the treatment of numeric attributes.
#include "cli/bayes_program.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "cli/command_line.h"
#include "cli/run_classifier.h"

namespace mining {
namespace {

namespace fs = std::filesystem;

TEST(BayesProgram, KernelIsAThirdModeThatExcludesTheOtherTwo) {
    BayesProgram program;
    ASSERT_EQ(parseCommandLine({"--kernel", "iris", "50"}, program).action,
              CommandLine::Action::Run);
    EXPECT_EQ(program.mode(), NumericMode::Kernel);
    ASSERT_EQ(parseCommandLine({"iris", "50"}, program).action, CommandLine::Action::Run);
    EXPECT_EQ(program.mode(), NumericMode::Normal);
    const std::vector<std::pair<std::vector<std::string>, std::string>> clashes = {
        {{"--kernel", "--normal", "iris", "50"}, "--normal excludes --kernel"},
        {{"--discretize", "iris", "50", "--kernel"}, "--discretize excludes --kernel"},
        {{"--kernel", "--normal", "--discretize", "iris", "50"}, "--normal excludes --discretize"},
    };
    for (const auto& [args, message] : clashes) {
        const CommandLine line = parseCommandLine(args, program);
        EXPECT_EQ(line.action, CommandLine::Action::UsageError) << message;
        EXPECT_EQ(line.text, message);
    }
}

// The whole run: exit status 2, the error as the report's first line, and no model trained.
TEST(BayesProgram, TwoModesTogetherEndTheRunWithStatusTwo) {
    const fs::path dir = fs::path(testing::TempDir()) / "bayes_program_test";
    fs::create_directories(dir);
    std::ofstream(dir / "tiny.data") << "1,a\n2,b\n";
    const std::string base = (dir / "tiny").string();
    std::vector<std::string> args{"classify", "--discretize", "--kernel", base, "50"};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    BayesProgram program;
    testing::internal::CaptureStderr();
    const int status = runClassifier(static_cast<int>(argv.size()), argv.data(), program);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(status, 2);
    std::ifstream report(dir / "tiny_bayes.output");
    std::stringstream text;
    text << report.rdbuf();
    EXPECT_EQ(text.str(), "Error: --discretize excludes --kernel\n");
    fs::remove_all(dir);
}

}  // namespace
}  // namespace mining
