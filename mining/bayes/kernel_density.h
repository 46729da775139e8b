#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <nlohmann/json_fwd.hpp>
#include <span>
#include <vector>

#include "model/json_document.h"

namespace mining {

// One class's density of one numeric attribute in the kernel mode of naive Bayes: a mixture of
// normal kernels, one per training value x_i of the class, all with the bandwidth h. With N
// values (a value seen w_i times weighs w_i) and r the attribute's resolution,
//   P(x | c) = (1/N) sum_i k((x - x_i) / h)
// where k is the probability of x's interval of width r under one kernel, taken as the normal
// mode takes it: exactly where the kernel is narrow, as r times the density elsewhere. With
// rho = r / (2h),
//   narrow (h < kNarrow r):  k(t) = Phi(t + rho) - Phi(t - rho)    (the interval's probability)
//   wide:                    k(t) = (r / h) phi(t)                 (r times the density)
// phi and Phi being the standard normal density and distribution. Above kNarrow resolutions the
// two differ by well under one per cent.
//
// Why not a plain sum: with h near range / sqrt(N), the kernels within 8 bandwidths of x number
// about 16 sqrt(N) when the values spread evenly, 25,000 and more per prediction on a few million
// training values. So the sum is evaluated as the fast Gauss transform does (Greengard and
// Strain, 1991), in one dimension. The class's range is cut into cells of width h/2; cell m's
// kernels, at d_i = (x_i - centre_m) / h with |d_i| <= 1/4, are summarised by their moments
//   A_mj = sum_{i in m} (-d_i)^j / j!,   j < kTerms,
// and each cell n gets a polynomial in u = (x - centre_n) / h, |u| <= 1/4, by Taylor's theorem:
//   sum of the kernels of the cells m within kReachCells of n = sum_{k < kTerms} B_nk u^k,
//   B_nk = (1/k!) sum_m sum_j A_mj g^(j+k)(D_nm),   D_nm = (centre_n - centre_m) / h = (n - m)/2
// with g(t) = exp(-t^2 / 2) (wide) or Phi(t + rho) - Phi(t - rho) (narrow), whose derivatives are
// Hermite polynomials times phi. Every kernel within 8.5 bandwidths of x is summed (and some up
// to 9.5); a farther one weighs below exp(-36) of a kernel at x. The terms left out weigh about
// 1e-14 of the cells summed (|d|, |u| <= 1/4 and Cramer's bound |He_n(t)| exp(-t^2/4) <=
// 1.09 sqrt(n!)); measured, the result matches the plain sum to within 1e-14 relative among the
// class's values, and to about 1e-7 seven bandwidths beyond them, where the sum is tiny beside
// the weights it comes from. Training costs a few operations for each of kTerms moments a value
// and about 37 kTerms^2 a cell, a cell holding about sqrt(N) / 2 values; a prediction, one
// polynomial and one multiplication (or logarithm).
// Where no kernel lies within the reach, the sum is below exp(-36) of a single kernel's peak and
// underflows soon after; there the nearest training value's kernels alone (the value's weight
// times k) stand for it, which keeps the classes ordered by how near each one's values are.
class KernelDensity {
public:
    // Terms of each cell's moments and polynomials.
    static constexpr std::size_t kTerms = 14;
    // Cells per bandwidth.
    static constexpr double kCellsPerBandwidth = 2.0;
    // Cells on each side of x's cell whose kernels are summed.
    static constexpr int kReachCells = 18;
    // Below this many resolutions of bandwidth, k is the interval's probability.
    static constexpr double kNarrow = 4.0;

    // Returns the bandwidth of `count` values spanning `range` at resolution `resolution`:
    // range / sqrt(count), the rule of thumb of Weka's kernel estimator, but at least a sixth
    // of the resolution (as the normal distribution's standard deviation). Requires count > 0.
    static double bandwidthOf(double range, std::size_t count, double resolution);

    KernelDensity() = default;
    // Starts an empty mixture for values from `low` to `high` (low <= high, both finite), its
    // bandwidth bandwidthOf(high - low, count, resolution) for the `count` values to be added.
    // Requires count > 0 and resolution > 0.
    KernelDensity(double low, double high, std::size_t count, double resolution);

    // Adds `weight` kernels at x (their moments as one kernel's times the weight). Requires
    // low <= x <= high; `count` kernels added in all.
    void add(double x, std::uint32_t weight = 1) {
        const std::size_t m = cellOf(x);
        const double a = (static_cast<double>(m) + 0.5 - (x - low_) * inverseCell_) /
                         kCellsPerBandwidth;  // -d: minus x's offset from the centre, in h
        // The powers a^0 .. a^13 in short chains of products, so that values overlap.
        static_assert(kTerms == 14);
        double power[kTerms];
        power[0] = 1.0;
        power[1] = a;
        power[2] = a * a;
        power[3] = power[2] * a;
        const double a4 = power[2] * power[2];
#pragma GCC unroll 4
        for (std::size_t j = 0; j < 4; ++j) power[j + 4] = power[j] * a4;
        const double a8 = a4 * a4;
#pragma GCC unroll 6
        for (std::size_t j = 0; j < 6; ++j) power[j + 8] = power[j] * a8;
        double* sums = &moments_[m * kTerms];
        const auto w = static_cast<double>(weight);
#pragma GCC unroll 14
        for (std::size_t j = 0; j < kTerms; ++j) sums[j] += w * power[j];
        Ends& ends = ends_[m];
        if (x <= ends.low) {
            ends.lowCount = x == ends.low ? ends.lowCount + weight : weight;
            ends.low = x;
        }
        if (x >= ends.high) {
            ends.highCount = x == ends.high ? ends.highCount + weight : weight;
            ends.high = x;
        }
    }

