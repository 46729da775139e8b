#include "interval/strength.h"

#include <gtest/gtest.h>

#include "interval/gain_ratio.h"

namespace mining::interval {
namespace {

TEST(IntervalStrength, ThresholdFallsWithDepth) {
    EXPECT_DOUBLE_EQ(strengthThreshold(1, 10), 1.0);
    EXPECT_DOUBLE_EQ(strengthThreshold(2, 10), 0.99);
    EXPECT_DOUBLE_EQ(strengthThreshold(5, 10), 0.84);
    EXPECT_DOUBLE_EQ(strengthThreshold(10, 10), 0.19);
    EXPECT_DOUBLE_EQ(strengthThreshold(2, 3), 1.0 - 1.0 / 9);
}

TEST(IntervalStrength, ShareAtTheThresholdIsStrongAndJustBelowIsWeak) {
    // Only a pure branch of the root is strong.
    EXPECT_TRUE(isStrong(100, 100, 1, 10));
    EXPECT_FALSE(isStrong(99, 100, 1, 10));
    // t(2) = 0.99 exactly, which a floating-point product could miss.
    EXPECT_TRUE(isStrong(99, 100, 2, 10));
    EXPECT_FALSE(isStrong(98, 100, 2, 10));
    EXPECT_TRUE(isStrong(19, 100, 10, 10));
    EXPECT_FALSE(isStrong(18, 100, 10, 10));
    // t(2) for L = 3 is 8/9: 8 of 9 is strong, 7 of 8 is not.
    EXPECT_TRUE(isStrong(8, 9, 2, 3));
    EXPECT_FALSE(isStrong(7, 8, 2, 3));
    EXPECT_FALSE(isStrong(0, 0, 1, 10));
    // Large counts stay exact.
    EXPECT_TRUE(isStrong(3'960'000'000u, 4'000'000'000u, 2, 10));
    EXPECT_FALSE(isStrong(3'959'999'999u, 4'000'000'000u, 2, 10));
}

TEST(IntervalGainRatio, EntropyOfClassCounts) {
    const std::uint32_t even[] = {2, 2, 2};
    EXPECT_NEAR(entropy(even), 1.584962500721156, 1e-12);
    const std::uint32_t pure[] = {0, 7};
    EXPECT_EQ(entropy(pure), 0.0);
    EXPECT_EQ(entropy(std::span<const std::uint32_t>()), 0.0);
}

TEST(IntervalGainRatio, HandWorkedPartitionScaledByKnownShare) {
    // 10 records at the node, 8 with the attribute known: parts {A3, B1} and {A0, B4}.
    // H(S) = H(3/8) = 0.954434; gain = H(S) - 4/8 H(3/4) = 0.548795; split info = 1;
    // gain ratio = 0.548795 * 8/10.
    const std::uint32_t parts[] = {3, 1, 0, 4};
    EXPECT_NEAR(gainRatio(parts, 2, 10), 0.439035952556319, 1e-12);
    EXPECT_NEAR(gainRatio(parts, 2, 8), 0.5487949406953987, 1e-12);
}

TEST(IntervalGainRatio, UninformativeOrSinglePartIsZero) {
    const std::uint32_t same[] = {2, 2, 1, 1};  // both parts half and half
    EXPECT_NEAR(gainRatio(same, 2, 6), 0.0, 1e-15);
    const std::uint32_t one[] = {3, 1, 0, 0};  // the second part is empty
    EXPECT_EQ(gainRatio(one, 2, 4), 0.0);
}

}  // namespace
}  // namespace mining::interval
