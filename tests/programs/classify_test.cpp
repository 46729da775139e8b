// Runs the built classify program as the front end does and checks what it leaves behind.
#include <gtest/gtest.h>

#include <sstream>

#include "program_run.h"

namespace {

namespace fs = std::filesystem;
using program_run::firstLine;
using program_run::ProcessResult;
using program_run::readFile;
using program_run::run;

class Classify : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("classify_test_" + std::to_string(getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        for (const char* ext : {".data", ".names"})
            fs::copy_file(fs::path(EXAMPLES_DIR) / (std::string("iris") + ext),
                          dir_ / (std::string("iris") + ext));
    }
    void TearDown() override { fs::remove_all(dir_); }
    void write(const std::string& name, const std::string& content) {
        std::ofstream(dir_ / name, std::ios::binary) << content;
    }
    ProcessResult classify(const std::vector<std::string>& args) {
        return run(CLASSIFY_PATH, args, dir_);
    }
    std::string report(const std::string& base) {
        return readFile(dir_ / (base + "_bayes.output"));
    }

    fs::path dir_;
};

TEST_F(Classify, IrisWritesTheReportWithItsKeyLines) {
    const ProcessResult r = classify({"iris", "66.67"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const std::string text = report("iris");
    EXPECT_EQ(firstLine(text), "classify 1.00: naive Bayesian classifier");
    EXPECT_NE(text.find("Data file:   iris.data\nNames file:  iris.names\n"), std::string::npos);
    EXPECT_NE(text.find("  numeric (4): sepallength, sepalwidth, petallength, petalwidth\n"),
              std::string::npos);
    EXPECT_NE(text.find("Class values (3): Iris-setosa, Iris-versicolor, Iris-virginica\n"),
              std::string::npos);
    EXPECT_NE(text.find("Records:     150 read, 0 left out (class missing), 150 used\n"),
              std::string::npos);
    EXPECT_NE(text.find("Split:       66.67 % train: 100 training, 50 test records; shuffled "
                        "with seed 1\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("\nAccuracy: 98.00 % (49 of 50 test records correct)\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find("\nTime: "), std::string::npos);
    // No temporary file is left beside the report.
    for (const auto& e : fs::directory_iterator(dir_))
        EXPECT_EQ(e.path().string().find(".tmp"), std::string::npos) << e.path();
}

TEST_F(Classify, TheSameSeedGivesTheSameReportAndKeepOrderIsHonoured) {
    ASSERT_EQ(classify({"iris", "50"}).status, 0);
    std::string first = report("iris");
    ASSERT_EQ(classify({"--seed", "1", "iris", "50"}).status, 0);
    std::string second = report("iris");
    first.erase(first.find("\nTime: "));
    second.erase(second.find("\nTime: "));
    EXPECT_EQ(first, second);
    // In file order (50 of each species, in turn) the test half is the last 25 versicolor and
    // all 50 virginica, and no setosa.
    ASSERT_EQ(classify({"--keep-order", "iris", "50"}).status, 0);
    const std::string kept = report("iris");
    EXPECT_NE(kept.find("in file order (--keep-order)"), std::string::npos);
    // The data lines keep to 80 columns, the longer split line too; the result is one line,
    // however long.
    std::istringstream header(kept.substr(0, kept.find("=== Model ===")));
    for (std::string line; std::getline(header, line);)
        if (line.rfind("Result: ", 0) != 0) {
            EXPECT_LE(line.size(), 80u) << line;
        }
    EXPECT_NE(kept.find("  Iris-setosa              -       -       -        0\n"),
              std::string::npos)
        << kept;
    EXPECT_NE(kept.find("  Iris-setosa                    50  0.6538\n"), std::string::npos);
}

TEST_F(Classify, ATimeLimitTooShortForTheFileReadsTheSameSampleEveryTimeAndSaysSoFirst) {
    // 20,000 records, about 300 KB: far more than 0.0001 s allows, so a sample is read.
    std::string data;
    for (int i = 0; i < 20000; ++i)
        data += std::to_string(i % 97) + "," + std::to_string(i % 13) + "," +
                (i % 97 < 40 ? "low" : "high") + "\n";
    write("big.data", data);
    auto reportOf = [&](const std::vector<std::string>& args) {
        EXPECT_EQ(classify(args).status, 0);
        std::string text = report("big");
        return text.substr(0, text.find("\nTime: "));
    };
    const std::string sampled = reportOf({"--time-limit", "0.0001", "big", "66.67"});
    // The result comes first, then the notes: what was left out and how to lift the limit.
    EXPECT_EQ(sampled.substr(sampled.find('\n') + 1, 8), "Result: ");
    EXPECT_EQ(program_run::afterResult(sampled).substr(0, 55),
              "Note: to keep within the time limit, a seeded sample of")
        << sampled;
    EXPECT_NE(sampled.find(" of about 2"), std::string::npos) << sampled;
    EXPECT_NE(program_run::unwrapped(sampled).find("--time-limit 0 lifts the time limit"),
              std::string::npos);
    EXPECT_EQ(sampled.find("Records:     20000 read"), std::string::npos);
    // Decided from the file's size, not the clock: the same records every time.
    EXPECT_EQ(reportOf({"--time-limit", "0.0001", "big", "66.67"}), sampled);
    // With no limit, or the default one, the whole file is read and nothing is noted.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--time-limit=0", "big", "66.67"},
          std::vector<std::string>{"big", "66.67"}}) {
        const std::string whole = reportOf(args);
        EXPECT_NE(whole.find("Records:     20000 read"), std::string::npos);
        EXPECT_EQ(whole.find("time limit"), std::string::npos) << whole;
    }
}

TEST_F(Classify, AllRecordsTrainingSaysSoFirst) {
    ASSERT_EQ(classify({"iris", "100"}).status, 0);
    const std::string text = report("iris");
    EXPECT_EQ(text.substr(text.find('\n') + 1, 8), "Result: ");
    EXPECT_NE(text.find("correct on 150 training records"), std::string::npos);
    EXPECT_EQ(program_run::afterResult(text).substr(0, 5), "Note:");
    EXPECT_NE(text.find("the training records"), std::string::npos);
    EXPECT_NE(text.find("of 150 training records correct)"), std::string::npos);
}

TEST_F(Classify, AMissingFileIsAnErrorReport) {
    const ProcessResult r = classify({"nothing", "50"});
    EXPECT_EQ(r.status, 1);
    const std::string expected = "Error: cannot read nothing.data: No such file or directory";
    EXPECT_EQ(report("nothing"), expected + "\n");
    EXPECT_EQ(r.err, "classify: " + expected + "\n");
}

TEST_F(Classify, ABadLineIsAnErrorNamingIt) {
    write("bad.data", "1,2,a\n3,4,b\n5,b\n");
    const ProcessResult r = classify({"bad", "50"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(report("bad"), "Error: bad.data, line 3: found 2 fields, expected 3\n");
    EXPECT_NE(r.err.find("line 3"), std::string::npos);
}

TEST_F(Classify, ABadPercentageIsAUsageError) {
    for (const char* percent : {"abc", "150", "-1", ""}) {
        const ProcessResult r = classify({"iris", percent});
        EXPECT_EQ(r.status, 2) << percent;
        EXPECT_EQ(firstLine(report("iris")).rfind("Error: the percentage", 0), 0u) << percent;
        EXPECT_NE(r.err.find("Error: the percentage"), std::string::npos);
    }
}

TEST_F(Classify, ASplitWithoutTrainingRecordsIsAnError) {
    const ProcessResult r = classify({"iris", "0.1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(report("iris"),
              "Error: the split leaves no training records (0.1 % of 150 records)\n");
}

TEST_F(Classify, UsageErrorsWithoutABaseWriteNoReport) {
    const ProcessResult none = classify({});
    EXPECT_EQ(none.status, 2);
    EXPECT_NE(none.err.find("Usage: classify [options] BASE PERCENT"), std::string::npos);
    const ProcessResult unknown = classify({"--fast", "iris", "50"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_EQ(report("iris"), "Error: unknown option --fast\n");
    for (const char* other : {"--discretize", "--per-attribute"}) {
        const ProcessResult both = classify({"--normal", other, "iris", "50"});
        EXPECT_EQ(both.status, 2) << other;
    }
    EXPECT_EQ(classify({"--per-attribute", "--kernel", "iris", "50"}).status, 2);
    EXPECT_EQ(classify({"--auto", "--no-auto", "iris", "50"}).status, 2);
}

TEST_F(Classify, HelpAndVersion) {
    const ProcessResult help = classify({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--discretize"), std::string::npos);
    EXPECT_NE(help.out.find("--per-attribute"), std::string::npos);
    EXPECT_NE(help.out.find("default with --no-auto)"), std::string::npos);
    const ProcessResult version = classify({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "classify 1.00\n");
}

TEST_F(Classify, AReportThatCannotBeWrittenGoesToStderrOnly) {
    fs::create_directory(dir_ / "iris_bayes.output");  // a folder is in the way
    const ProcessResult r = classify({"iris", "50"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(program_run::firstLine(r.err),
              "classify: Error: will not write the report to iris_bayes.output: it is a folder, "
              "not a regular file");
    EXPECT_TRUE(fs::is_directory(dir_ / "iris_bayes.output"));
    fs::remove(dir_ / "iris_bayes.output");
    fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);  // nothing can be made
    const ProcessResult readOnly = classify({"iris", "50"});
    fs::permissions(dir_, fs::perms::owner_all);
    if (geteuid() != 0) {  // root writes where it likes
        EXPECT_EQ(readOnly.status, 1);
        EXPECT_NE(readOnly.err.find("cannot write iris_bayes.output"), std::string::npos);
    }
}

TEST_F(Classify, DiscretizeRunsAndSaysSo) {
    const ProcessResult r = classify({"--discretize", "iris", "66.67"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(report("iris").find("MDL-discretized"), std::string::npos);
}

}  // namespace
