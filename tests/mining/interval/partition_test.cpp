#include "interval/partition.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

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

// Returns the layout's bin of every mantissa in [low, high] as its integer form finds it, and
// fails where that differs from the bin of the mantissa's value.
void expectSameBins(const BinLayout& layout, std::int32_t low, std::int32_t high, double scale) {
    const MantissaLayout mantissas(layout, low, high, scale);
    for (std::int64_t m = low; m <= high; ++m) {
        const auto mantissa = static_cast<std::int32_t>(m);
        ASSERT_EQ(mantissas.binOf(mantissa), layout.binOf(mantissa / scale))
            << "mantissa " << m << " scale " << scale;
    }
}

TEST(IntervalPartition, MantissasFindTheBinOfTheirValue) {
    // Equal width over the node's own range, at scales where the division rounds, with ranges
    // that cross zero and ranges of a single value.
    for (double scale : {1.0, 100.0, 1e9}) {
        for (auto [low, high] : {std::pair{-1234, 4321}, std::pair{0, 7}, std::pair{5, 5},
                                 std::pair{-999999, -990001}}) {
            for (std::size_t bins : {1u, 2u, 7u, 20u}) {
                expectSameBins(BinLayout::equalWidth(low / scale, high / scale, bins), low, high,
                               scale);
            }
        }
    }
    // Equal count: edges on and between mantissas' values, and beyond the range.
    expectSameBins(BinLayout::equalCount({-5.0, 0.015, 0.02, 3.3}), -1000, 1000, 100);
    expectSameBins(BinLayout::equalCount({-50.0, 50.0}), -1000, 1000, 100);
    // The ends of a range near the limits of a 32-bit mantissa.
    const std::int32_t top = 2147483647;
    const MantissaLayout wide(BinLayout::equalWidth(-top / 1e2, top / 1e2, 20), -top, top, 1e2);
    const BinLayout plain = BinLayout::equalWidth(-top / 1e2, top / 1e2, 20);
    for (std::int32_t m : {-top, -top + 1, -1, 0, 1, top - 1, top}) {
        EXPECT_EQ(wide.binOf(m), plain.binOf(m / 1e2)) << m;
    }
}

TEST(IntervalPartition, NodeBinsSkipMissingValuesInPlaceAndPartsFollowTheCuts) {
    // Mantissas with missing ones among them bin as the present values alone do, in either
    // storage, and each bin's part is the interval of the cuts that holds its values.
    std::mt19937 random(7);
    std::vector<std::int32_t> mantissas;
    std::vector<double> doubles;
    std::vector<double> present;
    std::vector<std::int32_t> classes;
    std::vector<std::int32_t> presentClasses;
    for (int i = 0; i < 2000; ++i) {
        const bool missing = random() % 50 == 0;
        const auto m = static_cast<std::int32_t>(random() % 20001) - 5000;
        const std::int32_t cls = (m > 3000) != (random() % 10 == 0) ? 1 : 0;
        mantissas.push_back(missing ? NumericValues::kMissingMantissa : m);
        doubles.push_back(missing ? NAN : m / 100.0);
        classes.push_back(cls);
        if (missing) continue;
        present.push_back(m / 100.0);
        presentClasses.push_back(cls);
    }
    for (Binning binning : {Binning::EqualWidth, Binning::EqualCount}) {
        NumericValues scaled;
        scaled.mantissas = mantissas;
        scaled.scale = 100;
        NumericValues plain;
        plain.doubles = doubles;
        BinScratch scratch;
        const NodeBins a =
            nodeBins(scaled, summarize(scaled), CodeSpan(std::span<const std::int32_t>(classes)), 2,
                     20, binning, scratch);
        const NodeBins b =
            nodeBins(plain, summarize(plain), CodeSpan(std::span<const std::int32_t>(classes)), 2,
                     20, binning, scratch);
        const auto expected = initialBins(present, presentClasses, 2, 20, binning);
        ASSERT_EQ(a.bins.size(), expected.size());
        ASSERT_EQ(b.bins.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(a.bins[i].lo, expected[i].lo);
            EXPECT_EQ(a.bins[i].hi, expected[i].hi);
            EXPECT_EQ(a.bins[i].counts, expected[i].counts);
            EXPECT_EQ(b.bins[i].counts, expected[i].counts);
        }
        const NumericPartition p = mergeBins(a.bins, 3, 10);
        ASSERT_GT(p.cuts.size(), 0u);
        const std::vector<std::uint32_t> parts = partOfSlot(a, p);
        for (double v : present) {
            const auto byCuts = std::upper_bound(p.cuts.begin(), p.cuts.end(), v) - p.cuts.begin();
            ASSERT_EQ(parts[a.layout.binOf(v)], static_cast<std::uint32_t>(byCuts)) << v;
        }
    }
}

