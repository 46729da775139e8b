// The web page of a run, as a browser builds it: for every example set and both programs, the
// page is rendered by headless Chromium (scripts/setup installs it) and the facts in the
// browser's text are compared with the report's.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <regex>
#include <sstream>

#include "program_run.h"

namespace {

namespace fs = std::filesystem;
using program_run::readFile;
using program_run::run;
using program_run::TestFolder;

// Returns the path of `name` on PATH, or "" when it is not there.
std::string onPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "");
    for (std::string dir; std::getline(dirs, dir, ':');) {
        const fs::path candidate = fs::path(dir) / name;
        if (!dir.empty() && access(candidate.c_str(), X_OK) == 0) return candidate.string();
    }
    return "";
}

// Returns every match of `pattern`'s first group in `text`, in order.
std::vector<std::string> allMatches(const std::string& text, const std::regex& pattern) {
    std::vector<std::string> found;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), pattern);
         it != std::sregex_iterator(); ++it)
        found.push_back((*it)[1]);
    return found;
}

// Returns the report's confusion matrix, row by row: the whole numbers that end each line below
// its "actual \ predicted" header, up to the blank line.
std::vector<std::string> reportCells(const std::string& report) {
    std::vector<std::string> cells;
    std::stringstream in(report.substr(report.find("actual \\ predicted")));
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line) && !line.empty()) {
        std::stringstream words(line);
        std::vector<std::string> numbers;
        for (std::string w; words >> w;) {
            if (w.find_first_not_of("0123456789") == std::string::npos)
                numbers.push_back(w);
            else
                numbers.clear();
        }
        cells.insert(cells.end(), numbers.begin(), numbers.end());
    }
    return cells;
}

// Returns the record counts of the report's tree, root first, in the report's order.
std::vector<std::string> reportNodeCounts(const std::string& report) {
    const std::size_t from = report.find("\nAll ");
    const std::size_t to = report.find("\nRules", from);
    if (from == std::string::npos) return {};
    const std::string tree = program_run::unwrapped(report.substr(from, to - from));
    std::vector<std::string> counts = allMatches(tree, std::regex("All ([0-9]+) training record"));
    for (const std::string& n : allMatches(tree, std::regex("([0-9]+) records? \\(")))
        counts.push_back(n);
    return counts;
}

