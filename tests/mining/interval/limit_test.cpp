#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <sstream>
#include <string>

#include "interval/interval_model.h"
#include "interval/tree.h"
#include "interval/tree_report.h"
#include "interval_test_data.h"

namespace mining::interval {
namespace {

using testing::parseOrFail;
using testing::rowRange;

constexpr const char* kMixedNames = "A, B.\nx: continuous.\ny: continuous.\ng: p, q, r.\n";

// Returns `n` records whose class is (x < 50) xor (y < 30) xor (g = p), one in 20 flipped: a
// tree needs several levels for it and never quite finishes.
std::string mixedData(int n) {
    std::mt19937 random(7);
    std::string text;
    for (int i = 0; i < n; ++i) {
        const auto x = static_cast<int>(random() % 100);
        const auto y = static_cast<int>(random() % 100);
        const auto g = static_cast<int>(random() % 3);
        const bool noise = random() % 20 == 0;
        const bool a = ((x < 50) != (y < 30)) != (g == 0);
        text += std::to_string(x) + "," + std::to_string(y) + "," + "pqr"[g] +
                (a != noise ? ",A\n" : ",B\n");
    }
    return text;
}

TreeOptions limited(std::uint64_t workLimit) {
    TreeOptions o;
    o.pruneConfidence = 0;
    o.minSplit = 10;  // no node small enough for its three values of g to be near-empty
    o.workLimit = workLimit;
    return o;
}

// Expects the subtrees at a and b to be the same, branch for branch.
void expectSameSubtree(const IntervalTree& ta, std::uint32_t a, const IntervalTree& tb,
                       std::uint32_t b) {
    const TreeNode& x = ta.nodes()[a];
    const TreeNode& y = tb.nodes()[b];
    ASSERT_EQ(x.counts, y.counts) << a << " " << b;
    ASSERT_EQ(x.label, y.label);
    ASSERT_EQ(x.attribute, y.attribute);
    ASSERT_EQ(x.cuts, y.cuts);
    ASSERT_EQ(x.childValues, y.childValues);
    ASSERT_EQ(x.children.size(), y.children.size());
    for (std::size_t j = 0; j < x.children.size(); ++j) {
        expectSameSubtree(ta, x.children[j], tb, y.children[j]);
    }
}

// Expects every node's counts to add up to its total and its children's totals to its own, and
// every training record to reach a leaf by classify()'s path, as many as the leaf counted.
void expectRecordsReachLeaves(const IntervalTree& tree, const Dataset& data, RowIndex records) {
    const auto& nodes = tree.nodes();
    std::vector<std::uint32_t> reached(nodes.size(), 0);
    for (RowIndex r = 0; r < records; ++r) {
        std::uint32_t at = 0;
        while (!nodes[at].isLeaf()) {
            const TreeNode& n = nodes[at];
            const auto a = static_cast<std::size_t>(n.attribute);
            std::size_t j = 0;
            if (n.numeric) {
                const double v = data.numeric(a)[r];
                while (j < n.cuts.size() && v >= n.cuts[j]) ++j;
            } else {
                j = static_cast<std::size_t>(
                    n.childOfValue[static_cast<std::size_t>(data.nominal(a)[r])]);
            }
            at = n.children[j];
        }
        ++reached[at];
    }
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        std::uint32_t sum = 0;
        for (std::uint32_t c : nodes[i].counts) sum += c;
        EXPECT_EQ(sum, nodes[i].total) << i;
        if (nodes[i].isLeaf()) {
            EXPECT_EQ(reached[i], nodes[i].total) << i;
            continue;
        }
        std::uint32_t below = 0;
        for (std::uint32_t c : nodes[i].children) below += nodes[c].total;
        EXPECT_EQ(below, nodes[i].total) << i;
    }
}

TEST(IntervalLimit, LimitAboveTheWorkGrowsTheUnlimitedTree) {
    const Dataset data = parseOrFail(mixedData(2000), kMixedNames);
    const IntervalTree full = IntervalTree::grow(data, rowRange(0, 2000), limited(0));
    ASSERT_GT(full.depth(), 3);
    EXPECT_FALSE(full.growthStopped());
    EXPECT_EQ(full.nearEmptyLeaves(), 0u);

    // Level by level, with room to spare or exactly enough, the tree is the same, numbered
    // differently; and so is its report.
    for (const std::uint64_t limit : {full.workDone(), full.workDone() * 10}) {
        const IntervalTree levels = IntervalTree::grow(data, rowRange(0, 2000), limited(limit));
        EXPECT_FALSE(levels.growthStopped());
        EXPECT_EQ(levels.nearEmptyLeaves(), 0u);
        EXPECT_EQ(levels.workDone(), full.workDone());
        EXPECT_EQ(levels.nodes().size(), full.nodes().size());
        expectSameSubtree(full, 0, levels, 0);
        std::ostringstream a, b;
        describeModel(full, data, a);
        describeModel(levels, data, b);
        EXPECT_EQ(a.str(), b.str());
    }
    TreeOptions prunedOptions;
    prunedOptions.minSplit = 10;
    const IntervalTree pruned = IntervalTree::grow(data, rowRange(0, 2000), prunedOptions);
    TreeOptions prunedLimited = prunedOptions;
    prunedLimited.workLimit = full.workDone();
    expectSameSubtree(pruned, 0, IntervalTree::grow(data, rowRange(0, 2000), prunedLimited), 0);
}

TEST(IntervalLimit, SmallLimitStopsGrowthEvenlyAndKeepsEveryRecord) {
    const Dataset data = parseOrFail(mixedData(2000), kMixedNames);
    const IntervalTree full =
        IntervalTree::grow(data, rowRange(0, 2000), limited(~std::uint64_t{0}));
    for (const std::uint64_t limit :
         {std::uint64_t{1}, std::uint64_t{6000}, std::uint64_t{20000}, full.workDone() / 2}) {
        SCOPED_TRACE(limit);
        const IntervalTree cut = IntervalTree::grow(data, rowRange(0, 2000), limited(limit));
        EXPECT_TRUE(cut.growthStopped());
        EXPECT_LE(cut.workDone(), limit);
        EXPECT_LT(cut.nodes().size(), full.nodes().size());
        EXPECT_EQ(cut.nodesAtStop(), cut.nodes().size());
        expectRecordsReachLeaves(cut, data, 2000);
        // Growth went in the same order as without a cut: its nodes are the first ones of the
        // full tree, the ones it did not split being leaves of the same majority.
        for (std::size_t i = 0; i < cut.nodes().size(); ++i) {
            const TreeNode& c = cut.nodes()[i];
            const TreeNode& f = full.nodes()[i];
            ASSERT_EQ(c.counts, f.counts) << i;
            ASSERT_EQ(c.label, f.label) << i;
            if (!c.isLeaf()) {
                ASSERT_EQ(c.children, f.children) << i;
            }
        }
    }
    // The root's work: its 2000 records and the bins (20) or values (3) of each attribute times
    // the 2 classes. A limit one below leaves it a leaf of the majority; exactly that much
    // splits it alone.
    const std::uint64_t rootWork = 3 * 2000 + (20 + 20 + 3) * 2;
    const IntervalTree none = IntervalTree::grow(data, rowRange(0, 2000), limited(rootWork - 1));
    EXPECT_EQ(none.nodes().size(), 1u);
    EXPECT_EQ(none.workDone(), 0u);
    EXPECT_EQ(none.nodes()[0].label, full.nodes()[0].label);
    const IntervalTree root = IntervalTree::grow(data, rowRange(0, 2000), limited(rootWork));
    EXPECT_EQ(root.workDone(), rootWork);
    EXPECT_EQ(root.nodes()[0].children, full.nodes()[0].children);
    for (std::uint32_t c : root.nodes()[0].children) EXPECT_TRUE(root.nodes()[c].isLeaf());
}

TEST(IntervalLimit, SameLimitGrowsTheSameTree) {
    // Large enough that nodes are evaluated on several threads.
    const Dataset data = parseOrFail(mixedData(30000), kMixedNames);
    TreeOptions options;
    options.workLimit = 200000;
    const IntervalTree first = IntervalTree::grow(data, rowRange(0, 30000), options);
    const IntervalTree second = IntervalTree::grow(data, rowRange(0, 30000), options);
    EXPECT_TRUE(first.growthStopped());
    EXPECT_EQ(first.workDone(), second.workDone());
    EXPECT_EQ(first.nodesAtStop(), second.nodesAtStop());
    ASSERT_EQ(first.nodes().size(), second.nodes().size());
    expectSameSubtree(first, 0, second, 0);
    expectRecordsReachLeaves(first, data, 30000);
}

TEST(IntervalLimit, PassedDeadlineStopsGrowthAtTheNextNode) {
    const Dataset data = parseOrFail(mixedData(2000), kMixedNames);
    TreeOptions options = limited(~std::uint64_t{0});
    const IntervalTree full = IntervalTree::grow(data, rowRange(0, 2000), options);
    // A clock that moves one second a reading: the deadline passes at the fifth node looked at.
    double now = 0;
    const Deadline deadline([&now] { return now += 1; }, 4.5);
    options.deadline = &deadline;
    const IntervalTree cut = IntervalTree::grow(data, rowRange(0, 2000), options);
    EXPECT_TRUE(cut.growthStopped());
    EXPECT_TRUE(cut.stoppedByClock());
    // The four nodes looked at before split, as in the tree grown without a deadline.
    EXPECT_EQ(cut.nodesAtStop(), cut.nodes().size());
    const auto decisions = std::count_if(cut.nodes().begin(), cut.nodes().end(),
                                         [](const TreeNode& n) { return !n.isLeaf(); });
    EXPECT_EQ(decisions, 4);
    for (std::size_t i = 0; i < cut.nodes().size(); ++i)
        ASSERT_EQ(cut.nodes()[i].counts, full.nodes()[i].counts) << i;
    EXPECT_LT(cut.nodes().size(), full.nodes().size());
    EXPECT_EQ(cut.options().deadline, nullptr);
    expectRecordsReachLeaves(cut, data, 2000);
    const std::vector<std::string> notes = limitSentences(cut);
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_NE(notes[0].find("slower than planned"), std::string::npos) << notes[0];

    // A deadline not reached, or one without a work limit (growth then runs depth first, and
    // the limit is off), changes nothing.
    const Deadline later([] { return 0.0; }, 1);
    options.deadline = &later;
    expectSameSubtree(full, 0, IntervalTree::grow(data, rowRange(0, 2000), options), 0);
    TreeOptions free = limited(0);
    const IntervalTree unlimited = IntervalTree::grow(data, rowRange(0, 2000), free);
    free.deadline = &deadline;
    const IntervalTree ignored = IntervalTree::grow(data, rowRange(0, 2000), free);
    EXPECT_FALSE(ignored.growthStopped());
    expectSameSubtree(unlimited, 0, ignored, 0);
}

// Returns `n` records of one nominal attribute g of `values` values taking turns, class A for
// the first half of the values; and its names.
std::pair<std::string, std::string> manyValues(int n, int values) {
    std::string names = "A, B.\ng: ";
    for (int v = 0; v < values; ++v) {
        names += "v" + std::to_string(v) + (v + 1 < values ? ", " : ".\n");
    }
    std::string text;
    for (int i = 0; i < n; ++i) {
        const int v = i % values;
        text += "v" + std::to_string(v) + (v < values / 2 ? ",A\n" : ",B\n");
    }
    return {text, names};
}

TEST(IntervalLimit, SplitIntoNearEmptyBranchesIsALeafOnlyUnderALimit) {
    const auto [text, names] = manyValues(60, 40);  // 40 branches of 60 records
    const Dataset data = parseOrFail(text, names);
    const IntervalTree free = IntervalTree::grow(data, rowRange(0, 60), limited(0));
    EXPECT_EQ(free.nodes()[0].children.size(), 40u);
    EXPECT_EQ(free.nearEmptyLeaves(), 0u);

    IntervalModel model(limited(1000000));
    ASSERT_TRUE(model.train(data, rowRange(0, 60)));
    EXPECT_TRUE(model.tree().nodes()[0].isLeaf());
    EXPECT_EQ(model.tree().nearEmptyLeaves(), 1u);
    EXPECT_FALSE(model.tree().growthStopped());
    EXPECT_EQ(model.limitNotes(),
              std::vector<std::string>{"1 node that would split into near-empty branches was "
                                       "made a leaf."});
    std::ostringstream report;
    model.describe(data, report);
    EXPECT_NE(report.str().find("Work limit: 1 node that would split"), std::string::npos);

    // Two records a branch on average is not near-empty, and neither are a few branches of one
    // record each.
    for (const auto& [records, values] : std::vector<std::pair<int, int>>{{80, 40}, {40, 30}}) {
        const auto [even, evenNames] = manyValues(records, values);
        const Dataset evenData = parseOrFail(even, evenNames);
        const auto rows = rowRange(0, static_cast<RowIndex>(records));
        const IntervalTree split = IntervalTree::grow(evenData, rows, limited(1000000));
        EXPECT_EQ(split.nodes()[0].children.size(), static_cast<std::size_t>(values));
        EXPECT_EQ(split.nearEmptyLeaves(), 0u);
    }
}

TEST(IntervalLimit, NotesSayWhatTheLimitLeftOut) {
    const Dataset data = parseOrFail(mixedData(2000), kMixedNames);
    IntervalModel free(limited(0));
    ASSERT_TRUE(free.train(data, rowRange(0, 2000)));
    EXPECT_TRUE(free.limitNotes().empty());

    IntervalModel cut(limited(6000));  // below the root's work
    ASSERT_TRUE(cut.train(data, rowRange(0, 2000)));
    EXPECT_EQ(cut.limitNotes(), std::vector<std::string>{"Growth stopped at the work limit after "
                                                         "1 node; the tree is smaller than it "
                                                         "would grow without a limit."});
    std::ostringstream report;
    cut.describe(data, report);
    EXPECT_NE(report.str().find("Work limit: Growth stopped at the work limit after 1 node;"),
              std::string::npos);
    std::istringstream lines(report.str());
    for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 80u) << line;
}

}  // namespace
}  // namespace mining::interval