// |P| H(P) in bits of a part of class counts `counts`.
double information(const std::vector<std::uint32_t>& counts) {
    double total = 0;
    double sum = 0;
    for (std::uint32_t c : counts) {
        total += c;
        sum += c > 0 ? c * std::log2(c) : 0;
    }
    return (total > 0 ? total * std::log2(total) : 0) - sum;
}

// Returns the least sum of information over every grouping of `bins` into `groups` groups of
// neighbours, found by trying them all, and sets `best` to the cuts of each grouping within
// 1e-9 of it (as indices j: a cut before bins[j]).
double bestGroupings(const std::vector<Bin>& bins, std::size_t groups,
                     std::vector<std::vector<std::size_t>>& best) {
    const std::size_t k = bins.size();
    std::vector<std::pair<double, std::vector<std::size_t>>> all;
    for (std::uint32_t mask = 0; mask < (1u << (k - 1)); ++mask) {
        if (static_cast<std::size_t>(std::popcount(mask)) != groups - 1) continue;
        std::vector<std::size_t> cuts;
        double sum = 0;
        std::vector<std::uint32_t> counts(bins[0].counts.size(), 0);
        for (std::size_t i = 0; i < k; ++i) {
            if (i > 0 && (mask >> (i - 1) & 1)) {
                cuts.push_back(i);
                sum += information(counts);
                std::fill(counts.begin(), counts.end(), 0);
            }
            for (std::size_t m = 0; m < counts.size(); ++m) counts[m] += bins[i].counts[m];
        }
        all.push_back({sum + information(counts), cuts});
    }
    double least = INFINITY;
    for (const auto& [sum, cuts] : all) least = std::min(least, sum);
    best.clear();
    for (const auto& [sum, cuts] : all)
        if (sum <= least + 1e-9) best.push_back(cuts);
    return least;
}

TEST(IntervalPartition, LimitedSplitGroupsIntervalsByLeastInformation) {
    const std::vector<Bin> bins = {bin(0, 0, 4, 0), bin(1, 1, 3, 1), bin(2, 2, 0, 4),
                                   bin(3, 3, 1, 3)};
    // Two parts: {7, 1} | {1, 7} holds 8.70 bits, {4, 0} | {4, 8} 11.02, {7, 5} | {1, 3} 15.01.
    const NumericPartition two = mergeBinsLimited(bins, 2, 1, 10);
    EXPECT_EQ(two.cuts, (std::vector<double>{1.5}));
    ASSERT_EQ(two.parts.size(), 2u);
    EXPECT_EQ(two.parts[0].counts, (std::vector<std::uint32_t>{7, 1}));
    EXPECT_EQ(two.parts[1].winner, 1);
    EXPECT_FALSE(two.parts[1].strong);
    // Three parts: {4, 0} | {3, 1} | {1, 7} and {7, 1} | {0, 4} | {1, 3} tie at 7.59 bits; the
    // grouping whose last part starts earlier wins. Its winners are the plain majorities and
    // it keeps three parts: the two of A differ in strength.
    const NumericPartition three = mergeBinsLimited(bins, 3, 1, 10);
    EXPECT_EQ(three.cuts, (std::vector<double>{0.5, 1.5}));
    ASSERT_EQ(three.parts.size(), 3u);
    EXPECT_TRUE(three.parts[0].strong);
    EXPECT_EQ(three.parts[1].winner, 0);
    EXPECT_FALSE(three.parts[1].strong);
    EXPECT_EQ(three.parts[2].counts, (std::vector<std::uint32_t>{1, 7}));
    // Deep in the tree all three are strong, and the two of A merge.
    const NumericPartition deep = mergeBinsLimited(bins, 3, 10, 10);
    EXPECT_EQ(deep.cuts, (std::vector<double>{1.5}));
    ASSERT_EQ(deep.parts.size(), 2u);
    EXPECT_EQ(deep.parts[0].counts, (std::vector<std::uint32_t>{7, 1}));
    EXPECT_TRUE(deep.parts[0].strong);
    // Two parts of one winner and strength stay two: a single part would split nothing.
    const std::vector<Bin> alike = {bin(0, 0, 6, 0), bin(1, 1, 3, 3), bin(2, 2, 4, 2)};
    const NumericPartition kept = mergeBinsLimited(alike, 2, 10, 10);
    EXPECT_EQ(kept.cuts, (std::vector<double>{0.5}));
    ASSERT_EQ(kept.parts.size(), 2u);
    EXPECT_EQ(kept.parts[1].counts, (std::vector<std::uint32_t>{7, 5}));
    EXPECT_EQ(kept.parts[1].winner, 0);
}

