#include "data/numeric_column.h"

#include <gtest/gtest.h>

#include <cmath>

namespace mining {
namespace {

TEST(NumericColumn, RescalesWhenFinerDecimalsArrive) {
    NumericColumn c;
    c.appendDecimal(12, 0);
    c.appendMissing();
    c.appendDecimal(125, 1);  // 12.5
    c.appendDecimal(-3, 3);   // -0.003
    ASSERT_EQ(c.size(), 4u);
    EXPECT_EQ(c[0], 12.0);
    EXPECT_TRUE(std::isnan(c[1]));
    EXPECT_EQ(c[2], 12.5);
    EXPECT_EQ(c[3], -0.003);
}

TEST(NumericColumn, FallsBackToDoublesWithoutChangingAnyValue) {
    NumericColumn c;
    c.appendDecimal(5, 1);
    c.appendMissing();
    c.appendDecimal(3000000000, 0);  // beyond a 32-bit mantissa
    c.appendDouble(1e-12);
    c.appendDecimal(7, 2);
    ASSERT_EQ(c.size(), 5u);
    EXPECT_EQ(c[0], 0.5);
    EXPECT_TRUE(std::isnan(c[1]));
    EXPECT_EQ(c[2], 3e9);
    EXPECT_EQ(c[3], 1e-12);
    EXPECT_EQ(c[4], 0.07);
    const std::vector<double> all = c.toVector();
    EXPECT_EQ(all[4], 0.07);
}

TEST(NumericColumn, KeepsExactValuesWhenRescalingWouldOverflow) {
    NumericColumn c;
    c.appendDecimal(2000000000, 0);
    c.appendDecimal(15, 1);  // 1.5 would need 20000000000 for the first value
    EXPECT_EQ(c[0], 2e9);
    EXPECT_EQ(c[1], 1.5);
}

// Whether a column stays scaled depends on its values, not on their order: the widest
// mantissa that fits arriving before or after a finer decimal.
TEST(NumericColumn, ChoosesItsStorageWhateverTheOrderOfTheValues) {
    NumericColumn before;
    before.appendDecimal(2147483647, 1);
    before.appendDecimal(1, 0);
    NumericColumn after;
    after.appendDecimal(1, 0);
    after.appendDecimal(2147483647, 1);
    ASSERT_TRUE(before.decimals() && after.decimals());
    EXPECT_EQ(before.decimals()->size(), 2u);
    EXPECT_EQ(after.decimals()->size(), 2u);
    EXPECT_EQ(after[1], 214748364.7);
    EXPECT_EQ(after.decimals()->scale(), 10.0);
}

TEST(NumericColumn, CountsDistinctPresentValuesInTheGivenRows) {
    NumericColumn scaled;
    for (int v : {5, 3, 5, -2, 3, 9}) scaled.appendDecimal(v, 0);
    scaled.appendMissing();
    const std::vector<std::uint32_t> all{0, 1, 2, 3, 4, 5, 6};
    EXPECT_EQ(scaled.distinctCount(all), 4u);
    EXPECT_EQ(scaled.distinctCount(std::vector<std::uint32_t>{0, 2, 6}), 1u);
    EXPECT_EQ(scaled.distinctCount(std::vector<std::uint32_t>{6}), 0u);
    // A range too wide for the bitmap, and a column of doubles.
    NumericColumn wide;
    for (int v : {-2000000000, 2000000000, 7, 7}) wide.appendDecimal(v, 0);
    EXPECT_EQ(wide.distinctCount(std::vector<std::uint32_t>{0, 1, 2, 3}), 3u);
    NumericColumn doubles;
    for (double v : {1e-12, 0.5, 1e-12}) doubles.appendDouble(v);
    EXPECT_EQ(doubles.distinctCount(std::vector<std::uint32_t>{0, 1, 2}), 2u);
}

}  // namespace
}  // namespace mining
