#include <gtest/gtest.h>

#include "interval/tree.h"
#include "interval_test_data.h"

namespace mining::interval {
namespace {

using testing::parseOrFail;
using testing::rowRange;

TEST(IntervalTree, StrongIntervalBecomesALeafEvenWhenImpure) {
    // With L = 3, t(2) = 8/9: below x = 9.5 the branch holds 9 A of 10 (0.9) and stops there.
    const Dataset data = parseOrFail(testing::stepData(), testing::kStepNames);
    TreeOptions options = testing::unpruned();
    options.bins = 2;
    options.maxDepth = 3;
    const IntervalTree tree = IntervalTree::grow(data, rowRange(0, 40), options);
    EXPECT_EQ(tree.classify(data, 3), 0);  // its training label was B
    EXPECT_EQ(tree.classify(data, 12), 1);
    EXPECT_EQ(tree.classify(data, 30), 1);
    const auto& nodes = tree.nodes();
    const auto it = std::find_if(nodes.begin(), nodes.end(), [](const TreeNode& n) {
        return n.isLeaf() && n.counts == std::vector<std::uint32_t>{9, 1};
    });
    ASSERT_NE(it, nodes.end());
    EXPECT_TRUE(it->strong);
    EXPECT_EQ(it->depth, 2);
    EXPECT_EQ(tree.depth(), 2);
    EXPECT_EQ(tree.leafCount(), 3u);
}

TEST(IntervalTree, WeakIntervalsAreSplitUntilStrong) {
    // With L = 10, t(2) = 0.99: 9 of 10 is weak, so x is cut again until x = 3 stands alone.
    const Dataset data = parseOrFail(testing::stepData(), testing::kStepNames);
    TreeOptions options = testing::unpruned();
    options.bins = 2;
    const IntervalTree tree = IntervalTree::grow(data, rowRange(0, 40), options);
    for (RowIndex r = 0; r < 40; ++r) EXPECT_EQ(tree.classify(data, r), data.classes()[r]) << r;
    EXPECT_EQ(tree.depth(), 6);
    for (const TreeNode& n : tree.nodes()) {
        if (n.isLeaf()) {
            EXPECT_TRUE(n.strong);
        }
    }
}

TEST(IntervalTree, SmallNodesGetFewerInitialIntervals) {
    // 40 records at about 20 per interval: 2 initial intervals instead of 20.
    const Dataset data = parseOrFail(testing::stepData(), testing::kStepNames);
    TreeOptions options = testing::unpruned();
    options.binRecords = 20;
    const IntervalTree coarse = IntervalTree::grow(data, rowRange(0, 40), options);
    EXPECT_EQ(coarse.nodes()[0].cuts, (std::vector<double>{19.5}));
    options.binRecords = 0;
    const IntervalTree fine = IntervalTree::grow(data, rowRange(0, 40), options);
    EXPECT_GT(fine.nodes()[0].cuts.size(), 1u);
}

TEST(IntervalTree, LeafRules) {
    const char* names = "A, B.\nx: continuous.\ng: p, q.\n";
    // Pure: one leaf.
    const Dataset pure = parseOrFail("1,p,A\n2,q,A\n3,p,A\n", names);
    EXPECT_EQ(IntervalTree::grow(pure, rowRange(0, 3), testing::unpruned()).nodes().size(), 1u);
    // Fewer than two records: one leaf of that record's class.
    const Dataset mixed = parseOrFail("1,p,B\n2,q,A\n3,p,A\n", names);
    const IntervalTree single = IntervalTree::grow(mixed, rowRange(0, 1), testing::unpruned());
    EXPECT_EQ(single.nodes().size(), 1u);
    EXPECT_EQ(single.classify(mixed, 2), 1);
    // No split with positive gain ratio: g = p and g = q hold one A and one B each, and x cannot
    // separate them into two parts. A leaf of the majority; the tie goes to the earlier class.
    const Dataset flat = parseOrFail("1,p,B\n1,p,A\n2,q,A\n2,q,B\n", names);
    const IntervalTree noGain = IntervalTree::grow(flat, rowRange(0, 4), testing::unpruned());
    EXPECT_EQ(noGain.nodes().size(), 1u);
    EXPECT_EQ(noGain.classify(flat, 0), 0);
    // len reaching L: with L = 1 only the root splits; its branches stay leaves, impure or not.
    const Dataset step = parseOrFail(testing::stepData(), testing::kStepNames);
    TreeOptions shallow = testing::unpruned();
    shallow.bins = 2;
    shallow.maxDepth = 1;
    const IntervalTree one = IntervalTree::grow(step, rowRange(0, 40), shallow);
    EXPECT_EQ(one.depth(), 1);
    EXPECT_EQ(one.nodes().size(), 3u);
    EXPECT_EQ(one.classify(step, 0), 1);  // below 19.5: 9 A, 11 B
}

TEST(IntervalTree, MissingValueFollowsTheBranchWithMostRecords) {
    const char* names = "A, B.\nx: continuous.\n";
    // Six A below 7, three B above; two records without x, both B, go with the six in
    // training, and a record without x is classified down that branch.
    const Dataset data =
        parseOrFail("1,A\n2,A\n3,A\n4,A\n5,A\n6,A\n10,B\n11,B\n12,B\n?,B\n?,B\n?,A\n", names);
    const IntervalTree tree = IntervalTree::grow(data, rowRange(0, 11), testing::unpruned());
    const TreeNode& root = tree.nodes()[0];
    ASSERT_FALSE(root.isLeaf());
    ASSERT_EQ(root.children.size(), 2u);
    EXPECT_EQ(root.missingChild, 0u);
    const TreeNode& big = tree.nodes()[root.children[0]];
    EXPECT_EQ(big.total, 8u);
    EXPECT_EQ(big.counts, (std::vector<std::uint32_t>{6, 2}));
    EXPECT_TRUE(big.strong);  // its strength comes from the records where x is known
    EXPECT_EQ(tree.classify(data, 11), 0);
    EXPECT_EQ(tree.classify(data, 9), 0);
}

TEST(IntervalTree, UnseenNominalValueGetsTheNodeMajority) {
    const char* names = "A, B.\ng: p, q, r, s.\n";
    // p: three A (the largest branch); q and s: two B each, so the root's majority is B.
    const Dataset data = parseOrFail("p,A\np,A\np,A\nq,B\nq,B\ns,B\ns,B\nr,A\n?,B\n", names);
    const IntervalTree tree = IntervalTree::grow(data, rowRange(0, 7), testing::unpruned());
    ASSERT_EQ(tree.nodes()[0].children.size(), 3u);
    EXPECT_EQ(tree.classify(data, 7), 1);  // r never seen in training: the majority, B
    EXPECT_EQ(tree.classify(data, 8), 0);  // missing: the largest branch, p, so A
}

TEST(IntervalTree, NominalAndNumericSplitsCombine) {
    // Class A when g = p and x < 5, or g = q and x >= 5: neither attribute alone decides.
    std::string text;
    for (int x = 0; x < 10; ++x) {
        text += std::to_string(x) + ",p," + (x < 5 ? "A" : "B") + "\n";
        text += std::to_string(x) + ".5,q," + (x >= 5 ? "A" : "B") + "\n";
    }
    const Dataset data = parseOrFail(text, "A, B.\nx: continuous.\ng: p, q.\n");
    const IntervalTree tree = IntervalTree::grow(data, rowRange(0, 20), testing::unpruned());
    for (RowIndex r = 0; r < 20; ++r) EXPECT_EQ(tree.classify(data, r), data.classes()[r]) << r;
}

}  // namespace
}  // namespace mining::interval
