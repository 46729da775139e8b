#include "interval/rules.h"

#include <gtest/gtest.h>

#include <cmath>

#include "interval/tree_report.h"
#include "interval_test_data.h"

namespace mining::interval {
namespace {

TEST(IntervalRules, AdjacentIntervalsOfAClassMerge) {
    const Dataset data = testing::parseOrFail(testing::stepData(), testing::kStepNames);
    TreeOptions options = testing::unpruned();
    options.bins = 2;
    options.maxDepth = 3;
    const IntervalTree tree = IntervalTree::grow(data, testing::rowRange(0, 40), options);
    const auto rules = extractRules(tree, data.attributes(), data.classCount());
    ASSERT_EQ(rules.size(), 2u);
    ASSERT_EQ(rules[0].conjunctions.size(), 1u);
    ASSERT_EQ(rules[0].conjunctions[0].size(), 1u);
    const Condition& a = rules[0].conjunctions[0][0];
    EXPECT_TRUE(std::isinf(a.lo));
    EXPECT_EQ(a.hi, 9.5);
    // B's two leaves, [9.5, 19.5) and [19.5, inf), join into one condition.
    ASSERT_EQ(rules[1].conjunctions.size(), 1u);
    ASSERT_EQ(rules[1].conjunctions[0].size(), 1u);
    EXPECT_EQ(conditionText(rules[1].conjunctions[0][0], data.attributes()), "x >= 9.5");
    EXPECT_EQ(conditionText(a, data.attributes()), "x < 9.5");
}

TEST(IntervalRules, ValuesUnseenInTrainingJoinTheMajority) {
    const Dataset data =
        testing::parseOrFail("p,A\np,A\np,A\nq,B\nq,B\ns,B\ns,B\n", "A, B.\ng: p, q, r, s.\n");
    const IntervalTree tree =
        IntervalTree::grow(data, testing::rowRange(0, 7), testing::unpruned());
    const auto rules = extractRules(tree, data.attributes(), data.classCount());
    ASSERT_EQ(rules[0].conjunctions.size(), 1u);
    EXPECT_EQ(conditionText(rules[0].conjunctions[0][0], data.attributes()), "g = p");
    ASSERT_EQ(rules[1].conjunctions.size(), 1u);
    EXPECT_EQ(conditionText(rules[1].conjunctions[0][0], data.attributes()), "g IN (q, r, s)");
}

TEST(IntervalRules, FiguresAddUpToTheTrainingRecordsAndTheLargestComeFirst) {
    // Unmerged (many small leaves of a wide tree) and merged alike: every training record is in
    // one leaf, so the supports add up to them all, and the right ones to the leaves' majorities.
    const Dataset data = testing::parseOrFail(testing::stepData(), testing::kStepNames);
    for (const std::size_t maxToMerge : {std::size_t{0}, std::size_t{2000}}) {
        const IntervalTree tree =
            IntervalTree::grow(data, testing::rowRange(0, 40), testing::unpruned());
        std::uint64_t majorities = 0;
        for (const TreeNode& n : tree.nodes())
            if (n.isLeaf()) majorities += n.counts[static_cast<std::size_t>(n.label)];
        std::uint64_t support = 0;
        std::uint64_t correct = 0;
        for (const RuleSet& r :
             extractRules(tree, data.attributes(), data.classCount(), maxToMerge)) {
            ASSERT_EQ(r.figures.size(), r.conjunctions.size());
            for (std::size_t i = 0; i < r.figures.size(); ++i) {
                support += r.figures[i].support;
                correct += r.figures[i].correct;
                if (i > 0) {
                    EXPECT_GE(r.figures[i - 1].support, r.figures[i].support);
                }
            }
        }
        EXPECT_EQ(support, 40u) << maxToMerge;
        EXPECT_EQ(correct, majorities) << maxToMerge;
    }
}

TEST(IntervalRules, ConditionsOnOneAttributeAlongAPathIntersect) {
    // x is cut twice on the way to x = 3 (see the tree test): each rule holds one interval.
    const Dataset data = testing::parseOrFail(testing::stepData(), testing::kStepNames);
    TreeOptions options = testing::unpruned();
    options.bins = 2;
    const IntervalTree tree = IntervalTree::grow(data, testing::rowRange(0, 40), options);
    const auto rules = extractRules(tree, data.attributes(), data.classCount());
    for (const RuleSet& r : rules) {
        for (const Conjunction& c : r.conjunctions) EXPECT_EQ(c.size(), 1u);
    }
    // B holds exactly on [2.5, 3.5) and from 9.5 on, so it needs two conjunctions.
    ASSERT_EQ(rules[1].conjunctions.size(), 2u);
    std::vector<std::string> texts;
    for (const Conjunction& c : rules[1].conjunctions) {
        texts.push_back(conditionText(c[0], data.attributes()));
    }
    std::sort(texts.begin(), texts.end());
    EXPECT_EQ(texts, (std::vector<std::string>{"2.5 <= x < 3.5", "x >= 9.5"}));
}

TEST(IntervalRules, ValuesAreQuotedWhenTheyHoldSeparators) {
    std::vector<Attribute> attributes(1);
    attributes[0].name = "colour";
    attributes[0].type = AttributeType::Nominal;
    attributes[0].values = {"dark red", "it's", "plain"};
    Condition c;
    c.attribute = 0;
    c.values = {0, 1, 2};
    EXPECT_EQ(conditionText(c, attributes), "colour IN ('dark red', 'it''s', plain)");
}

}  // namespace
}  // namespace mining::interval
