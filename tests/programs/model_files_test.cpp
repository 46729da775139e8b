// Saved models through the programs: --save-model, --predictions and --apply MODEL DATA.
#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "program_run.h"

namespace {

namespace fs = std::filesystem;
using program_run::readFile;
using program_run::run;

// One way to train: a program, its options, and the suffix of its output files.
struct Trainer {
    std::string label;
    std::string program;
    std::vector<std::string> options;
    std::string suffix;  // "_bayes" or "_interval"
};

const std::vector<Trainer>& trainers() {
    static const std::vector<Trainer> list{
        {"normal", CLASSIFY_PATH, {"--normal"}, "_bayes"},
        {"discretize", CLASSIFY_PATH, {"--discretize"}, "_bayes"},
        {"kernel", CLASSIFY_PATH, {"--kernel"}, "_bayes"},
        {"tree", TARNEL_PATH, {}, "_interval"},
    };
    return list;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::stringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

// Returns a CSV line's first field and the rest.
std::pair<std::string, std::string> splitFirst(const std::string& line) {
    const std::size_t comma = line.find(',');
    return {line.substr(0, comma), line.substr(comma + 1)};
}

// Returns the report's Accuracy line.
std::string accuracyLine(const std::string& report) {
    for (const std::string& line : lines(report))
        if (line.rfind("Accuracy: ", 0) == 0) return line;
    return "";
}

// Returns the lines of `file` that are not records: an ARFF header up to @data, a CSV header.
std::vector<std::string> headerLines(const std::vector<std::string>& file, const std::string& ext) {
    std::vector<std::string> header;
    if (ext == ".csv") header.push_back(file.front());
    if (ext == ".arff")
        for (const std::string& line : file) {
            header.push_back(line);
            if (line.rfind("@data", 0) == 0 || line.rfind("@DATA", 0) == 0) break;
        }
    return header;
}

class ModelFiles : public ::testing::Test {
protected:
    void copyExample(const std::string& name) {
        fs::copy_file(fs::path(EXAMPLES_DIR) / name, dir_ / name,
                      fs::copy_options::overwrite_existing);
    }
    program_run::TestFolder folder_{"model_files_test"};
    const fs::path& dir_ = folder_.path();
};

// The records of each example set a run tested, written to a file of their own and scored with
// the saved model, get exactly the run's predictions, probabilities and accuracy.
TEST_F(ModelFiles, ApplyingTheSavedModelToTheTestRecordsRepeatsTheRun) {
    const std::vector<std::pair<std::string, std::string>> sets{
        {"breast-cancer", ".data"}, {"diabetes", ".data"}, {"iris", ".data"},
        {"labor", ".data"},         {"vote", ".data"},     {"weather.nominal", ".data"},
        {"iris", ".csv"},           {"labor", ".arff"}};
    for (const auto& [name, ext] : sets) {
        copyExample(name + ext);
        if (ext == ".data") copyExample(name + ".names");
        const std::vector<std::string> file = lines(readFile(dir_ / (name + ext)));
        for (const Trainer& t : trainers()) {
            SCOPED_TRACE(name + ext + " " + t.label);
            std::vector<std::string> args = t.options;
            for (const char* a : {"--save-model", "saved.model", "--predictions"})
                args.push_back(a);
            args.push_back(name + ext);
            args.push_back("66.67");
            ASSERT_EQ(run(t.program, args, dir_).status, 0);
            const std::vector<std::string> predicted =
                lines(readFile(dir_ / (name + t.suffix + "_predictions.csv")));
            ASSERT_GT(predicted.size(), 1u);
            // The test records, in file order, below the file's header.
            std::vector<std::string> test = headerLines(file, ext);
            for (std::size_t i = 1; i < predicted.size(); ++i)
                test.push_back(file.at(std::stoul(splitFirst(predicted[i]).first) - 1));
            std::string text;
            for (const std::string& line : test) text += line + "\n";
            folder_.write("test" + ext, text);
            if (ext == ".data")
                fs::copy_file(dir_ / (name + ".names"), dir_ / "test.names",
                              fs::copy_options::overwrite_existing);
            const auto applied = run(t.program, {"--apply", "saved.model", "test" + ext}, dir_);
            ASSERT_EQ(applied.status, 0) << applied.err;
            const std::vector<std::string> again =
                lines(readFile(dir_ / ("test" + t.suffix + "_predictions.csv")));
            ASSERT_EQ(again.size(), predicted.size());
            EXPECT_EQ(again[0], predicted[0]);
            for (std::size_t i = 1; i < again.size(); ++i)
                EXPECT_EQ(splitFirst(again[i]).second, splitFirst(predicted[i]).second)
                    << "record " << i;
            EXPECT_EQ(accuracyLine(readFile(dir_ / ("test" + t.suffix + "_applied.output"))),
                      accuracyLine(readFile(dir_ / (name + t.suffix + ".output"))));
        }
    }
}

// Writes iris.csv with its columns in reverse order, with and without the class column.
void writeReordered(const program_run::TestFolder& folder, const std::string& csv) {
    std::string withClass, withoutClass;
    for (const std::string& line : lines(csv)) {
        std::vector<std::string> fields;
        std::stringstream in(line);
        for (std::string f; std::getline(in, f, ',');) fields.push_back(f);
        std::reverse(fields.begin(), fields.end());
        for (std::size_t i = 0; i < fields.size(); ++i) {
            withClass += (i ? "," : "") + fields[i];
            if (i > 0) withoutClass += (i > 1 ? "," : "") + fields[i];
        }
        withClass += "\n";
        withoutClass += "\n";
    }
    folder.write("reversed.csv", withClass);
    folder.write("no_class.csv", withoutClass);
}

// Returns the predicted classes of a predictions file (its column `predicted`), by line.
std::vector<std::string> predictedColumn(const std::string& csv) {
    const std::vector<std::string> rows = lines(csv);
    std::vector<std::string> head;
    std::stringstream h(rows.at(0));
    for (std::string f; std::getline(h, f, ',');) head.push_back(f);
    const auto at =
        static_cast<std::size_t>(std::find(head.begin(), head.end(), "predicted") - head.begin());
    std::vector<std::string> out;
    for (std::size_t i = 1; i < rows.size(); ++i) {
        std::stringstream in(rows[i]);
        std::vector<std::string> fields;
        for (std::string f; std::getline(in, f, ',');) fields.push_back(f);
        out.push_back(fields.at(0) + " " + fields.at(at));
    }
    return out;
}

// Columns are matched by name in a file with a header, and a file without the class column is
// scored all the same: the predictions, without an actual class and without a report.
TEST_F(ModelFiles, ColumnsInAnotherOrderAndNoClassColumnGiveTheSamePredictions) {
    copyExample("iris.csv");
    writeReordered(folder_, readFile(dir_ / "iris.csv"));
    for (const Trainer& t : trainers()) {
        SCOPED_TRACE(t.label);
        std::vector<std::string> args = t.options;
        for (const char* a : {"--save-model", "iris.model", "iris.csv", "50"}) args.push_back(a);
        ASSERT_EQ(run(t.program, args, dir_).status, 0);
        ASSERT_EQ(run(t.program, {"--apply", "iris.model", "iris.csv"}, dir_).status, 0);
        const std::vector<std::string> expected =
            predictedColumn(readFile(dir_ / ("iris" + t.suffix + "_predictions.csv")));
        ASSERT_EQ(expected.size(), 150u);
        for (const char* name : {"reversed", "no_class"}) {
            const auto applied =
                run(t.program, {"--apply", "iris.model", std::string(name) + ".csv"}, dir_);
            ASSERT_EQ(applied.status, 0) << applied.err;
            const std::string csv = readFile(dir_ / (name + t.suffix + "_predictions.csv"));
            EXPECT_EQ(predictedColumn(csv), expected) << name;
            const bool withClass = std::string(name) == "reversed";
            EXPECT_EQ(lines(csv).at(0).find(",actual,") != std::string::npos, withClass);
            EXPECT_EQ(fs::exists(dir_ / (name + t.suffix + "_applied.output")), withClass);
        }
    }
}

// A .data file without header is matched by place: the class, when present, is the last field.
TEST_F(ModelFiles, AFileWithoutHeaderIsMatchedByPlaceWithOrWithoutTheClass) {
    copyExample("iris.data");
    std::string noClass;
    for (const std::string& line : lines(readFile(dir_ / "iris.data")))
        if (!line.empty()) noClass += line.substr(0, line.rfind(',')) + "\n";
    folder_.write("new.data", noClass);
    for (const Trainer& t : trainers()) {
        SCOPED_TRACE(t.label);
        std::vector<std::string> args = t.options;
        for (const char* a : {"--save-model", "m.model", "iris.data", "66.67"}) args.push_back(a);
        ASSERT_EQ(run(t.program, args, dir_).status, 0);
        ASSERT_EQ(run(t.program, {"--apply", "m.model", "iris.data"}, dir_).status, 0);
        ASSERT_EQ(run(t.program, {"--apply", "m.model", "new.data"}, dir_).status, 0);
        EXPECT_EQ(predictedColumn(readFile(dir_ / ("new" + t.suffix + "_predictions.csv"))),
                  predictedColumn(readFile(dir_ / ("iris" + t.suffix + "_predictions.csv"))));
    }
}

// A file that does not fit the model is a one-line error naming what is wrong, and no
// predictions are written.
TEST_F(ModelFiles, DataThatDoesNotFitTheModelIsAnError) {
    copyExample("iris.csv");
    ASSERT_EQ(run(CLASSIFY_PATH, {"--save-model", "iris.model", "iris.csv", "50"}, dir_).status, 0);
    ASSERT_EQ(run(TARNEL_PATH, {"--save-model", "tree.model", "iris.csv", "50"}, dir_).status, 0);
    const std::vector<std::tuple<std::string, std::string, std::string>> cases{
        {"missing.csv", "sepallength,sepalwidth,petallength,class\n5.1,3.5,1.4,Iris-setosa\n",
         "has no column \"petalwidth\", which the model needs"},
        {"words.csv",
         "sepallength,sepalwidth,petallength,petalwidth\n5.1,3.5,1.4,0.2\n5.1,3.5,wide,0.2\n",
         "line 3: column \"petallength\" holds \"wide\", but the model reads numbers there"},
        {"columns.data", "5.1,3.5,1.4\n4.9,3.0,1.3\n",
         "has 3 columns, but the model has 4 attributes"},
    };
    for (const auto& [name, content, message] : cases) {
        SCOPED_TRACE(name);
        folder_.write(name, content);
        const auto r = run(CLASSIFY_PATH, {"--apply", "iris.model", name}, dir_);
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
        EXPECT_FALSE(
            fs::exists(dir_ / (fs::path(name).stem().string() + "_bayes_predictions.csv")));
    }
    const auto other = run(CLASSIFY_PATH, {"--apply", "tree.model", "iris.csv"}, dir_);
    EXPECT_EQ(other.status, 1);
    EXPECT_NE(other.err.find("holds a model of \"tarnel\", not of classify"), std::string::npos);
}

// A nominal value the model never saw is scored as each model treats it, and counted.
TEST_F(ModelFiles, UnseenNominalValuesAreCountedInTheReport) {
    copyExample("weather.nominal.data");
    copyExample("weather.nominal.names");
    folder_.write("new.csv",
                  "outlook,temperature,humidity,windy,play\n"
                  "foggy,hot,high,FALSE,no\nsunny,hot,high,FALSE,no\nfoggy,cool,high,TRUE,yes\n");
    for (const Trainer& t : {trainers()[0], trainers()[3]}) {
        SCOPED_TRACE(t.label);
        ASSERT_EQ(
            run(t.program, {"--save-model", "w.model", "weather.nominal", "100"}, dir_).status, 0);
        const auto r = run(t.program, {"--apply", "w.model", "new.csv"}, dir_);
        ASSERT_EQ(r.status, 0) << r.err;
        const std::string report = readFile(dir_ / ("new" + t.suffix + "_applied.output"));
        EXPECT_NE(report.find("2 records hold a value of outlook that the model never saw"),
                  std::string::npos)
            << report;
        EXPECT_EQ(lines(readFile(dir_ / ("new" + t.suffix + "_predictions.csv"))).size(), 4u);
    }
}

// With --folds, --predictions gives every record once, predicted by the fold model that tested
// it; the pooled accuracy is the share of those predictions that are right.
TEST_F(ModelFiles, PredictionsOfACrossValidationCoverEveryRecordOnce) {
    copyExample("iris.data");
    copyExample("iris.names");
    for (const Trainer& t : trainers()) {
        SCOPED_TRACE(t.label);
        std::vector<std::string> args = t.options;
        for (const char* a : {"--folds", "5", "--predictions", "iris"}) args.push_back(a);
        ASSERT_EQ(run(t.program, args, dir_).status, 0);
        const std::vector<std::string> rows =
            lines(readFile(dir_ / ("iris" + t.suffix + "_predictions.csv")));
        ASSERT_EQ(rows.size(), 151u);
        std::size_t right = 0;
        for (std::size_t i = 1; i < rows.size(); ++i) {
            std::stringstream in(rows[i]);
            std::vector<std::string> f;
            for (std::string x; std::getline(in, x, ',');) f.push_back(x);
            EXPECT_EQ(f.at(0), std::to_string(i));
            right += f.at(1) == f.at(2);
        }
        char expected[64];
        std::snprintf(expected, sizeof expected, "Accuracy: %.2f %%", 100.0 * right / 150.0);
        EXPECT_EQ(accuracyLine(readFile(dir_ / ("iris" + t.suffix + ".output"))).rfind(expected, 0),
                  0u);
    }
}

TEST(ModelFileUsage, ApplyTakesTheDataFileAloneAndNoTrainingOutputs) {
    program_run::TestFolder folder("model_usage_test");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--apply", "m.model", "iris", "50"},
          {"--apply", "m.model"},
          {"--apply", "m.model", "--save-model", "n.model", "iris"},
          {"--apply", "m.model", "--predictions", "iris"},
          {"--apply", "m.model", "--folds", "5", "iris"}}) {
        const auto r = run(CLASSIFY_PATH, args, folder.path());
        EXPECT_EQ(r.status, 2) << args.back();
    }
}

