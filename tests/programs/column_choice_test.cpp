// --class and --ignore name columns the same way in every format: by name or by number (1 the
// first, negative from the end), with the same messages; --ignore takes one comma-separated
// value wherever it stands.
#include <gtest/gtest.h>

#include "program_run.h"

namespace {

namespace fs = std::filesystem;
using program_run::firstLine;
using program_run::readFile;

// The iris records as a .data file with .names, as a CSV file with a header and as ARFF: the
// same five columns, the class last and named "class".
class ColumnChoice : public ::testing::TestWithParam<std::string> {
protected:
    ColumnChoice() : folder_("column_choice_test") {
        for (const char* name : {"iris.data", "iris.names", "iris.csv"})
            fs::copy_file(fs::path(EXAMPLES_DIR) / name, folder_.path() / name);
        std::string arff =
            "@relation iris\n@attribute sepallength numeric\n@attribute sepalwidth numeric\n"
            "@attribute petallength numeric\n@attribute petalwidth numeric\n"
            "@attribute class {Iris-setosa,Iris-versicolor,Iris-virginica}\n@data\n";
        arff += readFile(fs::path(EXAMPLES_DIR) / "iris.data");
        folder_.write("iris.arff", arff);
    }
    // Runs classify on the file of this format with `options` before it and PERCENT.
    program_run::ProcessResult classify(std::vector<std::string> options) {
        options.push_back(GetParam());
        options.push_back("66.67");
        return program_run::run(CLASSIFY_PATH, options, folder_.path());
    }
    std::string report() {
        const std::string file = GetParam();
        return readFile(folder_.path() / (file.substr(0, file.rfind('.')) + "_bayes.output"));
    }
    // Where the messages say the columns are: the file, and for .data how its .names declares it.
    std::string where() const {
        return GetParam() == "iris.data" ? "iris.data as iris.names declares it" : GetParam();
    }

private:
    program_run::TestFolder folder_;
};

TEST_P(ColumnChoice, NamesAndNumbersChooseTheSameColumnsInEveryFormat) {
    struct Case {
        std::vector<std::string> options;
        std::string ignoredLine;  // the data section's line on ignored attributes
        std::string classLine;    // the start of its class values line
    };
    const std::vector<Case> cases = {
        {{"--ignore", "sepalwidth"}, "  ignored (1): sepalwidth", "Class values (3): Iris-setosa"},
        {{"--ignore", "2"}, "  ignored (1): sepalwidth", "Class values (3): Iris-setosa"},
        {{"--ignore=-4"}, "  ignored (1): sepalwidth", "Class values (3): Iris-setosa"},
        {{"--ignore", "1,petalwidth"},
         "  ignored (2): sepallength, petalwidth",
         "Class values (3): Iris-setosa"},
        {{"--ignore", "1", "--ignore", "4"},
         "  ignored (2): sepallength, petalwidth",
         "Class values (3): Iris-setosa"},
        {{"--class", "5", "--ignore", "-2"},
         "  ignored (1): petalwidth",
         "Class values (3): Iris-setosa"},
        {{"--class=last"}, "", "Class values (3): Iris-setosa"},
    };
    for (const Case& c : cases) {
        const program_run::ProcessResult r = classify(c.options);
        ASSERT_EQ(r.status, 0) << r.err << " " << c.options.front();
        const std::string text = report();
        if (!c.ignoredLine.empty()) {
            EXPECT_NE(text.find("\n" + c.ignoredLine + "\n"), std::string::npos) << text;
        }
        EXPECT_NE(text.find("\n" + c.classLine), std::string::npos) << text;
    }
}

TEST_P(ColumnChoice, ColumnsThatAreNotThereAreTheSameUsageErrorInEveryFormat) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--class", "nope"}, "--class \"nope\" names no column of " + where()},
        {{"--class", "6"}, "--class \"6\" names no column of " + where()},
        {{"--class", "0"}, "--class \"0\" names no column of " + where()},
        {{"--ignore", "nope"}, "--ignore \"nope\" names no column of " + where()},
        {{"--ignore", "-6"}, "--ignore \"-6\" names no column of " + where()},
        {{"--ignore=class"}, "--ignore \"class\" names the class column of " + where()},
        {{"--ignore", "5"}, "--ignore \"5\" names the class column of " + where()},
        {{"--ignore", "last"}, "--ignore \"last\" names no column of " + where()},
    };
    for (const auto& [options, message] : cases) {
        const program_run::ProcessResult r = classify(options);
        EXPECT_EQ(r.status, 2) << message;
        EXPECT_EQ(firstLine(r.err), "classify: Error: " + message);
        EXPECT_EQ(firstLine(report()), "Error: " + message);
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, ColumnChoice,
                         ::testing::Values("iris.data", "iris.csv", "iris.arff"),
                         [](const auto& info) {
                             std::string name = info.param;
                             name[name.find('.')] = '_';
                             return name;
                         });

}  // namespace
