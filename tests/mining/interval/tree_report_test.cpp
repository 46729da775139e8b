#include "interval/tree_report.h"

#include <gtest/gtest.h>

#include <sstream>

#include "interval/interval_model.h"
#include "interval_test_data.h"
#include "util/display_width.h"

namespace mining::interval {
namespace {

TEST(IntervalReport, TreeAndRulesSection) {
    const Dataset data = testing::parseOrFail(testing::stepData(), testing::kStepNames);
    TreeOptions options = testing::unpruned();
    options.bins = 2;
    options.maxDepth = 3;
    IntervalModel model(options);
    const auto rows = testing::rowRange(0, 40);
    ASSERT_TRUE(model.train(data, rows).ok());
    std::ostringstream out;
    model.describe(data, out);
    EXPECT_EQ(out.str(),
              "Initial intervals per numeric attribute: 2 of equal width\n"
              "Maximum depth L: 3\n"
              "Pruning: none\n"
              "Strength threshold t(len), len = 1, 2, ...: 1.00 0.89 0.56\n"
              "\n"
              "Tree: 5 nodes, 3 leaves, depth 2\n"
              "All 40 training records: A 9, B 31\n"
              "x < 19.5: 20 records (B 11, A 9), weak\n"
              "|   x < 9.5: 10 records (A 9, B 1), strong -> A\n"
              "|   x >= 9.5: 10 records (B 10), strong -> B\n"
              "x >= 19.5: 20 records (B 20), strong -> B\n"
              "\n"
              "Rules, the largest first (a record that misses a value tested by the tree\n"
              "follows the branch with the most training records, which these rules do not\n"
              "show; [N records, P % right]: the training records the rule's leaves hold, and\n"
              "the share of them of its class):\n"
              "\n"
              "Class A when\n"
              "      x < 9.5 [10 records, 90.0 % right]\n"
              "\n"
              "Class B when\n"
              "      x >= 9.5 [30 records, 100.0 % right]\n");
}

TEST(IntervalReport, LargeTreeIsSummarisedByItsFirstLevels) {
    const Dataset data = testing::parseOrFail(testing::stepData(), testing::kStepNames);
    TreeOptions options = testing::unpruned();
    options.bins = 2;
    const IntervalTree tree = IntervalTree::grow(data, testing::rowRange(0, 40), options);
    ReportLimits limits;
    limits.maxLeaves = 3;
    limits.summaryLevels = 1;
    limits.maxConjunctions = 1;
    std::ostringstream out;
    describeModel(tree, data, out, limits);
    const std::string text = out.str();
    EXPECT_NE(text.find("The tree has more than 3 leaves; its first 1 levels:\n"
                        "x < 19.5: 20 records (B 11, A 9), weak\n"
                        "|   ... 6 leaves below\n"
                        "x >= 19.5: 20 records (B 20), strong -> B\n"),
              std::string::npos)
        << text;
    // The shortened list keeps the largest rule and says what the rest hold.
    EXPECT_NE(text.find("Class A when\n      3.5 <= x < 9.5 [6 records, 100.0 % right]\n"
                        "   ... and 1 more conjunctions, the smaller ones, holding 3 training "
                        "records\n"),
              std::string::npos)
        << text;
    for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
         start = end + 1) {
        EXPECT_LE(end - start, 80u) << text.substr(start, end - start);
    }
}

// Returns the lines of `text` wider than 80 columns.
std::vector<std::string> linesOver80(const std::string& text) {
    std::vector<std::string> over;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (displayWidth(line) > 80) over.push_back(line);
    }
    return over;
}

TEST(IntervalReport, LongConditionsBreakBeforeAComparison) {
    const std::string name(60, 'n');
    const Dataset data =
        testing::parseOrFail(testing::stepData(), "A, B.\n" + name + ": continuous.\n");
    TreeOptions options = testing::unpruned();
    options.bins = 2;
    std::ostringstream out;
    describeModel(IntervalTree::grow(data, testing::rowRange(0, 40), options), data, out);
    const std::string text = out.str();
    EXPECT_NE(text.find("      3.5 <= " + name + "\n          < 9.5 [6 records, 100.0 % right]\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("\n" + name + " < 19.5:\n      20 records (B 11, A 9), weak\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(linesOver80(text), std::vector<std::string>{});
}

TEST(IntervalReport, DeepTreesKeepABoundedIndent) {
    // One A at x = 0 among 1024 B: each split halves the range around it, a level deeper.
    std::string records;
    for (int i = 0; i < 1024; ++i) records += std::to_string(i) + (i == 0 ? ",A\n" : ",B\n");
    const Dataset data = testing::parseOrFail(records, testing::kStepNames);
    TreeOptions options = testing::unpruned();
    options.bins = 2;
    options.binRecords = 0;
    options.maxDepth = 40;
    const IntervalTree tree = IntervalTree::grow(data, testing::rowRange(0, 1024), options);
    ASSERT_GT(tree.depth(), kIndentLevels + 1);
    std::ostringstream out;
    describeModel(tree, data, out);
    const std::string text = out.str();
    const std::string deepest = "|   |   |   |   |   |   [" + std::to_string(tree.depth()) + "] x";
    EXPECT_NE(text.find("\n" + deepest), std::string::npos) << text;
    EXPECT_NE(text.find("show their level as [n]"), std::string::npos);
    EXPECT_EQ(text.find(std::string("|   ") + "|   |   |   |   |   |   |   |"), std::string::npos);
    EXPECT_EQ(linesOver80(text), std::vector<std::string>{});
}

TEST(IntervalReport, ManyClassesWrapTheCountsLine) {
    std::string records;
    std::string classes;
    for (int c = 0; c < 30; ++c) {
        const std::string name = "class_number_" + std::to_string(c);
        classes += (c ? ", " : "") + name;
        records += std::to_string(c) + "," + name + "\n";
    }
    const Dataset data = testing::parseOrFail(records, classes + ".\nx: continuous.\n");
    std::ostringstream out;
    describeModel(IntervalTree::grow(data, testing::rowRange(0, 30), testing::unpruned()), data,
                  out);
    const std::string text = out.str();
    EXPECT_NE(text.find("All 30 training records: class_number_0 1, class_number_1 1,"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("class_number_9 1, ...\n"), std::string::npos) << text;
    EXPECT_EQ(linesOver80(text), std::vector<std::string>{});
}

}  // namespace
}  // namespace mining::interval