// The example sets: each data file of examples/ with what comes with it.
std::vector<fs::path> exampleFiles() {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(EXAMPLES_DIR)) {
        const std::string ext = entry.path().extension().string();
        if (ext == ".data" || ext == ".csv" || ext == ".arff") files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

struct Browser {
    std::string chromium = onPath("chromium");
    std::string xmllint = onPath("xmllint");
};

// Runs `program` on `data` (copied into `dir`) with --html and checks the page in the browser
// against the report: the result line, the confusion matrix's cells, the tree's record counts,
// and a screenshot that is not blank.
void checkPage(const Browser& browser, const std::string& program, const std::string& suffix,
               const fs::path& data, const fs::path& dir) {
    fs::copy_file(data, dir / data.filename(), fs::copy_options::overwrite_existing);
    const fs::path names = fs::path(data).replace_extension(".names");
    if (data.extension() == ".data" && fs::exists(names))
        fs::copy_file(names, dir / names.filename(), fs::copy_options::overwrite_existing);
    const auto ran = run(program, {"--html", "page.html", data.filename().string(), "66.67"}, dir);
    ASSERT_EQ(ran.status, 0) << ran.err;
    const std::string report = readFile(dir / (data.stem().string() + suffix));
    ASSERT_NE(report.find("  page.html\n"), std::string::npos) << "the report names the page";
    // Well-formed XML, so that every drawing in it parses as SVG.
    const auto lint = run(browser.xmllint, {"--noout", "page.html"}, dir);
    EXPECT_EQ(lint.status, 0) << lint.err;
    const auto shown = run(browser.chromium,
                           {"--headless", "--no-sandbox", "--disable-gpu", "--dump-dom",
                            "--screenshot=" + (dir / "page.png").string(),
                            "--window-size=1200,1600", "file://" + (dir / "page.html").string()},
                           dir, false, {0, 0, 120, 0});
    ASSERT_EQ(shown.status, 0) << shown.err;
    const std::string& dom = shown.out;
    const std::string flat = program_run::unwrapped(report);
    std::smatch result;
    ASSERT_TRUE(
        std::regex_search(flat, result, std::regex("Result: .*? majority class [0-9.]+ %")));
    EXPECT_NE(dom.find(result.str()), std::string::npos) << result.str();
    const std::vector<std::string> cells =
        allMatches(dom, std::regex("<title>actual [^<]*?, predicted [^<]*?: ([0-9]+) record"));
    EXPECT_EQ(cells, reportCells(report));
    if (suffix == "_interval.output") {
        EXPECT_EQ(allMatches(dom, std::regex("<span class=\"n\">([0-9]+) records?</span>")),
                  reportNodeCounts(report));
    }
    // A blank page of this size compresses to a few kilobytes.
    EXPECT_GT(fs::file_size(dir / "page.png"), 20000u);
}

// One case an example file, so that each keeps well within a test's time, also in a slow build.
class WebPageOf : public ::testing::TestWithParam<fs::path> {};

TEST_P(WebPageOf, ShowsInABrowserWhatTheReportSays) {
    const Browser browser;
    ASSERT_FALSE(browser.chromium.empty()) << "chromium is not on PATH: run scripts/setup";
    ASSERT_FALSE(browser.xmllint.empty()) << "xmllint is not on PATH: run scripts/setup";
    for (const auto& [program, suffix] : std::vector<std::pair<std::string, std::string>>{
             {CLASSIFY_PATH, "_bayes.output"}, {TARNEL_PATH, "_interval.output"}}) {
        SCOPED_TRACE(GetParam().filename().string() + " " + program);
        const TestFolder dir("web_page");
        checkPage(browser, program, suffix, GetParam(), dir.path());
    }
}

INSTANTIATE_TEST_SUITE_P(Examples, WebPageOf, ::testing::ValuesIn(exampleFiles()),
                         [](const ::testing::TestParamInfo<fs::path>& info) {
                             std::string name = info.param.filename().string();
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

}  // namespace

namespace {

void copyIris(const fs::path& dir) {
    for (const char* ext : {".data", ".names"})
        fs::copy_file(fs::path(EXAMPLES_DIR) / (std::string("iris") + ext),
                      dir / (std::string("iris") + ext), fs::copy_options::overwrite_existing);
}

TEST(WebPage, IsRefusedWhereItWouldReplaceAnotherFileOfTheRun) {
    const TestFolder dir("web_page_refused");
    copyIris(dir.path());
    const std::string data = readFile(dir.path() / "iris.data");
    for (const auto& [path, message] : std::vector<std::pair<std::string, std::string>>{
             {"iris.data", "will not write the web page to iris.data: it is the data file"},
             {"iris.names", "will not write the web page to iris.names: it is the names file"},
             {"iris_interval.output",
              "will not write the web page to iris_interval.output: the report goes there"},
             {"rules.sql",
              "will not write the SQL script to rules.sql: the web page goes there"}}) {
        SCOPED_TRACE(path);
        const auto ran =
            run(TARNEL_PATH, {"--html", path, "--sql", "rules.sql", "iris", "50"}, dir.path());
        EXPECT_EQ(ran.status, 2);
        EXPECT_NE(ran.err.find(message), std::string::npos) << ran.err;
    }
    EXPECT_EQ(readFile(dir.path() / "iris.data"), data);
    EXPECT_FALSE(fs::exists(dir.path() / "rules.sql"));
}

TEST(WebPage, ASavedModelDrawsTheRecordsItScoredAndNeedsTheirClass) {
    const TestFolder dir("web_page_applied");
    copyIris(dir.path());
    ASSERT_EQ(run(TARNEL_PATH, {"--save-model", "iris.model", "iris", "66.67"}, dir.path()).status,
              0);
    ASSERT_EQ(run(TARNEL_PATH, {"--apply", "iris.model", "--html", "applied.html", "iris.data"},
                  dir.path())
                  .status,
              0);
    const std::string page = readFile(dir.path() / "applied.html");
    EXPECT_NE(page.find("the records scored that reach it"), std::string::npos);
    // The root's histogram counts all 150 records scored; its head, the 100 it was trained on.
    EXPECT_TRUE(std::regex_search(
        page, std::regex("The values of [a-z]+ among the node&#39;s 150 records")));
    EXPECT_NE(page.find("<span class=\"n\">100 training records</span>"), std::string::npos);
    EXPECT_NE(page.find("Evaluation on the 150 records"), std::string::npos);
    const std::string report = readFile(dir.path() / "iris_interval_applied.output");
    EXPECT_NE(report.find("  applied.html\n"), std::string::npos);
    // Without the class there is nothing to evaluate: no file is written.
    std::string noClass;
    std::stringstream in(readFile(dir.path() / "iris.data"));
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) noClass += line.substr(0, line.rfind(',')) + "\n";
    dir.write("new.csv", noClass);
    const auto ran =
        run(TARNEL_PATH, {"--apply", "iris.model", "--html", "new.html", "new.csv"}, dir.path());
    EXPECT_EQ(ran.status, 1);
    EXPECT_NE(ran.err.find("holds no class column"), std::string::npos) << ran.err;
    EXPECT_FALSE(fs::exists(dir.path() / "new.html"));
    EXPECT_FALSE(fs::exists(dir.path() / "new_interval_predictions.csv"));
}

}  // namespace