// Hostile model files: each ends in one line on stderr, exit status 1 and no predictions.
struct BadModel {
    std::string name;
    std::string program;  // which program's saved model is the start, and which applies it
    std::string patch;    // a JSON patch on that model, or raw text when it is not a JSON list
    std::string expected;
};

std::vector<BadModel> badModels() {
    const std::string B = CLASSIFY_PATH, T = TARNEL_PATH;
    return {
        {"empty", B, "", "is not a model file of these programs (not JSON, or cut short)"},
        {"not_json", B, "hello, world", "is not a model file of these programs"},
        {"json_list", B, "[1, 2, 3]", "is not a model file of these programs"},
        {"json_of_another_kind", B, R"({"format": "something else", "version": 1})",
         "is not a model file of these programs"},
        {"truncated", B, "cut", "(not JSON, or cut short)"},
        {"newer_version", B, R"([{"op": "replace", "path": "/version", "value": 7}])",
         "was saved by a newer version of these programs (model format 7"},
        {"version_text", B, R"([{"op": "replace", "path": "/version", "value": "1"}])",
         "the model's format version is not readable"},
        {"no_schema", B, R"([{"op": "remove", "path": "/schema"}])",
         "not a sound model file: the field \"schema\" is missing"},
        {"no_attributes", B, R"([{"op": "replace", "path": "/schema/attributes", "value": []}])",
         "the model lists no attribute"},
        {"class_value_twice", B,
         R"([{"op": "replace", "path": "/schema/class values", "value": ["a", "a", "b"]}])",
         "the model lists a class value twice"},
        {"negative_count", B,
         R"([{"op": "replace", "path": "/model/class counts/0", "value": -3}])",
         "\"class counts\" holds something other than a count"},
        {"huge_number", B,
         R"([{"op": "replace", "path": "/model/priors/0", "value": 123456789.5}])",
         "(not JSON, or cut short)"},
        {"text_for_a_number", B,
         R"([{"op": "replace", "path": "/model/log priors/0", "value": "x"}])",
         "\"log priors\" holds something other than a number"},
        {"mismatched_lengths", B, R"([{"op": "remove", "path": "/model/priors/2"}])",
         "\"priors\" holds 2 numbers, not 3"},
        {"kind_against_type", B,
         R"([{"op": "replace", "path": "/model/attributes/0/kind", "value": "table"}])",
         "attribute \"sepallength\" does not fit its model"},
        {"treatment_against_figures", B, R"([{"op": "replace", "path": "/model/numeric",
                                        "value": "discretize"}])",
         "does not fit its model"},
        {"child_out_of_range", T,
         R"([{"op": "replace", "path": "/model/tree/nodes/0/children/0", "value": 999}])",
         "\"children\" holds a number out of range"},
        {"child_before_its_node", T,
         R"([{"op": "replace", "path": "/model/tree/nodes/0/children/0", "value": 0}])",
         "\"children\" holds a number out of range"},
        {"branch_of_two_nodes", T,
         R"([{"op": "replace", "path": "/model/tree/nodes/0/children/0", "value": 2}])",
         "the branch of two nodes"},
        {"counts_do_not_add_up", T,
         R"([{"op": "replace", "path": "/model/tree/nodes/0/total", "value": 4000000000}])",
         "class counts do not add up"},
        {"label_past_the_classes", T,
         R"([{"op": "replace", "path": "/model/tree/nodes/0/label", "value": 3}])",
         "\"label\" is out of range"},
        {"split_on_a_missing_attribute", T,
         R"([{"op": "replace", "path": "/model/tree/nodes/0/attribute", "value": 4}])",
         "\"attribute\" is out of range"},
        {"classify_model_for_tarnel", T, "bayes", "holds a model of \"classify\", not of tarnel"},
    };
}