TEST(IntervalPartition, LimitedSplitWithRoomForEveryIntervalIsMergeBins) {
    const std::vector<Bin> bins = {bin(0, 0, 4, 0), bin(1, 1, 3, 1), bin(2, 2, 0, 4),
                                   bin(3, 3, 1, 3)};
    const NumericPartition plain = mergeBins(bins, 1, 10);
    ASSERT_EQ(plain.parts.size(), 4u);
    for (const std::size_t most : {std::size_t{4}, std::size_t{1000}}) {
        const NumericPartition p = mergeBinsLimited(bins, most, 1, 10);
        EXPECT_EQ(p.cuts, plain.cuts);
        ASSERT_EQ(p.parts.size(), plain.parts.size());
        for (std::size_t j = 0; j < p.parts.size(); ++j) {
            EXPECT_EQ(p.parts[j].counts, plain.parts[j].counts);
            EXPECT_EQ(p.parts[j].winner, plain.parts[j].winner);
            EXPECT_EQ(p.parts[j].strong, plain.parts[j].strong);
        }
    }
}

// Random intervals of two or three classes: at most B parts that hold every record, cuts between
// the right neighbours, and those of a grouping of the least information that trying every
// grouping finds (fewer where neighbours of one winner and strength merged).
TEST(IntervalPartition, LimitedSplitIsTheBestGroupingOfAtMostBParts) {
    std::mt19937 rng(7);
    for (int trial = 0; trial < 300; ++trial) {
        const std::size_t k = 3 + rng() % 8;
        const std::size_t classes = 2 + rng() % 2;
        std::vector<Bin> bins;
        std::vector<std::uint32_t> totals(classes, 0);
        for (std::size_t i = 0; i < k; ++i) {
            Bin b{10.0 * static_cast<double>(i), 10.0 * static_cast<double>(i) + 3, {}};
            for (std::size_t m = 0; m < classes; ++m) b.counts.push_back(rng() % 7);
            b.counts[rng() % classes] += 1;  // never empty
            for (std::size_t m = 0; m < classes; ++m) totals[m] += b.counts[m];
            bins.push_back(b);
        }
        const std::size_t most = 2 + rng() % (k - 2);
        const int len = 1 + static_cast<int>(rng() % 10);
        SCOPED_TRACE("trial " + std::to_string(trial));
        const NumericPartition p = mergeBinsLimited(bins, most, len, 10);
        ASSERT_GE(p.parts.size(), 2u);
        ASSERT_LE(p.parts.size(), most);
        ASSERT_EQ(p.cuts.size() + 1, p.parts.size());
        std::vector<std::uint32_t> sum(classes, 0);
        for (const Part& part : p.parts)
            for (std::size_t m = 0; m < classes; ++m) sum[m] += part.counts[m];
        EXPECT_EQ(sum, totals);
        std::vector<std::size_t> at;  // the cuts as indices of the bins after them
        for (const double cut : p.cuts) {
            const auto j = static_cast<std::size_t>(cut / 10) + 1;
            ASSERT_LT(j, k);
            EXPECT_EQ(cut, cutBetween(bins[j - 1].hi, bins[j].lo));
            at.push_back(j);
        }
        std::vector<std::vector<std::size_t>> best;
        bestGroupings(bins, most, best);
        const bool ofABest = std::any_of(best.begin(), best.end(), [&](const auto& cuts) {
            return std::includes(cuts.begin(), cuts.end(), at.begin(), at.end());
        });
        EXPECT_TRUE(ofABest);
    }
}

// 100 initial intervals, more than the exact search takes at once: the step between the
// classes at 29.5 is found all the same.
TEST(IntervalPartition, LimitedSplitOfManyIntervalsFindsTheStep) {
    std::vector<Bin> bins;
    for (int i = 0; i < 100; ++i) {
        const bool noisy = i % 7 == 0;
        const std::uint32_t major = noisy ? 4 : 5;
        const std::uint32_t minor = noisy ? 1 : 0;
        bins.push_back(i < 30 ? bin(i, i, major, minor) : bin(i, i, minor, major));
    }
    const NumericPartition two = mergeBinsLimited(bins, 2, 1, 10);
    EXPECT_EQ(two.cuts, (std::vector<double>{29.5}));
    const NumericPartition three = mergeBinsLimited(bins, 3, 1, 10);
    ASSERT_LE(three.parts.size(), 3u);
    EXPECT_NE(std::find(three.cuts.begin(), three.cuts.end(), 29.5), three.cuts.end());
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
