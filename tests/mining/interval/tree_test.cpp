#include "interval/tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "interval/interval_model.h"
#include "interval/rules.h"
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

// Returns records of two numeric attributes and one nominal one, with about 2 % of each
// attribute missing; the numeric values are written with `suffix` after them.
std::string noisyRecords(int count, const std::string& suffix) {
    std::mt19937 random(11);
    std::string text;
    for (int i = 0; i < count; ++i) {
        const auto x = static_cast<int>(random() % 100000);
        const int y = static_cast<int>(random() % 2000) - 1000;
        const char g = "pqr"[random() % 3];
        const bool noise = random() % 8 == 0;
        const bool a = (((x > 40000) == (g == 'p')) != (y > 600)) != noise;
        std::string fields[] = {std::to_string(x / 100) + "." + std::to_string(x % 100 / 10) +
                                    std::to_string(x % 10) + suffix,
                                std::to_string(y) + suffix, std::string(1, g)};
        for (std::string& f : fields) {
            if (random() % 50 == 0) f = "?";
            text += f + ",";
        }
        text += a ? "A\n" : "B\n";
    }
    return text;
}

TEST(IntervalTree, DecimalAndDoubleColumnsGrowTheSameTree) {
    // The same values stored as decimal mantissas and, written with an exponent, as doubles:
    // every node, cut and count agrees. 30000 records make the large nodes work on threads.
    const char* names = "A, B.\nx: continuous.\ny: continuous.\ng: p, q, r.\n";
    const Dataset decimal = parseOrFail(noisyRecords(30000, ""), names);
    const Dataset doubles = parseOrFail(noisyRecords(30000, "e0"), names);
    ASSERT_TRUE(decimal.numeric(0).decimals());
    ASSERT_FALSE(doubles.numeric(0).decimals());
    std::vector<RowIndex> rows;
    for (RowIndex r = 0; r < 30000; r += 3) rows.push_back(r);
    for (RowIndex r = 1; r < 30000; r += 3) rows.push_back(r);  // not ascending
    for (Binning binning : {Binning::EqualWidth, Binning::EqualCount}) {
        TreeOptions options;
        options.binning = binning;
        const IntervalTree a = IntervalTree::grow(decimal, rows, options);
        const IntervalTree b = IntervalTree::grow(doubles, rows, options);
        ASSERT_GT(a.nodes().size(), 20u);
        ASSERT_EQ(a.nodes().size(), b.nodes().size());
        for (std::size_t i = 0; i < a.nodes().size(); ++i) {
            const TreeNode& n = a.nodes()[i];
            const TreeNode& m = b.nodes()[i];
            EXPECT_EQ(n.attribute, m.attribute) << i;
            EXPECT_EQ(n.cuts, m.cuts) << i;
            EXPECT_EQ(n.counts, m.counts) << i;
            EXPECT_EQ(n.children, m.children) << i;
            EXPECT_EQ(n.missingChild, m.missingChild) << i;
            EXPECT_EQ(n.pruned, m.pruned) << i;
        }
        // Each node's records went to the branch its cuts name: the leaves' counts add up to
        // the training records a classification by the cuts sends there.
        std::vector<std::uint32_t> reached(a.nodes().size(), 0);
        for (RowIndex r : rows) {
            const TreeNode* node = &a.nodes()[0];
            std::size_t index = 0;
            while (!node->isLeaf()) {
                const auto at = static_cast<std::size_t>(node->attribute);
                std::size_t j = node->missingChild;
                if (node->numeric && !isMissing(decimal.numeric(at)[r])) {
                    const double v = decimal.numeric(at)[r];
                    j = static_cast<std::size_t>(
                        std::upper_bound(node->cuts.begin(), node->cuts.end(), v) -
                        node->cuts.begin());
                } else if (!node->numeric && decimal.nominal(at)[r] != kMissingCode) {
                    j = static_cast<std::size_t>(
                        node->childOfValue[static_cast<std::size_t>(decimal.nominal(at)[r])]);
                }
                index = node->children[j];
                node = &a.nodes()[index];
            }
            ++reached[index];
        }
        for (std::size_t i = 0; i < a.nodes().size(); ++i) {
            if (a.nodes()[i].isLeaf()) {
                EXPECT_EQ(reached[i], a.nodes()[i].total) << i;
            }
        }
    }
}

TEST(IntervalTree, ModelPredictsManyRowsAsOneByOne) {
    // More rows than one chunk, so the rows are shared between threads.
    const char* names = "A, B.\nx: continuous.\ny: continuous.\ng: p, q, r.\n";
    const Dataset data = parseOrFail(noisyRecords(150000, ""), names);
    IntervalModel model{TreeOptions{}};
    ASSERT_TRUE(model.train(data, rowRange(0, 50000)));
    const std::vector<RowIndex> rows = rowRange(50000, 150000);
    std::vector<std::int32_t> predicted;
    model.predictRows(data, rows, predicted);
    ASSERT_EQ(predicted.size(), rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        ASSERT_EQ(predicted[i], model.predict(data, rows[i])) << rows[i];
    }
}

