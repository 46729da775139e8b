#include "bayes/kernel_density.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace mining {
namespace {

// P(t - rho < Z <= t + rho) for a standard normal Z, from the side that keeps precision.
double intervalProbability(double t, double rho) {
    const double z = std::abs(t);
    return 0.5 * (std::erfc((z - rho) / std::numbers::sqrt2) -
                  std::erfc((z + rho) / std::numbers::sqrt2));
}

// The mixture summed kernel by kernel, over every value.
double plainSum(const std::vector<double>& values, double x, double h, double r, bool narrow) {
    double sum = 0;
    for (double v : values) {
        const double t = (x - v) / h;
        sum += narrow ? intervalProbability(t, r / (2 * h))
                      : r / h * std::exp(-0.5 * t * t) / std::sqrt(2 * std::numbers::pi);
    }
    return sum / static_cast<double>(values.size());
}

KernelDensity densityOf(const std::vector<double>& values, double resolution) {
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    KernelDensity density(*low, *high, values.size(), resolution);
    for (double v : values) density.add(v);
    density.finish();
    return density;
}

struct Shape {
    std::string name;
    std::vector<double> values;
    double resolution;
};

// Values as data sets hold them: measurements, whole numbers with many repeats, two clusters
// far apart, one value, two values, and a class of millions compressed into a few cells.
std::vector<Shape> shapes() {
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<Shape> all;
    std::vector<double> spread, whole, clusters, tight;
    for (int i = 0; i < 3000; ++i) {
        spread.push_back(-50 + 100 * unit(random));
        whole.push_back(std::floor(20 * unit(random)));
        const double u = unit(random);
        clusters.push_back(u < 0.7 ? 3 * u : 400 + u);
        tight.push_back(1e6 + std::round(unit(random) * 1000) / 1000);
    }
    all.push_back({"spread", spread, 100.0 / 2999});
    all.push_back({"whole numbers, narrow", whole, 1.0});
    all.push_back({"whole numbers, wide", whole, 0.05});
    all.push_back({"two clusters", clusters, 0.01});
    all.push_back({"large values, small spread", tight, 0.001});
    all.push_back({"one value", {4.0}, 0.5});
    all.push_back({"two values", {4.0, 10.0, 10.0}, 6.0});
    return all;
}

TEST(KernelDensity, EqualsThePlainSumOfEveryKernel) {
    std::size_t narrow = 0;
    for (const Shape& shape : shapes()) {
        const KernelDensity density = densityOf(shape.values, shape.resolution);
        narrow += density.narrow();
        const double h = density.bandwidth();
        // At, between and beside values, up to beyond the lowest and the highest.
        std::vector<double> near(
            shape.values.begin(),
            shape.values.begin() + std::min<std::ptrdiff_t>(shape.values.size(), 100));
        near.push_back(*std::min_element(shape.values.begin(), shape.values.end()));
        near.push_back(*std::max_element(shape.values.begin(), shape.values.end()));
        std::vector<double> probes;
        for (double v : near)
            for (double f : {-3.0, -0.7, 0.0, 0.3, 1.1, 2.5}) probes.push_back(v + f * h);
        for (double x : probes) {
            const double expected =
                plainSum(shape.values, x, h, shape.resolution, density.narrow());
            EXPECT_NEAR(std::exp(density.logProbability(x)) / expected, 1.0, 1e-12)
                << shape.name << " at " << x;
        }
    }
    // Both forms of the kernel: the interval's probability, and r times the density.
    EXPECT_GT(narrow, 0u);
    EXPECT_LT(narrow, shapes().size());
}

// Far from every kernel the sum underflows; the nearest value must still decide, with its weight.
TEST(KernelDensity, FarFromEveryKernelTheNearestValueCounts) {
    // 300 values from 0 to 1, 100 from 1999 to 2000, and 0 twice more: h = 2000 / 20 = 100.
    std::vector<double> values{0, 0};
    for (int i = 0; i < 298; ++i) values.push_back(i / 297.0);
    for (int i = 0; i < 100; ++i) values.push_back(1999 + i / 99.0);
    const KernelDensity density = densityOf(values, 0.01);
    ASSERT_DOUBLE_EQ(density.bandwidth(), 100.0);
    // log of (weight / n) times r times the density at the distance.
    const auto nearestOnly = [](double weight, double distance) {
        const double t = distance / 100;
        return std::log(weight / 400 * 0.01 / 100 / std::sqrt(2 * std::numbers::pi)) - 0.5 * t * t;
    };
    EXPECT_NEAR(density.logProbability(-4000), nearestOnly(3, 4000), 1e-9);
    EXPECT_NEAR(density.logProbability(6000), nearestOnly(1, 4000), 1e-9);
    // In the gap, 9.7 bandwidths from one side and 10.3 from the other: the nearer side counts.
    EXPECT_NEAR(density.logProbability(971), nearestOnly(1, 970), 1e-9);
    EXPECT_NEAR(density.logProbability(1029), nearestOnly(1, 970), 1e-9);
    EXPECT_TRUE(std::isfinite(density.logProbability(1e12)));
}

}  // namespace
}  // namespace mining