    // Builds the cells' polynomials from the values added. Requires every value added.
    void finish();

    // Returns log P(x | c) as above. Requires finish().
    double logProbability(double x) const {
        const double sum = sumInReach(x);
        return sum > 0 ? std::log(sum) + logScale_ : logNearest(x);
    }

    // For each x = xs[i] that is present (not NaN), multiplies products[i * stride] by P(x | c),
    // or adds log P(x | c) to logs[i * stride] where P is below kSmallest; a product that falls
    // below kSmallest goes into its log too and starts again at 1. So log(product) + log stays
    // the sum of the values' log P(x | c), with a logarithm for several values instead of each.
    // Requires finish() and every product in [kSmallest, 1].
    void multiplyProbabilities(std::span<const double> xs, double* products, double* logs,
                               std::size_t stride) const;
    // The smallest probability or product multiplyProbabilities() multiplies: the product of two
    // stays a normal double.
    static constexpr double kSmallest = 1e-150;

    // Returns the number of kernels (values) and the bandwidth h.
    std::size_t kernelCount() const { return count_; }
    double bandwidth() const { return bandwidth_; }
    // Returns whether k is the interval's probability (h < kNarrow r).
    bool narrow() const { return narrow_; }

    // Returns the finished mixture's figures for a model file. Requires finish().
    nlohmann::json save() const;
    // Returns the mixture save() wrote, which predicts to the same bits. Throws ModelFileError
    // (model/model_file.h) when `saved` is malformed, so that no figure read can index beyond
    // the cells or divide by zero.
    static KernelDensity load(JsonValue saved);

private:
    // The lowest and highest value of a cell, and how often each occurs.
    struct Ends {
        double low;
        double high;
        std::uint32_t lowCount = 0;
        std::uint32_t highCount = 0;
    };
    // A training value and how often it occurs.
    struct Kernel {
        double value = 0;
        std::uint32_t weight = 0;
    };

    // Asks the processor to fetch the kTerms doubles at `at` (a hint: nothing else happens).
    static void prefetch(const double* at) {
#if defined(__GNUC__)
        __builtin_prefetch(at);
        __builtin_prefetch(at + kTerms - 1);
#else
        (void)at;
#endif
    }
    // Returns sum_k b[k] u^k, k < kTerms, in Estrin's scheme: its short chains of operations let
    // successive predictions overlap.
    static double polynomial(const double* b, double u) {
        static_assert(kTerms == 14);
        const double u2 = u * u;
        const double u4 = u2 * u2;
        const double low = ((b[0] + b[1] * u) + (b[2] + b[3] * u) * u2) +
                           ((b[4] + b[5] * u) + (b[6] + b[7] * u) * u2) * u4;
        const double high =
            ((b[8] + b[9] * u) + (b[10] + b[11] * u) * u2) + (b[12] + b[13] * u) * u4;
        return low + high * (u4 * u4);
    }
    // Returns the sum of the kernels within reach of x, times exp(-logScale_); 0 when none is.
    double sumInReach(double x) const {
        const double position = targetPosition(x);
        if (!(position >= 0 && position < static_cast<double>(targets_))) return 0;
        const auto n = static_cast<std::size_t>(position);
        // A cell with no kernel in reach has a zero polynomial.
        return polynomial(&coefficients_[n * kTerms],
                          (position - static_cast<double>(n) - 0.5) / kCellsPerBandwidth);
    }
    // Returns x's position in cells from the first target cell, kReachCells before the first
    // cell: its whole part is x's target cell where that is below targets_.
    double targetPosition(double x) const { return (x - low_) * inverseCell_ + kReachCells; }
    // Returns the cell of x, for low <= x <= high.
    std::size_t cellOf(double x) const {
        const auto m = static_cast<std::size_t>((x - low_) * inverseCell_);
        return m < cells_ ? m : cells_ - 1;
    }
    // Returns log g(t) for the far rule.
    double logKernel(double t) const;
    // Fills g^(l)(D) for the offsets D = d / 2, |d| <= kReachCells, and l < 2 kTerms - 1.
    std::vector<double> derivativeTable() const;
    // Sets each cell's nearest kernels below and above it, for the far rule.
    void setNearest();
    // Returns log P(x | c) from the kernels of the training value nearest x.
    double logNearest(double x) const;

    double low_ = 0;
    double high_ = 0;
    std::size_t count_ = 0;
    double bandwidth_ = 1;
    double rho_ = 0;  // r / (2h)
    bool narrow_ = false;
    double inverseCell_ = 1;  // cells per unit of x
    std::size_t cells_ = 1;
    std::size_t targets_ = 0;            // cells_ + 2 kReachCells
    double scale_ = 1;                   // exp(logScale_)
    double logScale_ = 0;                // log(r / (h sqrt(2 pi))) - log N (wide), -log N (narrow)
    std::vector<double> moments_;        // A_mj (sums of powers until finish()), [m * kTerms + j]
    std::vector<Ends> ends_;             // per cell, until finish()
    std::vector<double> coefficients_;   // B_nk, [(n + kReachCells) * kTerms + k]
    std::vector<Kernel> below_, above_;  // per cell: the nearest kernel at or below, above it
};

}  // namespace mining
