#include "data/split.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "data/record_permutation.h"

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

TEST(Split, EachRowsPartFollowsFromItsOwnNumber) {
    // The sets are those of the seeded permutation evaluated row by row: a process that holds
    // only some rows tells their parts alike, and exactly round(n * percent / 100) train.
    for (std::size_t n : {2u, 5u, 16u, 17u, 33u, 1000u}) {
        for (double percent : {0.0, 1.0, 30.0, 50.0, 66.67, 99.0}) {
            for (std::uint64_t seed : {1u, 2u, 42u}) {
                const Split s = splitRecords(n, percent, false, seed);
                const RecordPermutation permutation(n, seed);
                const auto count = static_cast<std::size_t>(std::llround(n * percent / 100));
                EXPECT_EQ(s.train.size(), count) << n << " " << percent;
                for (std::size_t r = 0; r < n; ++r) {
                    const bool trains = std::binary_search(s.train.begin(), s.train.end(), r);
                    EXPECT_EQ(trains, permutation(r) < count) << n << " " << r;
                    EXPECT_EQ(trains, trainsInSplit(r, n, percent, false, seed)) << n << " " << r;
                }
                EXPECT_EQ(rowsLeftOut(s.train, n), s.test) << n << " " << percent;
            }
        }
    }
}

// A process that holds records first..first+count-1 of n splits its rows as the whole split
// splits those records: the shares' parts, joined in record order, are the whole split's.
TEST(Split, SharesSplitTheirRowsAsTheWholeSplitsTheirRecords) {
    std::mt19937 random(3);
    for (const std::size_t n : {1u, 7u, 1000u, 3000000u}) {
        for (const bool keepOrder : {false, true}) {
            const Split whole = splitRecords(n, 66.67, keepOrder, 5);
            std::vector<std::size_t> cuts{0, n, n / 3, n / 3};  // an empty share among them
            for (int k = 0; k < 4; ++k) cuts.push_back(random() % (n + 1));
            std::sort(cuts.begin(), cuts.end());
            Split joined;
            for (std::size_t k = 0; k + 1 < cuts.size(); ++k) {
                const Split share =
                    splitShare(cuts[k], cuts[k + 1] - cuts[k], n, 66.67, keepOrder, 5);
                for (const RowIndex r : share.train) joined.train.push_back(cuts[k] + r);
                for (const RowIndex r : share.test) joined.test.push_back(cuts[k] + r);
            }
            EXPECT_EQ(joined.train, whole.train) << n << " " << keepOrder;
            EXPECT_EQ(joined.test, whole.test) << n << " " << keepOrder;
        }
    }
}

TEST(Split, SamplePositionsAreTheSampleOfAnyRowsOfThatMany) {
    for (const std::size_t n : {0u, 1u, 5u, 1000u, 250000u}) {
        std::vector<RowIndex> rows(n);
        for (std::size_t i = 0; i < n; ++i) rows[i] = static_cast<RowIndex>(3 * i + 1);
        for (const std::size_t count : {std::size_t{0}, std::size_t{1}, n / 2, n, n + 3}) {
            const std::vector<RowIndex> sample = sampleRows(rows, count, 11);
            const std::vector<std::uint64_t> positions = samplePositions(n, count, 11);
            ASSERT_EQ(positions.size(), sample.size()) << n << " " << count;
            for (std::size_t i = 0; i < sample.size(); ++i)
                ASSERT_EQ(rows[positions[i]], sample[i]) << n << " " << count << " " << i;
        }
    }
}

TEST(RecordPermutation, IsAPermutationOfEverySizeAndSpreadsItsPrefix) {
    for (std::uint64_t n : {1u, 2u, 3u, 7u, 16u, 17u, 255u, 256u, 257u, 1000u, 65537u}) {
        for (std::uint64_t seed : {1u, 9u}) {
            const RecordPermutation p(n, seed);
            std::vector<bool> seen(n, false);
            for (std::uint64_t r = 0; r < n; ++r) {
                const std::uint64_t x = p(r);
                ASSERT_LT(x, n);
                ASSERT_FALSE(seen[x]) << n << " " << r;
                seen[x] = true;
            }
        }
    }
    // The records sent into the first tenth lie all over [0, n), not near its start.
    const std::uint64_t n = 100000;
    const RecordPermutation p(n, 3);
    double sum = 0;
    std::size_t count = 0;
    for (std::uint64_t r = 0; r < n; ++r)
        if (p(r) < n / 10) {
            sum += static_cast<double>(r);
            ++count;
        }
    EXPECT_EQ(count, n / 10);
    EXPECT_NEAR(sum / static_cast<double>(count), n / 2.0, n * 0.02);
    EXPECT_NE(RecordPermutation(n, 3)(12345), RecordPermutation(n, 4)(12345));
}

