#include "pictures/tree_picture.h"

#include <gtest/gtest.h>

#include <regex>

#include "../interval/interval_test_data.h"

namespace mining::pictures {
namespace {

using interval::testing::parseOrFail;
using interval::testing::rowRange;

// Two nominal attributes of four values; the class is the first's value, moved on by one where
// the second's is y or z: the root splits on a, each branch on b (1 + 4 + 16 nodes).
Dataset twoLevelData() {
    const char* as[] = {"p", "q", "r", "s"};
    const char* bs[] = {"w", "x", "y", "z"};
    std::string text;
    for (int copy = 0; copy < 6; ++copy)
        for (int a = 0; a < 4; ++a)
            for (int b = 0; b < 4; ++b)
                text += std::string(as[a]) + "," + bs[b] + ",k" +
                        std::to_string((a + (b >= 2 ? 1 : 0)) % 4) + "\n";
    return parseOrFail(text, "k0, k1, k2, k3.\na: p, q, r, s.\nb: w, x, y, z.\n");
}

interval::IntervalTree twoLevelTree(const Dataset& data) {
    interval::TreeOptions options = interval::testing::unpruned();
    return interval::IntervalTree::grow(data, rowRange(0, 96), options);
}

TEST(TreePicture, FoldsTheLevelsBeyondWhatFitsOpen) {
    const Dataset data = twoLevelData();
    const interval::IntervalTree tree = twoLevelTree(data);
    ASSERT_EQ(tree.nodes().size(), 21u);
    ASSERT_EQ(tree.depth(), 2);
    TreeLimits limits;
    limits.openNodes = 30;
    EXPECT_EQ(foldedDepth(tree, limits), 3);  // all 21 fit: nothing folds
    limits.openNodes = 20;
    EXPECT_EQ(foldedDepth(tree, limits), 2);
    limits.openNodes = 1;  // the root and its branches stay open, whatever the limit
    EXPECT_EQ(foldedDepth(tree, limits), 2);
    const std::string html = treePicture(tree, data, {rowRange(0, 96), true}, limits);
    // Each of the four branches of the root folds its own four.
    const std::regex details("<details><summary>4 nodes below \\(4 leaves\\)</summary>");
    EXPECT_EQ(std::distance(std::sregex_iterator(html.begin(), html.end(), details),
                            std::sregex_iterator()),
              4);
}

TEST(TreePicture, DrawsWholeLevelsOfBranchesWithinTheLimitAndSaysWhatIsLeftOut) {
    const Dataset data = twoLevelData();
    const interval::IntervalTree tree = twoLevelTree(data);
    TreeLimits limits;
    limits.drawnNodes = 12;  // the root, its 4 branches and the 4 of one of them: 9
    const std::vector<bool> drawn = drawnNodes(tree, limits);
    EXPECT_EQ(std::count(drawn.begin(), drawn.end(), true), 9);
    for (const interval::TreeNode& n : tree.nodes()) {
        if (n.isLeaf()) continue;
        const auto shown = std::count_if(n.children.begin(), n.children.end(),
                                         [&](std::uint32_t c) { return drawn[c]; });
        EXPECT_TRUE(shown == 0 || shown == static_cast<long>(n.children.size()));
    }
    const std::string html = treePicture(tree, data, {rowRange(0, 96), true}, limits);
    // On more records than the histograms count, they count a seeded sample, and say so.
    limits.histogramRecords = 50;
    const std::string sampled = treePicture(tree, data, {rowRange(0, 96), true}, limits);
    EXPECT_NE(sampled.find("a seeded sample of 50 of the 96 records"), std::string::npos);
    EXPECT_NE(sampled.find("among the node&#39;s 50 records"), std::string::npos);
    EXPECT_NE(sampled.find("<span class=\"n\">96 records</span>"), std::string::npos);
    const std::string notDrawn = "4 nodes below, not drawn (the page draws 12 nodes at most)";
    std::size_t count = 0;
    for (std::size_t at = html.find(notDrawn); at != std::string::npos;
         at = html.find(notDrawn, at + 1))
        ++count;
    EXPECT_EQ(count, 3u);
}

TEST(TreePicture, EveryNodeShowsItsRecordsAndEveryNameIsEscaped) {
    const Dataset data = parseOrFail("1,<b>&\n2,<b>&\n3,<b>&\n10,x\"y\n11,x\"y\n12,x\"y\n",
                                     "<b>&, x\"y.\nlen<gth: continuous.\n");
    ASSERT_EQ(data.recordCount(), 6u);
    interval::TreeOptions options = interval::testing::unpruned();
    options.bins = 2;
    const interval::IntervalTree tree = interval::IntervalTree::grow(data, rowRange(0, 6), options);
    ASSERT_GE(tree.nodes().size(), 3u);
    const std::string html = treePicture(tree, data, {rowRange(0, 6), true});
    // Every '&' starts an entity; no name is left raw.
    EXPECT_FALSE(std::regex_search(html, std::regex("&(?![a-z]+;|#[0-9]+;)")));
    EXPECT_EQ(html.find("len<gth"), std::string::npos);
    EXPECT_EQ(html.find("x\"y"), std::string::npos);
    EXPECT_NE(html.find("&lt;b&gt;&amp;"), std::string::npos);
    EXPECT_NE(html.find("x&quot;y"), std::string::npos);
    EXPECT_NE(html.find("<span class=\"n\">6 records</span>"), std::string::npos);
    // The histogram of the root counts all six records: three of each class.
    EXPECT_NE(html.find("6 records, by class"), std::string::npos);
}

}  // namespace
}  // namespace mining::pictures
