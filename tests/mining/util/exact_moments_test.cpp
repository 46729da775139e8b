#include "util/exact_moments.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace mining {
namespace {

struct Figures {
    std::uint64_t count;
    std::uint64_t mean;
    std::uint64_t variance;
    std::uint64_t stdDev;
    bool operator==(const Figures&) const = default;
};

Figures figuresOf(const ExactMoments& m) {
    return {m.count(), std::bit_cast<std::uint64_t>(m.mean()),
            std::bit_cast<std::uint64_t>(m.variance()), std::bit_cast<std::uint64_t>(m.stdDev())};
}

// Adds the values to `parts` accumulators (each value to a random one), merges them in a random
// order and returns the figures.
template <typename Add>
Figures partitioned(std::size_t count, int fractionDigits, std::size_t parts, std::mt19937& random,
                    const Add& add) {
    std::vector<ExactMoments> pieces(parts, ExactMoments(fractionDigits));
    std::uniform_int_distribution<std::size_t> pick(0, parts - 1);
    for (std::size_t i = 0; i < count; ++i) add(pieces[pick(random)], i);
    std::shuffle(pieces.begin(), pieces.end(), random);
    ExactMoments all(fractionDigits);
    for (const ExactMoments& p : pieces) all.merge(p);
    return figuresOf(all);
}

// The figures do not depend on how the values were spread over parts: decimals, doubles of every
// size and sign (where plain double sums differ with the order), and a long run of one value,
// which moves the carries many times.
TEST(ExactMoments, AnySplitOfTheValuesGivesTheSameBits) {
    std::mt19937 random(7);
    std::vector<std::int32_t> mantissas(20000);
    std::uniform_int_distribution<std::int32_t> mantissa(-2000000000, 2000000000);
    for (auto& m : mantissas) m = mantissa(random);
    std::vector<double> doubles(20000);
    std::uniform_real_distribution<double> unit(-1, 1);
    std::uniform_int_distribution<int> exponent(-40, 40);
    for (auto& d : doubles) d = std::ldexp(unit(random), exponent(random));
    doubles[5] = 4.9e-324;
    const auto addMantissa = [&](ExactMoments& m, std::size_t i) { m.addMantissa(mantissas[i]); };
    const auto addDouble = [&](ExactMoments& m, std::size_t i) { m.add(doubles[i]); };
    const Figures decimals = partitioned(mantissas.size(), 3, 1, random, addMantissa);
    const Figures binary = partitioned(doubles.size(), -1, 1, random, addDouble);
    for (const std::size_t parts : {2, 3, 7, 64}) {
        SCOPED_TRACE(parts);
        EXPECT_EQ(partitioned(mantissas.size(), 3, parts, random, addMantissa), decimals);
        EXPECT_EQ(partitioned(doubles.size(), -1, parts, random, addDouble), binary);
    }
    double forward = 0, backward = 0;
    for (double d : doubles) forward += d;
    for (auto d = doubles.rbegin(); d != doubles.rend(); ++d) backward += *d;
    EXPECT_NE(forward, backward) << "the values should be ones whose double sums differ";
}

// What processes send each other: moments read back are the same figures, one after another,
// and bytes cut short are refused, not read past.
TEST(ExactMoments, SavedMomentsReadBackAsTheyWere) {
    ExactMoments binary;
    ExactMoments decimals(4);
    for (int k = 1; k <= 50; ++k) {
        binary.add(std::ldexp(-1.25 * k, k - 25));
        decimals.addMantissa(-37 * k);
    }
    std::string bytes;
    binary.save(bytes);
    decimals.save(bytes);
    std::string_view in = bytes;
    const ExactMoments binaryBack = ExactMoments::load(in);
    const ExactMoments decimalsBack = ExactMoments::load(in);
    EXPECT_TRUE(in.empty());
    EXPECT_EQ(figuresOf(binaryBack), figuresOf(binary));
    EXPECT_EQ(figuresOf(decimalsBack), figuresOf(decimals));
    for (const std::size_t cut : {std::size_t{0}, std::size_t{7}, bytes.size() / 2 - 1}) {
        std::string_view shortIn(bytes.data(), cut);
        EXPECT_THROW(ExactMoments::load(shortIn), std::invalid_argument) << cut;
    }
}

TEST(ExactMoments, FiguresAreTheExactOnesRoundedOnce) {
    ExactMoments cancelling;  // 1e16 + 1 - 1e16 is 0 in doubles
    for (double x : {1e16, 1.0, -1e16}) cancelling.add(x);
    EXPECT_EQ(cancelling.mean(), 1.0 / 3);
    ExactMoments offset;  // a large mean, a small spread: 1e9 + 0.001 k, k < 8
    ExactMoments offsetDecimals(3);
    for (int k = 0; k < 8; ++k) {
        offset.add(1e9 + 0.001 * k);
        offsetDecimals.addMantissa(1000000000 + k);  // 1e6 + 0.001 k at 3 digits
    }
    EXPECT_NEAR(offsetDecimals.variance(), 6e-6, 1e-20);
    // The doubles themselves lie up to 6e-8 off the decimals.
    EXPECT_NEAR(offset.variance(), 6e-6, 1e-10);
    EXPECT_DOUBLE_EQ(offsetDecimals.mean(), 1000000.0035);
    ExactMoments large;  // squares beyond the range of doubles
    for (double x : {1e200, 3e200}) large.add(x);
    EXPECT_DOUBLE_EQ(large.mean(), 2e200);
    EXPECT_DOUBLE_EQ(large.stdDev(), std::sqrt(2.0) * 1e200);
    ExactMoments one(0);    // 2^33 values of 2^31 - 1 outgrow a 64-bit sum
    ExactMoments negative;  // 2^33 values of -3.7 move the wide sum's carries
    one.addMantissa(2147483647);
    negative.add(-3.7);
    for (int k = 0; k < 33; ++k) {
        for (ExactMoments* m : {&one, &negative}) {
            const ExactMoments copy = *m;
            m->merge(copy);
        }
    }
    EXPECT_EQ(one.count(), std::uint64_t{1} << 33);
    EXPECT_EQ(one.mean(), 2147483647.0);
    EXPECT_EQ(one.variance(), 0.0);
    EXPECT_EQ(negative.mean(), -3.7);
    EXPECT_EQ(negative.variance(), 0.0);
    const ExactMoments empty;
    EXPECT_TRUE(std::isnan(empty.mean()));
    EXPECT_EQ(empty.stdDev(), 0.0);
}

}  // namespace
}  // namespace mining
