// Runs the built tarnel program as the front end does and checks what it leaves behind.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

namespace {

namespace fs = std::filesystem;

struct TarnelRun {
    int status = -1;
    std::string out;
    std::string err;
};

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
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
    TarnelRun tarnel(const std::vector<std::string>& args) {
        const fs::path outPath = dir_ / "stdout.txt";
        const fs::path errPath = dir_ / "stderr.txt";
        const pid_t pid = fork();
        if (pid == 0) {
            const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(out, 1);
            dup2(err, 2);
            if (chdir(dir_.c_str()) != 0) _exit(126);
            std::vector<char*> argv{const_cast<char*>(TARNEL_PATH)};
            for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(TARNEL_PATH, argv.data());
            _exit(127);
        }
        TarnelRun r;
        int status = 0;
        waitpid(pid, &status, 0);
        r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.out = slurp(outPath);
        r.err = slurp(errPath);
        fs::remove(outPath);
        fs::remove(errPath);
        return r;
    }
    std::string report(const std::string& base) {
        return slurp(dir_ / (base + "_interval.output"));
    }

    fs::path dir_;
};

TEST_F(Tarnel, IrisReportHasTheTreeTheRulesAndTheEvaluation) {
    const TarnelRun r = tarnel({"iris", "66.67"});
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
    const TarnelRun r = tarnel({"--seed", "3", "vote", "50"});
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
        const TarnelRun r = tarnel(args);
        EXPECT_EQ(r.status, 2) << option;
        const std::string text = report("iris");
        EXPECT_EQ(text.rfind("Error: " + option + " needs", 0), 0u) << text;
        EXPECT_NE(r.err.find("Error: " + option), std::string::npos) << r.err;
    }
}

TEST_F(Tarnel, ErrorsBehaveAsInTheSharedRun) {
    const TarnelRun missing = tarnel({"nothing", "50"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(report("nothing"), "Error: cannot read nothing.data: No such file or directory\n");
    std::ofstream(dir_ / "bad.data") << "1,a\n2\n";
    const TarnelRun bad = tarnel({"bad", "50"});
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(report("bad").find("line 2"), std::string::npos);
}

TEST_F(Tarnel, HelpNamesTheDefaults) {
    const TarnelRun help = tarnel({"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* s : {"--bins N", "(default 20)", "--max-depth L", "(default 10)",
                          "(default width)", "--prune CF", "(default 0.25;"}) {
        EXPECT_NE(help.out.find(s), std::string::npos) << s << "\n" << help.out;
    }
    std::istringstream lines(help.out);
    for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 80u) << line;
}

}  // namespace