TEST_F(ModelFiles, HostileModelFilesEndInOneLineAndNoPredictions) {
    copyExample("iris.csv");
    ASSERT_EQ(
        run(CLASSIFY_PATH, {"--normal", "--save-model", "bayes.model", "iris.csv", "50"}, dir_)
            .status,
        0);
    ASSERT_EQ(run(TARNEL_PATH, {"--save-model", "tree.model", "iris.csv", "50"}, dir_).status, 0);
    fs::remove(dir_ / "iris_bayes_predictions.csv");
    auto check = [&](const std::string& program, const std::string& label,
                     const std::string& expected) {
        SCOPED_TRACE(label);
        const auto r = run(program, {"--apply", "bad.model", "iris.csv"}, dir_);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err.substr(0, 500);
        EXPECT_NE(r.err.find("Error: bad.model"), std::string::npos) << r.err.substr(0, 500);
        EXPECT_NE(r.err.find(expected), std::string::npos) << r.err.substr(0, 500);
        EXPECT_LT(r.err.size(), 400u);
        for (const char* out : {"iris_bayes_predictions.csv", "iris_interval_predictions.csv"})
            EXPECT_FALSE(fs::exists(dir_ / out));
    };
    for (const BadModel& bad : badModels()) {
        const bool bayes = bad.program == CLASSIFY_PATH;
        const std::string saved = readFile(dir_ / (bayes ? "bayes.model" : "tree.model"));
        std::string text = bad.patch;
        if (bad.patch == "cut") text = saved.substr(0, saved.size() / 2);
        if (bad.patch == "bayes") text = readFile(dir_ / "bayes.model");
        if (!bad.patch.empty() && bad.patch.front() == '[' &&
            bad.patch.find("\"op\"") != std::string::npos)
            text = nlohmann::json::parse(saved).patch(nlohmann::json::parse(bad.patch)).dump();
        // JSON patches cannot hold a number beyond a double's range: it is put in as text.
        for (std::size_t at = text.find("123456789.5"); at != std::string::npos;
             at = text.find("123456789.5"))
            text.replace(at, 11, "1e999");
        folder_.write("bad.model", text);
        check(bad.program, bad.name, bad.expected);
    }
    // Built here rather than kept: a 100 MB name, nesting 100,000 deep, a file over the size cap.
    nlohmann::json saved = nlohmann::json::parse(readFile(dir_ / "bayes.model"));
    saved["program"] = std::string(100 << 20, 'x');
    folder_.write("bad.model", saved.dump());
    check(CLASSIFY_PATH, "100 MB string", "holds a model of \"xxx");
    folder_.write("bad.model", std::string(100000, '[') + std::string(100000, ']'));
    check(CLASSIFY_PATH, "deep nesting", "(nested too deeply)");
    folder_.write("bad.model", "{}");
    fs::resize_file(dir_ / "bad.model", std::uintmax_t{300} << 20);  // sparse: costs no disk
    check(CLASSIFY_PATH, "too large", "is larger than a model file can be (256 MB)");
}

}  // namespace
