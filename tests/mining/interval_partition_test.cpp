#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "interval/partition.h"

namespace mining::interval {
namespace {

Bin bin(double lo, double hi, std::uint32_t a, std::uint32_t b) { return Bin{lo, hi, {a, b}}; }

TEST(IntervalPartition, SmoothedWinnerWeighsNeighbours) {
    const Bin prev = bin(0, 1, 5, 0);
    const Bin mid = bin(2, 3, 1, 2);
    const Bin next = bin(4, 5, 5, 0);
    // 5 + 2*1 + 5 = 12 for A against 0 + 2*2 + 0 = 4 for B.
    EXPECT_EQ(smoothedWinner(&prev, mid, &next), 0);
    EXPECT_EQ(smoothedWinner(nullptr, mid, nullptr), 1);
    // 2*1 + 1 = 3 each: the earlier class wins the tie.
    const Bin tie = bin(0, 1, 1, 1);
    const Bin right = bin(2, 3, 1, 1);
    EXPECT_EQ(smoothedWinner(nullptr, tie, &right), 0);
}

TEST(IntervalPartition, NeighboursWithSameWinnerAndStrengthMerge) {
    const std::vector<Bin> bins = {bin(1, 2, 4, 0), bin(3, 4, 3, 0), bin(5, 6, 0, 5),
                                   bin(7, 8, 0, 4), bin(9, 10, 1, 3)};
    const NumericPartition p = mergeBins(bins, 1, 10);
    ASSERT_EQ(p.parts.size(), 3u);
    EXPECT_EQ(p.cuts, (std::vector<double>{4.5, 8.5}));
    EXPECT_EQ(p.parts[0].counts, (std::vector<std::uint32_t>{7, 0}));
    EXPECT_EQ(p.parts[0].winner, 0);
    EXPECT_TRUE(p.parts[0].strong);
    EXPECT_EQ(p.parts[1].counts, (std::vector<std::uint32_t>{0, 9}));
    EXPECT_EQ(p.parts[1].total, 9u);
    EXPECT_TRUE(p.parts[1].strong);
    EXPECT_EQ(p.parts[2].winner, 1);
    EXPECT_FALSE(p.parts[2].strong);  // 3 of 4 is not pure, and len 1 needs purity
}

TEST(IntervalPartition, StrengthComesFromRawCountsAndSplitsEqualWinners) {
    // The middle interval's smoothed winner is A, but only 1 of its 3 records is A: weak, so it
    // stays apart from its strong A neighbours.
    const std::vector<Bin> bins = {bin(0, 1, 5, 0), bin(2, 3, 1, 2), bin(4, 5, 5, 0)};
    const NumericPartition p = mergeBins(bins, 2, 10);
    ASSERT_EQ(p.parts.size(), 3u);
    EXPECT_EQ(p.parts[1].winner, 0);
    EXPECT_FALSE(p.parts[1].strong);
    EXPECT_TRUE(p.parts[0].strong);
    EXPECT_EQ(p.cuts, (std::vector<double>{1.5, 3.5}));

    // Deeper, t(10) = 0.19, so 1 of 3 A is strong too and all three merge into one part.
    const NumericPartition deep = mergeBins(bins, 10, 10);
    ASSERT_EQ(deep.parts.size(), 1u);
    EXPECT_EQ(deep.parts[0].counts, (std::vector<std::uint32_t>{11, 2}));
    EXPECT_TRUE(deep.parts[0].strong);
    EXPECT_TRUE(deep.cuts.empty());
}

TEST(IntervalPartition, CutBetweenNeighbouringDoublesKeepsBothSidesApart) {
    const double a = 1.0;
    const double b = std::nextafter(1.0, 2.0);
    const std::vector<Bin> bins = {bin(a, a, 3, 0), bin(b, b, 0, 3)};
    const NumericPartition p = mergeBins(bins, 1, 10);
    ASSERT_EQ(p.cuts.size(), 1u);
    EXPECT_GT(p.cuts[0], a);
    EXPECT_LE(p.cuts[0], b);
}

TEST(IntervalPartition, CutIsTheMidpointWrittenShort) {
    EXPECT_EQ(cutBetween(5.7, 5.9), 5.8);  // the plain sum gives 5.800000000000001
    EXPECT_EQ(cutBetween(39.49, 39.5), 39.495);
    EXPECT_EQ(cutBetween(-3, 1), -1);
    const double big = cutBetween(1e308, 1.7e308);
    EXPECT_GT(big, 1e308);
    EXPECT_LT(big, 1.7e308);
    // No short decimal lies strictly between these two: the exact midpoint is kept.
    const double a = 0.1;
    const double b = std::nextafter(std::nextafter(0.1, 1.0), 1.0);
    const double c = cutBetween(a, b);
    EXPECT_GT(c, a);
    EXPECT_LT(c, b);
}

TEST(IntervalPartition, EqualWidthBinsDropEmptyOnesAndKeepTheMaximum) {
    const std::vector<double> values = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    const std::vector<std::int32_t> classes = {0, 0, 0, 0, 0, 1, 1, 1, 1, 1};
    const auto bins = initialBins(values, classes, 2, 5, Binning::EqualWidth);
    ASSERT_EQ(bins.size(), 5u);
    EXPECT_EQ(bins[0].lo, 0);
    EXPECT_EQ(bins[0].hi, 1);
    EXPECT_EQ(bins[2].counts, (std::vector<std::uint32_t>{1, 1}));  // 4 and 5
    EXPECT_EQ(bins[4].lo, 8);
    EXPECT_EQ(bins[4].hi, 9);

    const std::vector<double> gap = {0, 0.1, 10};
    const std::vector<std::int32_t> gapClasses = {0, 0, 1};
    const auto sparse = initialBins(gap, gapClasses, 2, 10, Binning::EqualWidth);
    ASSERT_EQ(sparse.size(), 2u);
    EXPECT_EQ(sparse[0].hi, 0.1);
    EXPECT_EQ(sparse[1].lo, 10);

    // Infinite values go to the end bins; the finite ones still spread over the others, even
    // when their span exceeds the largest double.
    const std::vector<double> wide = {-INFINITY, -1e308, 0, 1e308, INFINITY};
    const std::vector<std::int32_t> wideClasses = {0, 0, 1, 1, 1};
    const auto spread = initialBins(wide, wideClasses, 2, 4, Binning::EqualWidth);
    ASSERT_EQ(spread.size(), 3u);
    EXPECT_EQ(spread[0].lo, -INFINITY);
    EXPECT_EQ(spread[0].hi, -1e308);
    EXPECT_EQ(spread[1].lo, 0);
    EXPECT_EQ(spread[2].lo, 1e308);
    EXPECT_EQ(spread[2].hi, INFINITY);

    const std::vector<double> constant = {3, 3, 3};
    EXPECT_EQ(initialBins(constant, gapClasses, 2, 10, Binning::EqualWidth).size(), 1u);
}

TEST(IntervalPartition, EqualCountBinsKeepEqualValuesTogether) {
    const std::vector<double> values = {5, 1, 4, 1, 3, 1, 2, 1};
    const std::vector<std::int32_t> classes = {1, 0, 1, 0, 1, 0, 0, 0};
    const auto bins = initialBins(values, classes, 2, 4, Binning::EqualCount);
    ASSERT_EQ(bins.size(), 3u);
    EXPECT_EQ(bins[0].lo, 1);
    EXPECT_EQ(bins[0].hi, 1);
    EXPECT_EQ(bins[0].counts, (std::vector<std::uint32_t>{4, 0}));
    EXPECT_EQ(bins[1].lo, 2);
    EXPECT_EQ(bins[1].hi, 3);
    EXPECT_EQ(bins[2].lo, 4);
    EXPECT_EQ(bins[2].hi, 5);
    EXPECT_EQ(bins[2].counts, (std::vector<std::uint32_t>{0, 2}));
}

TEST(IntervalPartition, NominalPartHasOneBranchPerPresentValue) {
    // Values 0, 1, 2 with class counts {3, 1}, {0, 0} (absent) and {1, 1}.
    const std::vector<std::uint32_t> counts = {3, 1, 0, 0, 1, 1};
    const NominalPartition p = nominalPartition(counts, 2, 3, 10);
    EXPECT_EQ(p.values, (std::vector<std::int32_t>{0, 2}));
    ASSERT_EQ(p.parts.size(), 2u);
    EXPECT_EQ(p.parts[0].winner, 0);
    EXPECT_FALSE(p.parts[0].strong);  // 0.75 < t(3) = 0.96
    EXPECT_EQ(p.parts[1].winner, 0);  // a tie goes to the earlier class
    EXPECT_EQ(p.parts[1].total, 2u);
}

}  // namespace
}  // namespace mining::interval
