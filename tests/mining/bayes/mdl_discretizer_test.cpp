#include "bayes/mdl_discretizer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace mining {
namespace {

TEST(MdlDiscretizer, CutsBetweenCleanlySeparatedClasses) {
    std::vector<ValueClass> v;
    for (int i = 0; i < 30; ++i)
        v.push_back({static_cast<double>(i), i < 10 ? 0 : (i < 20 ? 1 : 2)});
    EXPECT_EQ(mdlCutPoints(v, 3), (std::vector<double>{9.5, 19.5}));
}

TEST(MdlDiscretizer, MakesNoCutThatDoesNotPayForItself) {
    std::vector<ValueClass> alternating;
    for (int i = 0; i < 40; ++i) alternating.push_back({static_cast<double>(i), i % 2});
    EXPECT_TRUE(mdlCutPoints(alternating, 2).empty());
    std::vector<ValueClass> oneClass{{1, 1}, {2, 1}, {3, 1}};
    EXPECT_TRUE(mdlCutPoints(oneClass, 2).empty());
    std::vector<ValueClass> sameValue{{4, 0}, {4, 1}, {4, 0}, {4, 1}};
    EXPECT_TRUE(mdlCutPoints(sameValue, 2).empty());
    std::vector<ValueClass> none;
    EXPECT_TRUE(mdlCutPoints(none, 2).empty());
}

TEST(MdlDiscretizer, NeverCutsBetweenEqualValues) {
    // Class changes inside a run of equal values: the cut must fall between distinct values.
    std::vector<ValueClass> v;
    for (int i = 0; i < 12; ++i) v.push_back({1.0, 0});
    for (int i = 0; i < 3; ++i) v.push_back({2.0, 0});
    for (int i = 0; i < 3; ++i) v.push_back({2.0, 1});
    for (int i = 0; i < 12; ++i) v.push_back({3.0, 1});
    const std::vector<double> cuts = mdlCutPoints(v, 2);
    ASSERT_FALSE(cuts.empty());
    for (double c : cuts) EXPECT_TRUE(c == 1.5 || c == 2.5) << c;
}

// Returns the runs of `pairs`: each distinct value once, with its class counts.
ValueRuns runsOf(std::vector<ValueClass> pairs, std::size_t classCount) {
    std::sort(pairs.begin(), pairs.end(),
              [](const ValueClass& a, const ValueClass& b) { return a.value < b.value; });
    ValueRuns runs;
    for (const ValueClass& p : pairs) {
        if (runs.values.empty() || runs.values.back() != p.value) {
            runs.values.push_back(p.value);
            runs.counts.resize(runs.counts.size() + classCount, 0);
        }
        ++runs.counts[(runs.values.size() - 1) * classCount +
                      static_cast<std::size_t>(p.classCode)];
    }
    return runs;
}

// The same values as pairs, as decimal keys and as runs of distinct values with their class
// counts (what processes holding some of the values each can send): the same cuts.
TEST(MdlDiscretizer, DecimalKeysAndRunsGiveTheSameCutsAsPairs) {
    std::mt19937_64 engine(11);
    for (int round = 0; round < 40; ++round) {
        std::vector<ValueClass> pairs;
        std::vector<std::uint64_t> keys;
        const int n = 50 + static_cast<int>(engine() % 400);
        for (int i = 0; i < n; ++i) {
            // Values -5.00 .. 5.00 with many repeats; the class leans on the value, with noise.
            // Later rounds: values of few repeats, and runs of one class.
            const auto mantissa = round < 20 ? static_cast<std::int32_t>(engine() % 101) * 10 - 500
                                             : static_cast<std::int32_t>(engine() % 1001) - 500;
            std::int32_t c = mantissa < -100 ? 0 : (mantissa < 200 ? 1 : 2);
            if (engine() % 5 == 0) c = static_cast<std::int32_t>(engine() % 3);
            pairs.push_back({mantissa / 100.0, c});
            keys.push_back(packDecimal(mantissa, c));
        }
        const ValueRuns runs = runsOf(pairs, 3);
        const std::vector<double> expected = mdlCutPoints(pairs, 3);
        EXPECT_EQ(mdlCutPointsOfDecimals(keys, 100.0, 3), expected) << round;
        EXPECT_EQ(mdlCutPointsOfRuns(runs, 3), expected) << round;
        if (round == 0) {
            EXPECT_FALSE(expected.empty());
        }
    }
}

TEST(MdlDiscretizer, BinOfCountsCutsBelowTheValue) {
    const std::vector<double> cuts{1.5, 4.0};
    EXPECT_EQ(binOf(cuts, 1.0), 0u);
    EXPECT_EQ(binOf(cuts, 1.5), 0u);
    EXPECT_EQ(binOf(cuts, 2.0), 1u);
    EXPECT_EQ(binOf(cuts, 9.0), 2u);
    EXPECT_EQ(binOf({}, 9.0), 0u);
}

}  // namespace
}  // namespace mining
