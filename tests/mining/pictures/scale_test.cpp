#include "pictures/scale.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace mining::pictures {
namespace {

TEST(LinearScale, MapsEitherWayRoundAndCopesWithFlatOrEndlessDomains) {
    const LinearScale up(10, 20, 0, 100);
    EXPECT_DOUBLE_EQ(up(10), 0);
    EXPECT_DOUBLE_EQ(up(15), 50);
    EXPECT_DOUBLE_EQ(up(20), 100);
    const LinearScale down(0, 4, 200, 100);  // a y axis: larger values higher up
    EXPECT_DOUBLE_EQ(down(1), 175);
    EXPECT_DOUBLE_EQ(LinearScale(5, 5, 0, 100)(5), 50);
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_DOUBLE_EQ(LinearScale(0, inf, 0, 100)(7), 50);
    EXPECT_DOUBLE_EQ(LinearScale(-1e308, 1e308, 0, 100)(0), 50);  // the span overflows
    EXPECT_DOUBLE_EQ(up(std::nan("")), 0);
}

TEST(NiceTicks, AreRoundStepsWithinTheDomain) {
    EXPECT_EQ(niceTicks(0, 1, 5), (std::vector<double>{0, 0.2, 0.4, 0.6000000000000001, 0.8, 1}));
    const std::vector<double> ticks = niceTicks(-0.3, 7.9, 4);
    EXPECT_EQ(ticks, (std::vector<double>{0, 5}));  // a step of 2 would give six ticks
    for (const auto& [low, high] : std::vector<std::pair<double, double>>{
             {4.3, 7.9}, {0.001, 0.0013}, {-1e9, 3e9}, {99.2, 100}, {1e300, 1.7e308}}) {
        const std::vector<double> t = niceTicks(low, high, 5);
        ASSERT_FALSE(t.empty()) << low;
        EXPECT_LE(t.size(), 12u) << low;
        for (const double v : t) {
            EXPECT_GE(v, low - std::abs(low) * 1e-12) << low;
            EXPECT_LE(v, high + std::abs(high) * 1e-12) << low;
        }
    }
    EXPECT_EQ(niceTicks(3, 3, 5), (std::vector<double>{3}));
    EXPECT_TRUE(niceTicks(0, std::numeric_limits<double>::infinity(), 5).empty());
}

TEST(TickText, ShowsTheDigitsTheStepNeeds) {
    EXPECT_EQ(tickText(0.30000000000000004, 0.1), "0.3");
    EXPECT_EQ(tickText(0.6000000000000001, 0.2), "0.6");
    EXPECT_EQ(tickText(2500, 500), "2500");
    EXPECT_EQ(tickText(0.015, 0.005), "0.015");
    EXPECT_EQ(tickText(1e9, 5e8), "1e+09");
    EXPECT_EQ(tickStep({1, 3, 5}), 2);
    EXPECT_EQ(tickStep({1}), 0);
}

}  // namespace
}  // namespace mining::pictures
