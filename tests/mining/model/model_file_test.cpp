// Model files: figures read back to the same bits, the reader's records for scoring, and records
// read into a model's schema.
#include "model/model_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <numeric>

#include "bayes/naive_bayes.h"
#include "bayes/selective_bayes.h"
#include "cli/apply_model.h"
#include "cli/bayes_program.h"
#include "cli/interval_program.h"
#include "data/reader.h"
#include "interval/interval_model.h"

namespace mining {
namespace {

std::uint64_t bits(double x) {
    std::uint64_t b = 0;
    std::memcpy(&b, &x, sizeof b);
    return b;
}

TEST(ModelFile, DoublesReadBackToTheSameBits) {
    const std::vector<double> values{0.1,
                                     1.0 / 3.0,
                                     -0.0,
                                     2.0 / 3.0 * 1e-300,
                                     std::numeric_limits<double>::denorm_min(),
                                     std::numeric_limits<double>::min(),
                                     std::numeric_limits<double>::max(),
                                     std::numeric_limits<double>::epsilon(),
                                     -123456789.123456789,
                                     4.35,
                                     9007199254740993.0};
    const nlohmann::json written{{"x", values}};
    const nlohmann::json read = nlohmann::json::parse(written.dump(1));
    const std::vector<double> back = read["x"].get<std::vector<double>>();
    ASSERT_EQ(back.size(), values.size());
    for (std::size_t i = 0; i < values.size(); ++i) EXPECT_EQ(bits(back[i]), bits(values[i])) << i;
}

// Returns the model of the model file `text`, read through the compact document.
std::unique_ptr<Model> loadThroughDocument(const std::string& text) {
    const Result<JsonDocument> file = parseModelDocument(text, "m");
    EXPECT_TRUE(file) << file.error();
    const ModelSchema schema = schemaFromJson(model_json::field(file->root(), "schema"));
    const JsonValue saved = model_json::field(file->root(), "model");
    if (model_json::text(file->root(), "program") == "tarnel")
        return interval::IntervalModel::load(saved, schema);
    return NaiveBayes::load(saved, schema);
}

// A model read back from its file predicts the same classes and probabilities, to the bit, and
// saves the same text again.
TEST(ModelFile, ModelsReadBackPredictToTheSameBits) {
    BayesProgram bayes;
    IntervalProgram interval;
    struct Maker {
        const char* label;
        std::function<std::unique_ptr<Model>()> make;
        const ClassifierProgram* program;
    };
    const std::vector<Maker> makers{
        {"normal", [] { return std::make_unique<NaiveBayes>(NumericMode::Normal); }, &bayes},
        {"discretize", [] { return std::make_unique<NaiveBayes>(NumericMode::Discretize); },
         &bayes},
        {"kernel", [] { return std::make_unique<NaiveBayes>(NumericMode::Kernel); }, &bayes},
        {"per attribute", [] { return std::make_unique<SelectiveBayes>(); }, &bayes},
        {"mixed",
         [] {
             using U = AttributeUse;
             // diabetes' first three: kernel, bins and left out; the rest normal.
             return std::make_unique<NaiveBayes>(
                 NumericMode::Normal,
                 std::vector<U>{U::Kernel, U::Discretize, U::LeftOut, U::Normal, U::Normal,
                                U::Normal, U::Normal, U::Normal});
         },
         &bayes},
        {"tree", [] { return std::make_unique<interval::IntervalModel>(interval::TreeOptions{}); },
         &interval},
        {"tree of binary numeric splits",
         [] {
             interval::TreeOptions options;
             options.maxBranches = 2;
             return std::make_unique<interval::IntervalModel>(options);
         },
         &interval},
    };
    for (const char* set : {"iris", "labor", "diabetes", "vote", "breast-cancer"}) {
        const Result<Dataset> data = readDataset(std::string(EXAMPLES_DIR) + "/" + set);
        ASSERT_TRUE(data) << data.error();
        std::vector<RowIndex> all(data->recordCount());
        std::iota(all.begin(), all.end(), RowIndex{0});
        const std::vector<RowIndex> train(all.begin(), all.begin() + all.size() * 2 / 3);
        for (const Maker& maker : makers) {
            if (std::string(maker.label) == "mixed" && std::string(set) != "diabetes") continue;
            SCOPED_TRACE(std::string(set) + " " + maker.label);
            const std::unique_ptr<Model> model = maker.make();
            ASSERT_TRUE(model->train(*data, train));
            nlohmann::json saved;
            ASSERT_TRUE(model->save(saved));
            const std::string text = modelFileText(maker.program->info().name, *data, saved);
            const Result<LoadedModel> loaded = loadModelText(text, "m", *maker.program);
            ASSERT_TRUE(loaded) << loaded.error();
            const std::unique_ptr<Model> read = loadThroughDocument(text);
            std::vector<std::int32_t> p1;
            std::vector<double> q1;
            model->predictWithProbabilities(*data, all, p1, q1);
            for (const Model* back : {loaded->model.get(), read.get()}) {
                std::vector<std::int32_t> p2;
                std::vector<double> q2;
                back->predictWithProbabilities(*data, all, p2, q2);
                EXPECT_EQ(p1, p2);
                ASSERT_EQ(q1.size(), q2.size());
                EXPECT_EQ(std::memcmp(q1.data(), q2.data(), q1.size() * sizeof(double)), 0);
                nlohmann::json again;
                ASSERT_TRUE(back->save(again));
                EXPECT_EQ(modelFileText(maker.program->info().name, *data, again), text);
            }
            std::vector<std::int32_t> plain;
            model->predictRows(*data, all, plain);
            EXPECT_EQ(plain, p1);  // probabilities never change a prediction
        }
    }
}

Dataset readFor(std::string_view text, DataFormat format, const ReadOptions& options) {
    Result<Dataset> read = parseData(text, format, std::nullopt, options, "data", "", 1);
    EXPECT_TRUE(read) << read.error();
    return read ? std::move(read.value()) : Dataset();
}

// Reading for a saved model keeps every record, with the file line where it starts, whether the
// class is missing or the file has no class column at all.
TEST(ModelFile, ReadingForScoringKeepsEveryRecordAndItsLine) {
    ReadOptions options;
    options.keepMissingClass = true;
    options.recordLines = true;
    options.keepIds = true;
    options.columns.header = HeaderRule::Present;
    const Dataset csv = readFor("a,b,class\n1,x,yes\n\n2,\"two\nlines\",?\n3,z,no\n",
                                DataFormat::Delimited, options);
    ASSERT_EQ(csv.recordCount(), 3u);
    EXPECT_EQ(csv.recordLines(), (std::vector<std::uint64_t>{2, 4, 6}));
    EXPECT_EQ(csv.classes()[1], kMissingCode);
    EXPECT_EQ(csv.className(), "class");

    options.columns.classAbsent = true;
    const Dataset noClass = readFor("a,b\n1,x\n2,y\n", DataFormat::Delimited, options);
    ASSERT_EQ(noClass.attributeCount(), 2u);
    EXPECT_EQ(noClass.recordLines(), (std::vector<std::uint64_t>{2, 3}));
    EXPECT_EQ(noClass.classes()[0], kMissingCode);
    EXPECT_EQ(noClass.attribute(1).values, (std::vector<std::string>{"x", "y"}));

    const Dataset arff = readFor(
        "@relation r\n@attribute a numeric\n@attribute b {x, y}\n@data\n% note\n1,x\n{1 y}\n",
        DataFormat::Arff, options);
    ASSERT_EQ(arff.recordCount(), 2u);
    EXPECT_EQ(arff.attributeCount(), 2u);
    EXPECT_EQ(arff.recordLines(), (std::vector<std::uint64_t>{6, 7}));
}

ModelSchema schemaOf(std::vector<Attribute> attributes) {
    ModelSchema schema;
    schema.attributes = std::move(attributes);
    schema.classValues = {"yes", "no"};
    return schema;
}

// Columns are matched by name; nominal values by their text, a value the model never saw coded
// past its list and counted; a column of numbers where the model has values matched by the
// number's shortest text; a class the model does not know is left unknown and counted.
TEST(ModelFile, RecordsAreReadIntoTheModelsSchema) {
    ReadOptions options;
    options.keepMissingClass = true;
    options.keepIds = true;
    const Dataset read = readFor("size,colour,class\n1,red,no\n2.50,blue,maybe\n1,green,yes\n",
                                 DataFormat::Delimited, options);
    const ModelSchema schema = schemaOf({{"colour", AttributeType::Nominal, {"green", "red"}},
                                         {"size", AttributeType::Nominal, {"1", "2.5", "3"}}});
    const Result<RecordsForModel> aligned = alignRecords(read, schema, true, true);
    ASSERT_TRUE(aligned) << aligned.error();
    const Dataset& data = aligned->data;
    EXPECT_EQ(std::vector<std::int32_t>(data.nominal(0).begin(), data.nominal(0).end()),
              (std::vector<std::int32_t>{1, 2, 0}));
    EXPECT_EQ(std::vector<std::int32_t>(data.nominal(1).begin(), data.nominal(1).end()),
              (std::vector<std::int32_t>{0, 1, 0}));
    EXPECT_EQ(std::vector<std::int32_t>(data.classes().begin(), data.classes().end()),
              (std::vector<std::int32_t>{1, kMissingCode, 0}));
    EXPECT_EQ(aligned->actual, (std::vector<std::string>{"no", "maybe", "yes"}));
    ASSERT_EQ(aligned->notes.size(), 2u);
    EXPECT_NE(aligned->notes[0].find("1 record holds a value of colour"), std::string::npos);
    EXPECT_NE(aligned->notes[1].find("1 record has a class the model does not know"),
              std::string::npos);

    const ModelSchema missing = schemaOf({{"weight", AttributeType::Numeric, {}}});
    const Result<RecordsForModel> none = alignRecords(read, missing, true, true);
    ASSERT_FALSE(none);
    EXPECT_EQ(none.error(), "data has no column \"weight\", which the model needs");
}

// Naive Bayes leaves a value it never saw out, as a missing one; the tree stops at the node
// whose branches hold no such value and answers its class.
TEST(ModelFile, AValueTheModelNeverSawIsTreatedAsEachModelTreatsIt) {
    const Result<Dataset> data =
        parseDataset("a,yes\na,yes\na,yes\nb,no\nb,no\nc,yes\nc,no\n", std::nullopt);
    ASSERT_TRUE(data) << data.error();
    std::vector<RowIndex> train(7);
    std::iota(train.begin(), train.end(), RowIndex{0});
    // Two records: a value coded past the list of a, b, c, as reading for a model codes one it
    // never saw, and a missing one.
    ColumnVector<std::int32_t> codes(2);
    codes[0] = 3;
    codes[1] = kMissingCode;
    std::vector<CodeColumn> nominal(1);
    nominal[0] = CodeColumn(std::move(codes));
    ColumnVector<std::int32_t> classes(2);
    classes[0] = classes[1] = 0;
    const Dataset unseen =
        Dataset::fromColumns(data->attributes(), data->classValues(), std::vector<NumericColumn>(1),
                             std::move(nominal), CodeColumn(std::move(classes)));
    const RowIndex rows[] = {0, 1};
    std::vector<std::int32_t> predicted;
    std::vector<double> p;
    NaiveBayes bayes;
    ASSERT_TRUE(bayes.train(*data, train));
    bayes.predictWithProbabilities(unseen, rows, predicted, p);
    EXPECT_EQ(predicted[0], predicted[1]);
    EXPECT_EQ(p[0], p[2]);  // as the row whose value is missing
    EXPECT_EQ(p[1], p[3]);
    interval::IntervalModel tree(interval::TreeOptions{});
    ASSERT_TRUE(tree.train(*data, train));
    ASSERT_FALSE(tree.tree().nodes()[0].isLeaf());
    tree.predictWithProbabilities(unseen, rows, predicted, p);
    // The root's class shares, smoothed: (4 + 1) / (7 + 2) yes, (3 + 1) / 9 no; the missing
    // value follows the largest branch, a: (3 + 1) / (3 + 2) yes.
    EXPECT_EQ(predicted[0], 0);
    EXPECT_DOUBLE_EQ(p[0], 5.0 / 9.0);
    EXPECT_DOUBLE_EQ(p[1], 4.0 / 9.0);
    EXPECT_DOUBLE_EQ(p[2], 4.0 / 5.0);
}

namespace fs = std::filesystem;

// A folder of the test's own, removed at the end.
struct TempFolder {
    fs::path path = fs::temp_directory_path() / ("model_file_test_" + std::to_string(getpid()));
    TempFolder() { fs::create_directories(path); }
    ~TempFolder() { fs::remove_all(path); }
    fs::path write(const std::string& name, const std::string& text) const {
        std::ofstream(path / name, std::ios::binary) << text;
        return path / name;
    }
};

// The frame's messages, read from a text and from a file alike: the size and the nesting of the
// whole text count before whether it is JSON, whatever comes first in it.
TEST(ModelFile, AFrameThatIsNotOursGetsItsOwnMessage) {
    const std::string ours = R"({"format": "classifiers-model", "version": 1)";
    const std::string deep(70, '[');
    const std::vector<std::pair<std::string, std::string>> cases{
        {"", " is not a model file of these programs (not JSON, or cut short)"},
        {ours, " is not a model file of these programs (not JSON, or cut short)"},
        {"[1, 2, 3]", " is not a model file of these programs"},
        {ours + R"(, "format": "another"})", " is not a model file of these programs"},
        {std::string(64, '[') + std::string(64, ']'), " is not a model file of these programs"},
        {deep, " is not a model file of these programs (nested too deeply)"},
        {"{\"a\": x" + deep, " is not a model file of these programs (nested too deeply)"},
        {ours + ", \"x\": \"\\\"" + deep + "\"}", ""},
        {ours + ", \"x\": \"\\\\\"" + deep + "}",
         " is not a model file of these programs (nested too deeply)"},
        {R"({"format": "classifiers-model", "version": 7})",
         " was saved by a newer version of these programs (model format 7; this one reads up to "
         "1)"},
        {R"({"format": "classifiers-model", "version": "1"})",
         ": the model's format version is not readable"},
        {R"({"format": "classifiers-model", "version": 0})",
         ": the model's format version is not readable"},
        {R"({"format": "classifiers-model"})", ": the model's format version is not readable"},
    };
    const TempFolder folder;
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE(text.substr(0, 80));
        const fs::path path = folder.write("bad.model", text);
        const Result<JsonDocument> parsed = parseModelDocument(text, "m");
        const Result<JsonDocument> read = readModelDocument(path);
        const Result<nlohmann::json> dom = readModelFile(path);
        if (expected.empty()) {
            EXPECT_TRUE(parsed && read && dom);
            continue;
        }
        ASSERT_FALSE(parsed || read || dom);
        EXPECT_EQ(parsed.error(), "m" + expected);
        EXPECT_EQ(read.error(), path.string() + expected);
        EXPECT_EQ(dom.error(), path.string() + expected);
    }
    const fs::path large = folder.write("large.model", "{}");
    fs::resize_file(large, std::uintmax_t{300} << 20);  // sparse: costs no disk
    EXPECT_EQ(readModelDocument(large).error(),
              large.string() + " is larger than a model file can be (256 MB)");
    EXPECT_EQ(readModelDocument(folder.path.string()).error(),
              folder.path.string() + " is not a file");
    EXPECT_EQ(readModelDocument((folder.path / "none").string()).error(),
              "cannot open " + (folder.path / "none").string());
}

// Returns the text of a tarnel model file, as the programs write one, whose tree's root splits a
// numeric attribute into `leaves` leaves of one record of each of two classes.
std::string wideTreeModel(std::size_t leaves) {
    const Result<Dataset> data = parseDataset("1,yes\n2,no\n3,yes\n4,no\n", std::nullopt);
    interval::IntervalModel model(interval::TreeOptions{});
    const RowIndex rows[] = {0, 1, 2, 3};
    EXPECT_TRUE(model.train(*data, rows));
    nlohmann::json saved;
    model.save(saved);
    saved["tree"]["nodes"] = "NODES";
    std::string text = modelFileText("tarnel", *data, saved);
    const std::string n = std::to_string(leaves);
    std::string nodes = "[\n    {\n     \"attribute\": 0,\n     \"children\": [\n";
    for (std::size_t i = 1; i <= leaves; ++i)
        nodes += "      " + std::to_string(i) + (i < leaves ? ",\n" : "\n");
    nodes += "     ],\n     \"counts\": [\n      " + n + ",\n      " + n + "\n     ],\n";
    nodes += "     \"cuts\": [\n";
    for (std::size_t i = 1; i < leaves; ++i)
        nodes += "      " + std::to_string(i) + ".5" + (i + 1 < leaves ? ",\n" : "\n");
    nodes +=
        "     ],\n     \"depth\": 0,\n     \"label\": 0,\n     \"missing child\": 0,\n"
        "     \"pruned\": false,\n     \"strong\": false,\n     \"total\": " +
        std::to_string(2 * leaves) + ",\n     \"winner\": 0\n    }";
    const std::string leaf =
        ",\n    {\n     \"attribute\": -1,\n     \"counts\": [\n      1,\n      1\n     ],\n"
        "     \"depth\": 1,\n     \"label\": 0,\n     \"pruned\": false,\n     \"strong\": true,\n"
        "     \"total\": 2,\n     \"winner\": 0\n    }";
    for (std::size_t i = 0; i < leaves; ++i) nodes += leaf;
    nodes += "\n   ]";
    text.replace(text.find("\"NODES\""), 7, nodes);
    return text;
}

// Returns the address space this process holds, in bytes.
std::uint64_t addressSpace() {
    std::ifstream statm("/proc/self/statm");
    std::uint64_t pages = 0;
    statm >> pages;
    return pages * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
}

// A large model file is read within three times its size: in a child whose address space may
// grow by no more than that, the tree of a 30 MB file reads back whole. (nlohmann-json's DOM of
// it alone takes five times the file.)
TEST(ModelFile, ALargeModelFileIsReadWithinThreeTimesItsSize) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "address space limits do not apply under AddressSanitizer";
#endif
    const std::size_t leaves = 160000;
    const TempFolder folder;
    const fs::path path = folder.write("wide.model", wideTreeModel(leaves));
    const std::uint64_t size = fs::file_size(path);
    ASSERT_GT(size, 25u << 20);
    const pid_t child = fork();
    if (child == 0) {
        const rlimit limit{addressSpace() + 3 * size, RLIM_INFINITY};
        if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(3);
        try {
            const Result<JsonDocument> file = readModelDocument(path);
            if (!file) _exit(4);
            const ModelSchema schema = schemaFromJson(model_json::field(file->root(), "schema"));
            const auto model =
                interval::IntervalModel::load(model_json::field(file->root(), "model"), schema);
            _exit(model->tree().nodes().size() == leaves + 1 ? 0 : 5);
        } catch (const std::bad_alloc&) {
            _exit(6);
        }
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0)
        << "3: no limit, 4: not read, 5: nodes lost, 6: out of memory";
}

}  // namespace
}  // namespace mining