TEST(RecordPermutation, ManyRecordsAtOnceAnswerAsOneAtATime) {
    // Sizes of odd and even bit counts (walks of every length), stretches shorter and longer
    // than the lanes, starting anywhere.
    for (std::uint64_t n : {1u, 9u, 1000u, 4097u, 100003u}) {
        const RecordPermutation p(n, 5);
        for (std::uint64_t first : {std::uint64_t{0}, n / 3, n - 1}) {
            for (std::uint64_t count : {std::uint64_t{1}, std::uint64_t{7}, n - first}) {
                if (first + count > n) continue;
                const std::uint64_t bound = n / 2 + 1;
                std::vector<std::uint8_t> out(count + 1, 7);
                p.below(first, count, bound, out.data());
                for (std::uint64_t i = 0; i < count; ++i)
                    ASSERT_EQ(out[i], p(first + i) < bound ? 1 : 0) << n << " " << first + i;
                EXPECT_EQ(out[count], 7) << "wrote past the stretch";
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

// Both ways of dealing folds: the tuning's shuffle, and the folds of --folds found record by
// record.
using FoldDealer = std::vector<std::vector<RowIndex>> (*)(CodeSpan, std::size_t, std::uint64_t);

class Folds : public ::testing::TestWithParam<FoldDealer> {};

INSTANTIATE_TEST_SUITE_P(Dealers, Folds, ::testing::Values(&stratifiedFolds, &recordFolds));

TEST_P(Folds, EveryRowOnceEachClassSpreadEvenlyTheSameForTheSameSeed) {
    const FoldDealer deal = GetParam();
    // Classes of 23, 7 and 3 records in a shuffled order of rows.
    std::vector<std::uint8_t> codes;
    for (int i = 0; i < 33; ++i)
        codes.push_back(static_cast<std::uint8_t>(i < 23 ? 0 : i < 30 ? 1 : 2));
    std::mt19937_64 engine(7);
    std::shuffle(codes.begin(), codes.end(), engine);
    const CodeSpan classes{std::span<const std::uint8_t>(codes)};
    for (std::size_t k : {2u, 5u, 10u, 40u}) {
        const auto folds = deal(classes, k, 1);
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
        EXPECT_EQ(deal(classes, k, 1), folds);
    }
    EXPECT_NE(deal(classes, 5, 2), deal(classes, 5, 1));
}

// Processes that each hold some of the records, cut anywhere (one holding none), find the folds
// of their own records from every process's class counts alone: joined, the folds of all.
TEST(RecordFolds, TheSharesFoldsJoinedAreTheFoldsOfAllRecords) {
    std::mt19937_64 engine(3);
    for (const std::size_t n : {1u, 17u, 1000u, 25000u}) {
        std::vector<std::uint8_t> codes(n);
        for (auto& c : codes) c = static_cast<std::uint8_t>(engine() % 100 < 70 ? 0 : engine() % 3);
        const CodeSpan classes{std::span<const std::uint8_t>(codes)};
        const auto whole = recordFolds(classes, 7, 11);
        std::vector<std::size_t> cuts{0, n / 3, n / 3, n};
        cuts.insert(cuts.begin() + 3, static_cast<std::size_t>(engine() % (n + 1)));
        std::sort(cuts.begin(), cuts.end());
        std::vector<std::uint64_t> totals(3, 0);
        for (const auto c : codes) ++totals[c];
        std::vector<std::vector<RowIndex>> joined(7);
        std::vector<std::uint64_t> before(3, 0);
        for (std::size_t p = 0; p + 1 < cuts.size(); ++p) {
            const CodeSpan own{
                std::span<const std::uint8_t>(codes).subspan(cuts[p], cuts[p + 1] - cuts[p])};
            const auto folds = RecordFolds(totals, 7, 11).folds(own, before);
            for (std::size_t f = 0; f < 7; ++f)
                for (const RowIndex r : folds[f])
                    joined[f].push_back(static_cast<RowIndex>(r + cuts[p]));
            for (std::size_t r = cuts[p]; r < cuts[p + 1]; ++r) ++before[codes[r]];
        }
        EXPECT_EQ(joined, whole) << n;
    }
}

}  // namespace
}  // namespace mining
