// Cross-validation through the programs: every record tested once, by a model that never saw it.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <tuple>

#include "program_run.h"

namespace {

namespace fs = std::filesystem;
using program_run::readFile;
using program_run::run;

class CrossValidation : public ::testing::Test {
protected:
    void write(const std::string& name, const std::string& content) {
        folder_.write(name, content);
    }

    program_run::TestFolder folder_{"cross_validation_test"};
    const fs::path& dir_ = folder_.path();
};

// Returns the sum of the confusion matrix's counts in `report`.
long matrixSum(const std::string& report) {
    std::stringstream in(report.substr(report.find("Confusion matrix")));
    std::string line;
    std::getline(in, line);
    std::getline(in, line);  // the column heads
    long sum = 0;
    while (std::getline(in, line) && !line.empty()) {
        std::stringstream words(line);
        std::vector<std::string> w;
        for (std::string word; words >> word;) w.push_back(word);
        for (auto it = w.rbegin(); it != w.rend(); ++it) {
            if (it->find_first_not_of("0123456789") != std::string::npos) break;
            sum += std::stol(*it);
        }
    }
    return sum;
}

// Returns the percentage of the report's Accuracy line.
double accuracy(const std::string& report) {
    std::smatch m;
    const std::regex line("Accuracy: ([0-9.]+) %");
    return std::regex_search(report, m, line) ? std::stod(m[1]) : -1;
}

TEST(CrossValidationLine, TheMatrixSumsToTheRecordsAndPercentMayBeLeftOut) {
    const fs::path dir = fs::temp_directory_path() / ("cv_iris_" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    for (const char* ext : {".data", ".names"})
        fs::copy_file(fs::path(EXAMPLES_DIR) / (std::string("iris") + ext),
                      dir / (std::string("iris") + ext));
    for (const auto& [program, suffix] : std::vector<std::pair<std::string, std::string>>{
             {CLASSIFY_PATH, "_bayes.output"}, {TARNEL_PATH, "_interval.output"}}) {
        SCOPED_TRACE(program);
        // A limit far off, so that a busy machine's clock cuts neither run.
        ASSERT_EQ(run(program, {"--time-limit", "60", "--folds", "10", "iris"}, dir).status, 0);
        const std::string report = readFile(dir / ("iris" + suffix));
        EXPECT_NE(report.find("stratified 10-fold cross-validation"), std::string::npos);
        EXPECT_NE(report.find("test records correct)\nAccuracy over the 10 folds: mean "),
                  std::string::npos)
            << report;
        EXPECT_EQ(matrixSum(report), 150);
        // PERCENT, when given, changes nothing.
        ASSERT_EQ(run(program, {"--time-limit", "60", "--folds", "10", "iris", "30"}, dir).status,
                  0);
        EXPECT_EQ(readFile(dir / ("iris" + suffix)).substr(0, report.find("\nTime: ")),
                  report.substr(0, report.find("\nTime: ")));
        EXPECT_EQ(run(program, {"--folds", "1", "iris"}, dir).status, 2);
        EXPECT_EQ(run(program, {"iris"}, dir).status, 2);
    }
    fs::remove_all(dir);
}

TEST_F(CrossValidation, NoRecordIsTestedByAModelThatSawIt) {
    // A name per record and a class that is noise: naive Bayes that saw a record names its
    // class by the name alone; a fair test leaves it the prior, right about half the time.
    std::string data;
    std::uint32_t x = 12345;
    for (int i = 0; i < 400; ++i) {
        x = x * 1103515245u + 12345u;
        data += "r" + std::to_string(i) + "," + ((x >> 16) % 2 ? "a" : "b") + "\n";
    }
    write("noise.data", data);
    ASSERT_EQ(run(CLASSIFY_PATH, {"--keep-ids", "noise", "100"}, dir_).status, 0);
    EXPECT_GT(accuracy(readFile(dir_ / "noise_bayes.output")), 95.0);
    ASSERT_EQ(run(CLASSIFY_PATH, {"--keep-ids", "--folds", "5", "noise"}, dir_).status, 0);
    const double crossValidated = accuracy(readFile(dir_ / "noise_bayes.output"));
    EXPECT_GT(crossValidated, 30.0);
    EXPECT_LT(crossValidated, 70.0);
}

TEST_F(CrossValidation, AClassWithFewerRecordsThanFoldsIsANote) {
    std::string data;
    for (int i = 0; i < 60; ++i) data += std::to_string(i % 10) + "," + (i % 2 ? "x" : "y") + "\n";
    data += "1,rare\n2,rare\n3,rare\n";
    write("rare.data", data);
    // No time limit: on a slow build the limit may stop the folds early, and every record is to
    // be tested.
    ASSERT_EQ(run(CLASSIFY_PATH, {"--folds", "10", "--time-limit", "0", "rare"}, dir_).status, 0);
    const std::string report = readFile(dir_ / "rare_bayes.output");
    EXPECT_NE(report.find("Note: class rare has 3 records, fewer than the 10 folds"),
              std::string::npos)
        << report.substr(0, 400);
    EXPECT_EQ(matrixSum(report), 63);
}

// The result line stands within the first 10 lines of every report and says what the Accuracy
// line says.
TEST(ResultLine, AgreesWithTheAccuracyLineOnEveryExampleSet) {
    const fs::path dir = fs::temp_directory_path() / ("result_line_" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::regex result("Result: ([0-9.]+) % correct on ([0-9]+) (test|training) records");
    const std::regex accuracy("Accuracy: ([0-9.]+) % \\(([0-9]+) of ([0-9]+) (test|training)");
    for (const char* name :
         {"iris", "diabetes", "vote", "breast-cancer", "labor", "weather.nominal"}) {
        for (const char* ext : {".data", ".names"})
            fs::copy_file(fs::path(EXAMPLES_DIR) / (std::string(name) + ext),
                          dir / (std::string(name) + ext), fs::copy_options::overwrite_existing);
        for (const auto& [program, suffix] : std::vector<std::pair<std::string, std::string>>{
                 {CLASSIFY_PATH, "_bayes.output"}, {TARNEL_PATH, "_interval.output"}}) {
            SCOPED_TRACE(std::string(name) + " " + program);
            ASSERT_EQ(run(program, {name, "66.67"}, dir).status, 0);
            const std::string report = readFile(dir / (std::string(name) + suffix));
            std::string head;
            std::stringstream in(report);
            for (int i = 0; i < 10 && std::getline(in, head);) {
                if (head.rfind("Result: ", 0) == 0) break;
                ++i;
            }
            std::smatch r;
            std::smatch a;
            ASSERT_TRUE(std::regex_search(head, r, result)) << report.substr(0, 600);
            ASSERT_TRUE(std::regex_search(report, a, accuracy));
            EXPECT_EQ(r[1], a[1]);
            EXPECT_EQ(r[2], a[3]);
        }
    }
    fs::remove_all(dir);
}

// Self-tuning, the default, searches the settings the command line leaves open, and only
// those; --no-auto searches none.
TEST_F(CrossValidation, AutoSearchesOnlyWhatTheCommandLineLeavesOpen) {
    for (const char* ext : {".data", ".names"})
        fs::copy_file(fs::path(EXAMPLES_DIR) / (std::string("diabetes") + ext),
                      dir_ / (std::string("diabetes") + ext));
    const std::vector<std::tuple<std::string, std::vector<std::string>, std::vector<std::string>>>
        cases = {
            {CLASSIFY_PATH,
             {},
             {"  --normal ", "  --discretize ", "  --kernel ", "  --per-attribute "}},
            {CLASSIFY_PATH, {"--auto", "--kernel"}, {}},
            {CLASSIFY_PATH, {"--per-attribute"}, {}},
            {CLASSIFY_PATH, {"--no-auto"}, {}},
            {TARNEL_PATH,
             {"--auto"},
             {"  --max-depth 10 --bins 20 --bin-records 10 --prune 0.25 ",
              "  --max-depth 40 --bins 10 --bin-records 5 --prune 0.25 ",
              "  --max-depth 40 --bins 10 --bin-records 10 --prune 0 "}},
            {TARNEL_PATH,
             {"--max-depth", "7", "--prune", "0.25"},
             {"  --bins 20 --bin-records 10 ", "  --bins 10 --bin-records 5 ", "  --bins 5 "}},
            {TARNEL_PATH,
             {"--max-depth", "7", "--bins", "9", "--bin-records", "3", "--prune", "0.3"},
             {"  --max-branches off ", "  --max-branches 2 "}},
            {TARNEL_PATH,
             {"--max-depth", "7", "--bins", "9", "--bin-records", "3", "--prune", "0.3",
              "--max-branches", "3"},
             {}},
            {TARNEL_PATH, {"--no-auto"}, {}},
        };
    for (const auto& [program, options, candidates] : cases) {
        std::vector<std::string> args = options;
        args.insert(args.end(), {"diabetes", "66.67"});
        ASSERT_EQ(run(program, args, dir_).status, 0);
        const bool bayes = program == CLASSIFY_PATH;
        const std::string report =
            readFile(dir_ / (bayes ? "diabetes_bayes.output" : "diabetes_interval.output"));
        const std::size_t search = report.find("Settings chosen by ");
        EXPECT_EQ(search != std::string::npos, !candidates.empty()) << report.substr(0, 800);
        for (const std::string& c : candidates) EXPECT_NE(report.find(c), std::string::npos) << c;
        if (!candidates.empty()) {
            EXPECT_NE(report.find("  chosen\n"), std::string::npos);
            // A setting given is in no candidate.
            for (std::size_t i = 0; i + 1 < options.size(); ++i) {
                if (options[i].rfind("--", 0) != 0) continue;
                EXPECT_EQ(report.find("  " + options[i] + " ", search), std::string::npos)
                    << options[i];
            }
        }
    }
}

}  // namespace
