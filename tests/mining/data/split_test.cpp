#include "data/split.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace mining {
namespace {

TEST(Split, TrainsOnTheRoundedShareAndTestsOnTheRest) {
    EXPECT_EQ(splitRecords(150, 66.67, false, 1).train.size(), 100u);  // 100.005
    EXPECT_EQ(splitRecords(3, 50, false, 1).train.size(), 2u);         // 1.5 rounds up
    EXPECT_EQ(splitRecords(10, 0, false, 1).train.size(), 0u);
    const Split all = splitRecords(10, 100, false, 1);
    EXPECT_EQ(all.train.size(), 10u);
    EXPECT_TRUE(all.test.empty());
}

TEST(Split, IsAPermutationAndTheSameForTheSameSeed) {
    const Split a = splitRecords(1000, 30, false, 1);
    const Split b = splitRecords(1000, 30, false, 1);
    EXPECT_EQ(a.train, b.train);
    EXPECT_EQ(a.test, b.test);
    std::vector<RowIndex> all = a.train;
    all.insert(all.end(), a.test.begin(), a.test.end());
    std::sort(all.begin(), all.end());
    for (RowIndex i = 0; i < 1000; ++i) ASSERT_EQ(all[i], i);
    EXPECT_NE(splitRecords(1000, 30, false, 2).train, a.train);
}

// The documented shuffle done whole, as the split once did it: i from n-1 down to 1,
// j = x mod (i + 1); the first rows train.
Split fullShuffle(std::size_t n, std::size_t trainCount, std::uint64_t seed) {
    std::vector<RowIndex> order(n);
    for (std::size_t r = 0; r < n; ++r) order[r] = static_cast<RowIndex>(r);
    std::mt19937_64 engine(seed);
    for (std::size_t i = n - 1; i >= 1 && i < n; --i)
        std::swap(order[i], order[engine() % (i + 1)]);
    Split s{{order.begin(), order.begin() + static_cast<std::ptrdiff_t>(trainCount)},
            {order.begin() + static_cast<std::ptrdiff_t>(trainCount), order.end()}};
    std::sort(s.train.begin(), s.train.end());
    std::sort(s.test.begin(), s.test.end());
    return s;
}

TEST(Split, GivesTheSetsOfTheWholeDocumentedShuffleInRowOrder) {
    // Sizes around the batch of 16 draws, shares at both ends, and several seeds: a step too few
    // or too many, or a draw out of order, gives other sets.
    for (std::size_t n : {2u, 5u, 16u, 17u, 33u, 1000u}) {
        for (double percent : {0.0, 1.0, 30.0, 50.0, 66.67, 99.0}) {
            for (std::uint64_t seed : {1u, 2u, 42u}) {
                const Split s = splitRecords(n, percent, false, seed);
                const Split expected = fullShuffle(n, s.train.size(), seed);
                EXPECT_EQ(s.train, expected.train) << n << " " << percent << " " << seed;
                EXPECT_EQ(s.test, expected.test) << n << " " << percent << " " << seed;
                // The test rows a run makes after training, from the training rows alone.
                EXPECT_EQ(rowsLeftOut(s.train, n), expected.test) << n << " " << percent;
            }
        }
    }
}

TEST(Split, KeepOrderSplitsInFileOrder) {
    const Split s = splitRecords(5, 40, true, 1);
    EXPECT_EQ(s.train, (std::vector<RowIndex>{0, 1}));
    EXPECT_EQ(s.test, (std::vector<RowIndex>{2, 3, 4}));
}

TEST(ParsePercent, AcceptsPlainDecimalsFrom0To100) {
    for (auto [text, value] : std::vector<std::pair<const char*, double>>{
             {"66.67", 66.67}, {"100", 100}, {"0", 0}, {" 5. ", 5}, {".5", 0.5}, {"007", 7}}) {
        const Result<double> p = parsePercent(text);
        ASSERT_TRUE(p.ok()) << text << ": " << p.error();
        EXPECT_EQ(*p, value) << text;
    }
}

TEST(ParsePercent, RejectsEverythingElseWithAMessage) {
    for (const char* text : {"", " ", "abc", "-5", "+5", "1e2", "50%", "1.2.3", ".", "100.01",
                             "nan", "inf", "0x10", "5,5"}) {
        const Result<double> p = parsePercent(text);
        EXPECT_FALSE(p.ok()) << text;
        if (!p.ok()) {
            EXPECT_NE(p.error().find("percentage"), std::string::npos);
        }
    }
    EXPECT_EQ(parsePercent("150").error(), "the percentage \"150\" is above 100");
}

TEST(StratifiedFolds, EveryRowOnceEachClassSpreadEvenlyTheSameForTheSameSeed) {
    // Classes of 23, 7 and 3 records in a shuffled order of rows.
    std::vector<std::uint8_t> codes;
    for (int i = 0; i < 33; ++i)
        codes.push_back(static_cast<std::uint8_t>(i < 23 ? 0 : i < 30 ? 1 : 2));
    std::mt19937_64 engine(7);
    std::shuffle(codes.begin(), codes.end(), engine);
    const CodeSpan classes{std::span<const std::uint8_t>(codes)};
    for (std::size_t k : {2u, 5u, 10u, 40u}) {
        const auto folds = stratifiedFolds(classes, k, 1);
        ASSERT_EQ(folds.size(), k);
        std::vector<int> seen(codes.size(), 0);
        std::size_t smallest = codes.size();
        std::size_t largest = 0;
        for (const auto& fold : folds) {
            EXPECT_TRUE(std::is_sorted(fold.begin(), fold.end()));
            for (RowIndex r : fold) ++seen[r];
            smallest = std::min(smallest, fold.size());
            largest = std::max(largest, fold.size());
            // Each class's share of a fold is within one record of its share of the whole.
            for (std::int32_t c = 0; c < 3; ++c) {
                const auto inFold = std::count_if(fold.begin(), fold.end(),
                                                  [&](RowIndex r) { return classes[r] == c; });
                const double expected =
                    static_cast<double>(std::count(codes.begin(), codes.end(), c)) /
                    static_cast<double>(k);
                EXPECT_LT(std::abs(static_cast<double>(inFold) - expected), 1.0 + 1e-9)
                    << k << " " << c;
            }
        }
        EXPECT_EQ(seen, std::vector<int>(codes.size(), 1)) << k;
        EXPECT_LE(largest - smallest, 1u) << k;
        EXPECT_EQ(stratifiedFolds(classes, k, 1), folds);
    }
    EXPECT_NE(stratifiedFolds(classes, 5, 2), stratifiedFolds(classes, 5, 1));
}

}  // namespace
}  // namespace mining