TEST(IntervalTree, SplitWithManyBranchesKeepsEachBranchsRecords) {
    // 300 values of g: class A below v150, B from there, flipped where x = 9. The root splits
    // on g into more branches than a byte can number, and each branch must then find its
    // one flipped record by x among its own records.
    std::string names = "A, B.\nx: continuous.\ng: ";
    for (int v = 0; v < 300; ++v) names += "v" + std::to_string(v) + (v < 299 ? ", " : ".\n");
    std::string text;
    for (int i = 0; i < 3000; ++i) {
        const int g = i % 300;
        const int x = i / 300;
        text += std::to_string(x) + ",v" + std::to_string(g) +
                ((g < 150) != (x == 9) ? ",A\n" : ",B\n");
    }
    const Dataset data = parseOrFail(text, names);
    const IntervalTree tree = IntervalTree::grow(data, rowRange(0, 3000), testing::unpruned());
    ASSERT_EQ(tree.nodes()[0].children.size(), 300u);
    for (RowIndex r = 0; r < 3000; ++r) ASSERT_EQ(tree.classify(data, r), data.classes()[r]) << r;
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

// Returns whether record `r` of `data` meets every condition of `conjunction`.
bool holds(const Conjunction& conjunction, const Dataset& data, RowIndex r) {
    for (const Condition& c : conjunction) {
        const auto a = static_cast<std::size_t>(c.attribute);
        if (c.numeric) {
            const double v = data.numeric(a)[r];
            if (!(v >= c.lo && v < c.hi)) return false;
        } else if (!std::binary_search(c.values.begin(), c.values.end(), data.nominal(a)[r])) {
            return false;
        }
    }
    return true;
}

// Returns whether record `r` of `data` has a value of every attribute.
bool complete(const Dataset& data, RowIndex r) {
    for (std::size_t a = 0; a < data.attributeCount(); ++a) {
        const AttributeType type = data.attribute(a).type;
        if (type == AttributeType::Numeric && isMissing(data.numeric(a)[r])) return false;
        if (type == AttributeType::Nominal && data.nominal(a)[r] == kMissingCode) return false;
    }
    return true;
}

// The example sets grown with a limit of branches, pruned and not: no numeric split has more
// branches than the limit (where the unlimited tree has more), and the rules give every complete
// training record the tree's class.
TEST(IntervalTree, LimitedSplitsKeepTheirBranchesAndTheirRules) {
    for (const char* name : {"iris", "diabetes", "labor", "breast-cancer"}) {
        const Result<Dataset> data = readDataset(std::string(EXAMPLES_DIR) + "/" + name);
        ASSERT_TRUE(data) << data.error();
        const std::vector<RowIndex> rows = rowRange(0, static_cast<RowIndex>(data->recordCount()));
        std::size_t widest = 0;  // of a numeric split without a limit
        const IntervalTree unlimited = IntervalTree::grow(*data, rows, testing::unpruned());
        for (const TreeNode& n : unlimited.nodes())
            if (n.numeric) widest = std::max(widest, n.children.size());
        for (const int most : {2, 3}) {
            for (const double prune : {0.25, 0.0}) {
                SCOPED_TRACE(std::string(name) + ", B = " + std::to_string(most) + ", prune " +
                             std::to_string(prune));
                TreeOptions options;
                options.maxBranches = most;
                options.pruneConfidence = prune;
                const IntervalTree tree = IntervalTree::grow(*data, rows, options);
                std::size_t numericSplits = 0;
                for (const TreeNode& n : tree.nodes()) {
                    if (n.isLeaf() || !n.numeric) continue;
                    ++numericSplits;
                    EXPECT_LE(n.children.size(), static_cast<std::size_t>(most));
                }
                if (std::string(name) != "breast-cancer") {
                    EXPECT_GT(numericSplits, 0u);
                }
                const auto rules = extractRules(tree, data->attributes(), data->classCount());
                for (const RowIndex r : rows) {
                    if (!complete(*data, r)) continue;
                    std::vector<std::int32_t> classes;
                    for (const RuleSet& set : rules)
                        for (const Conjunction& c : set.conjunctions)
                            if (holds(c, *data, r)) classes.push_back(set.classCode);
                    ASSERT_EQ(classes, std::vector<std::int32_t>{tree.classify(*data, r)}) << r;
                }
            }
        }
        if (std::string(name) == "iris" || std::string(name) == "diabetes") {
            EXPECT_GT(widest, 3u);
        }
    }
}

}  // namespace
}  // namespace mining::interval
