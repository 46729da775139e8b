#include "pictures/node_histograms.h"

#include <gtest/gtest.h>

#include <numeric>

#include "../interval/interval_test_data.h"

namespace mining::pictures {
namespace {

using interval::testing::parseOrFail;
using interval::testing::rowRange;

std::size_t sum(const std::vector<std::uint32_t>& counts) {
    return std::accumulate(counts.begin(), counts.end(), std::size_t{0});
}

TEST(NodeHistograms, CountTheTrainingRecordsEachNodeHolds) {
    const Dataset data = parseOrFail(interval::testing::stepData(), interval::testing::kStepNames);
    interval::TreeOptions options = interval::testing::unpruned();
    options.bins = 2;
    const interval::IntervalTree tree =
        interval::IntervalTree::grow(data, rowRange(0, 40), options);
    const std::vector<bool> all(tree.nodes().size(), true);
    const std::vector<NodeHistogram> h = nodeHistograms(tree, data, rowRange(0, 40), all, 8);
    for (std::size_t i = 0; i < tree.nodes().size(); ++i) {
        const interval::TreeNode& n = tree.nodes()[i];
        if (n.isLeaf()) continue;
        SCOPED_TRACE(i);
        EXPECT_EQ(h[i].records, n.total);
        EXPECT_EQ(sum(h[i].counts) + h[i].missing, n.total);
        ASSERT_EQ(h[i].edges.size(), 9u);
        // Per class, the histogram holds the node's training counts.
        for (std::size_t c = 0; c < 2; ++c) {
            std::size_t ofClass = 0;
            for (std::size_t b = 0; b < 8; ++b) ofClass += h[i].counts[b * 2 + c];
            EXPECT_EQ(ofClass, n.counts[c]);
        }
    }
    EXPECT_DOUBLE_EQ(h[0].edges.front(), 0);
    EXPECT_DOUBLE_EQ(h[0].edges.back(), 39);
}

TEST(NodeHistograms, MissingValuesFollowTheLargestBranchAndUnknownClassesAreLeftOut) {
    // x: 0..9 A, 10..19 B; three records miss x (two of class B) and one misses the class.
    std::string text;
    for (int x = 0; x < 20; ++x) text += std::to_string(x) + (x < 10 ? ",A\n" : ",B\n");
    text += "?,B\n?,B\n?,A\n5,?\n";
    const Dataset data = parseOrFail(text, "A, B.\nx: continuous.\n");
    interval::TreeOptions options = interval::testing::unpruned();
    options.bins = 2;
    const std::vector<RowIndex> rows = rowRange(0, static_cast<RowIndex>(data.recordCount()));
    const interval::IntervalTree tree = interval::IntervalTree::grow(data, rows, options);
    const std::vector<bool> all(tree.nodes().size(), true);
    const std::vector<NodeHistogram> h = nodeHistograms(tree, data, rows, all, 4);
    EXPECT_EQ(h[0].records, 23u);
    EXPECT_EQ(h[0].missing, 3u);
    EXPECT_EQ(sum(h[0].counts), 20u);
    // A node not wanted is not counted; a leaf never is.
    std::vector<bool> none(tree.nodes().size(), false);
    for (const NodeHistogram& n : nodeHistograms(tree, data, rows, none, 4))
        EXPECT_EQ(n.records, 0u);
}

}  // namespace
}  // namespace mining::pictures
