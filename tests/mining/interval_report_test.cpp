#include <gtest/gtest.h>

#include <sstream>

#include "interval/interval_model.h"
#include "interval/report.h"
#include "interval_test_data.h"

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
              "x < 19.5: B weak, 20 records\n"
              "|   x < 9.5: A strong, 10 records -> A\n"
              "|   x >= 9.5: B strong, 10 records -> B\n"
              "x >= 19.5: B strong, 20 records -> B\n"
              "\n"
              "Rules (a record that misses a value tested by the tree follows the branch\n"
              "with the most training records, which these rules do not show):\n"
              "\n"
              "Class A when\n"
              "      x < 9.5\n"
              "\n"
              "Class B when\n"
              "      x >= 9.5\n");
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
                        "x < 19.5: B weak, 20 records\n"
                        "|   ... 6 leaves below\n"
                        "x >= 19.5: B strong, 20 records -> B\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("   ... and 1 more conjunctions\n"), std::string::npos) << text;
    for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
         start = end + 1) {
        EXPECT_LE(end - start, 80u) << text.substr(start, end - start);
    }
}

TEST(IntervalReport, LongConjunctionsWrapAfterAnAnd) {
    const std::string name = "a_long_attribute_name_to_wrap";  // 29 characters
    const Dataset data =
        testing::parseOrFail(testing::stepData(), "A, B.\n" + name + ": continuous.\n");
    TreeOptions options = testing::unpruned();
    options.bins = 2;
    std::ostringstream out;
    describeModel(IntervalTree::grow(data, testing::rowRange(0, 40), options), data, out);
    const std::string text = out.str();
    EXPECT_NE(text.find("   OR " + name + " >= 3.5 AND\n          " + name + " < 9.5\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("|   |   |   |   |   " + name +
                        " >= 3.5:\n"
                        "|   |   |   |   |         A strong, 1 record -> A\n"),
              std::string::npos)
        << text;
    for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
         start = end + 1) {
        EXPECT_LE(end - start, 80u) << text.substr(start, end - start);
    }
}

}  // namespace
}  // namespace mining::interval
