#include "interval/prune.h"

#include <gtest/gtest.h>

#include "interval_test_data.h"

namespace mining::interval {
namespace {

TEST(IntervalPrune, EstimatedErrorsMatchTheBinomialLimits) {
    // No errors: n (1 - cf^(1/n)), e.g. 6 (1 - 0.25^(1/6)) = 1.2378 and 0.75 for one record.
    EXPECT_NEAR(estimatedErrors(6, 0, 0.25), 1.2378, 1e-4);
    EXPECT_NEAR(estimatedErrors(1, 0, 0.25), 0.75, 1e-12);
    // One error in 16: the exact binomial limit is 0.157 per record; the normal approximation
    // comes within a few hundredths of a record.
    EXPECT_NEAR(estimatedErrors(16, 1, 0.25), 16 * 0.157, 0.05);
    // A lower confidence level is more pessimistic.
    EXPECT_GT(estimatedErrors(16, 1, 0.1), estimatedErrors(16, 1, 0.25));
    // Never below the training errors, and more errors never estimate fewer.
    for (int e = 0; e <= 20; ++e) {
        EXPECT_GE(estimatedErrors(20, e, 0.25), e);
        if (e > 0) {
            EXPECT_GT(estimatedErrors(20, e, 0.25), estimatedErrors(20, e - 1, 0.25));
        }
    }
}

TEST(IntervalPrune, LoneExceptionIsPrunedAwayAndTheRealStepKept) {
    const Dataset data = testing::parseOrFail(testing::stepData(), testing::kStepNames);
    TreeOptions options = testing::unpruned();
    options.bins = 2;
    const IntervalTree grown = IntervalTree::grow(data, testing::rowRange(0, 40), options);
    EXPECT_EQ(grown.classify(data, 3), 1);  // grown, the tree isolates x = 3
    options.pruneConfidence = 0.25;
    const IntervalTree pruned = IntervalTree::grow(data, testing::rowRange(0, 40), options);
    EXPECT_LT(pruned.nodes().size(), grown.nodes().size());
    EXPECT_EQ(pruned.depth(), 2);
    EXPECT_EQ(pruned.classify(data, 3), 0);
    EXPECT_EQ(pruned.classify(data, 5), 0);
    EXPECT_EQ(pruned.classify(data, 12), 1);
    EXPECT_EQ(pruned.classify(data, 35), 1);
    // Renumbered: every child comes after its parent and every node is reachable once.
    std::vector<int> seen(pruned.nodes().size(), 0);
    seen[0] = 1;
    for (std::size_t i = 0; i < pruned.nodes().size(); ++i) {
        for (std::uint32_t c : pruned.nodes()[i].children) {
            ASSERT_LT(c, pruned.nodes().size());
            EXPECT_GT(c, i);
            ++seen[c];
        }
    }
    for (int s : seen) EXPECT_EQ(s, 1);
    // The leaf below 9.5 is marked as pruned; the untouched leaves are not.
    int prunedLeaves = 0;
    for (const TreeNode& n : pruned.nodes()) {
        if (n.pruned) {
            ++prunedLeaves;
            EXPECT_TRUE(n.isLeaf());
            EXPECT_EQ(n.counts, (std::vector<std::uint32_t>{9, 1}));
        }
    }
    EXPECT_EQ(prunedLeaves, 1);
}

}  // namespace
}  // namespace mining::interval
