#include "bayes/kernel_density.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <nlohmann/json.hpp>
#include <numbers>

#include "model/model_file.h"

namespace mining {

using model_json::Json;

namespace {

constexpr std::size_t kDerivatives = 2 * KernelDensity::kTerms - 1;
constexpr std::size_t kOffsets = 2 * KernelDensity::kReachCells + 1;

const double kInverseSqrtTwoPi = 1.0 / std::sqrt(2.0 * std::numbers::pi);

// Returns log P(t - rho < Z <= t + rho) for a standard normal Z, from the side that keeps
// precision; beyond where that underflows, log of 2 rho times the density.
double logNormalInterval(double t, double rho) {
    const double z = std::abs(t);
    const double p = 0.5 * (std::erfc((z - rho) / std::numbers::sqrt2) -
                            std::erfc((z + rho) / std::numbers::sqrt2));
    return p > 0 ? std::log(p) : std::log(2.0 * rho * kInverseSqrtTwoPi) - 0.5 * t * t;
}

// Sets he[n] to the probabilists' Hermite polynomial He_n(t), n < he.size().
void hermite(double t, std::span<double> he) {
    he[0] = 1.0;
    if (he.size() > 1) he[1] = t;
    for (std::size_t n = 1; n + 1 < he.size(); ++n)
        he[n + 1] = t * he[n] - static_cast<double>(n) * he[n - 1];
}

// Returns 1 / n! for n < kDerivatives.
const std::vector<double>& inverseFactorials() {
    static const std::vector<double> table = [] {
        std::vector<double> t(kDerivatives, 1.0);
        for (std::size_t n = 1; n < t.size(); ++n) t[n] = t[n - 1] / static_cast<double>(n);
        return t;
    }();
    return table;
}

// Adds sum_j a[j] g[j + k] to sums[k] for k < kTerms: one cell's moments carried to another
// cell's polynomial, most of the work of finish(). It is written two terms at a time in the
// vector types of GCC and Clang: the plain loops compile to one term at a time, 2.5 times slower.
void addTranslated(const double* a, const double* g, double* sums) {
    constexpr std::size_t kTerms = KernelDensity::kTerms;
    static_assert(kTerms % 2 == 0);
    using Pair = double __attribute__((vector_size(2 * sizeof(double))));
    Pair pairs[kTerms / 2];
    std::memcpy(pairs, sums, sizeof pairs);
    for (std::size_t j = 0; j < kTerms; ++j) {
        const Pair aj = {a[j], a[j]};
        for (std::size_t i = 0; i < kTerms / 2; ++i) {
            Pair gi;
            std::memcpy(&gi, g + j + 2 * i, sizeof gi);
            pairs[i] += aj * gi;
        }
    }
    std::memcpy(sums, pairs, sizeof pairs);
}

}  // namespace

double KernelDensity::bandwidthOf(double range, std::size_t count, double resolution) {
    return std::max(resolution / 6.0, range / std::sqrt(static_cast<double>(count)));
}

KernelDensity::KernelDensity(double low, double high, std::size_t count, double resolution)
    : low_(low),
      high_(high),
      count_(count),
      bandwidth_(bandwidthOf(high - low, count, resolution)) {
    rho_ = resolution / (2.0 * bandwidth_);
    narrow_ = bandwidth_ < kNarrow * resolution;
    inverseCell_ = kCellsPerBandwidth / bandwidth_;
    // At most 2 sqrt(count) + 1 cells, as the bandwidth is at least range / sqrt(count).
    cells_ = static_cast<std::size_t>((high - low) * inverseCell_) + 1;
    moments_.assign(cells_ * kTerms, 0.0);
    ends_.assign(cells_, Ends{INFINITY, -INFINITY});
}

std::vector<double> KernelDensity::derivativeTable() const {
    std::vector<double> table(kOffsets * kDerivatives);
    std::vector<double> he(kDerivatives), heLow(kDerivatives);
    for (std::size_t o = 0; o < kOffsets; ++o) {
        const double t =
            (static_cast<double>(o) - static_cast<double>(kReachCells)) / kCellsPerBandwidth;
        double* g = &table[o * kDerivatives];
        if (!narrow_) {
            // g(t) = exp(-t^2/2): g^(l)(t) = (-1)^l He_l(t) exp(-t^2/2).
            hermite(t, he);
            const double e = std::exp(-0.5 * t * t);
            for (std::size_t l = 0; l < kDerivatives; ++l) g[l] = (l % 2 ? -e : e) * he[l];
            continue;
        }
        // g(t) = Phi(t + rho) - Phi(t - rho): g^(l)(t) = phi^(l-1)(t + rho) - phi^(l-1)(t - rho),
        // with phi^(m)(t) = (-1)^m He_m(t) phi(t).
        hermite(t + rho_, he);
        hermite(t - rho_, heLow);
        const double high = kInverseSqrtTwoPi * std::exp(-0.5 * (t + rho_) * (t + rho_));
        const double low = kInverseSqrtTwoPi * std::exp(-0.5 * (t - rho_) * (t - rho_));
        g[0] = std::exp(logNormalInterval(t, rho_));
        for (std::size_t l = 1; l < kDerivatives; ++l) {
            const double sign = (l - 1) % 2 ? -1.0 : 1.0;
            g[l] = sign * (he[l - 1] * high - heLow[l - 1] * low);
        }
    }
    return table;
}

void KernelDensity::finish() {
    const std::vector<double>& inverse = inverseFactorials();
    for (std::size_t m = 0; m < cells_; ++m)
        for (std::size_t j = 0; j < kTerms; ++j) moments_[m * kTerms + j] *= inverse[j];
    const std::vector<double> table = derivativeTable();
    // Target cells run from kReachCells before the first to kReachCells after the last.
    const auto reach = static_cast<std::ptrdiff_t>(kReachCells);
    const auto cells = static_cast<std::ptrdiff_t>(cells_);
    targets_ = cells_ + 2 * kReachCells;
    coefficients_.assign(targets_ * kTerms, 0.0);
    for (std::ptrdiff_t n = -reach; n < cells + reach; ++n) {
        double sums[kTerms] = {};
        for (std::ptrdiff_t m = std::max<std::ptrdiff_t>(0, n - reach);
             m < std::min(cells, n + reach + 1); ++m) {
            const double* a = &moments_[static_cast<std::size_t>(m) * kTerms];
            if (a[0] == 0) continue;  // an empty cell
            const double* g = &table[static_cast<std::size_t>(n - m + reach) * kDerivatives];
            addTranslated(a, g, sums);
        }
        double* b = &coefficients_[static_cast<std::size_t>(n + reach) * kTerms];
        for (std::size_t k = 0; k < kTerms; ++k) b[k] = sums[k] * inverse[k];
    }
    setNearest();
    const double logCount = std::log(static_cast<double>(count_));
    logScale_ = narrow_ ? -logCount : std::log(2.0 * rho_ * kInverseSqrtTwoPi) - logCount;
    scale_ = std::exp(logScale_);
    std::vector<double>().swap(moments_);
    std::vector<Ends>().swap(ends_);
}

void KernelDensity::multiplyProbabilities(std::span<const double> xs, double* products,
                                          double* logs, std::size_t stride) const {
    // The cells' polynomials are read in no order; fetching a few values ahead hides the wait.
    constexpr std::size_t kAhead = 8;
    for (std::size_t i = 0; i < xs.size(); ++i) {
        if (i + kAhead < xs.size()) {
            const double position = targetPosition(xs[i + kAhead]);
            if (position >= 0 && position < static_cast<double>(targets_))
                prefetch(&coefficients_[static_cast<std::size_t>(position) * kTerms]);
        }
        const double x = xs[i];
        if (std::isnan(x)) continue;
        const double p = sumInReach(x) * scale_;
        if (!(p >= kSmallest)) {
            logs[i * stride] += logProbability(x);
            continue;
        }
        double& product = products[i * stride];
        product *= p;
        if (product < kSmallest) {
            logs[i * stride] += std::log(product);
            product = 1;
        }
    }
}

void KernelDensity::setNearest() {
    below_.resize(cells_);
    above_.resize(cells_);
    Kernel last;
    for (std::size_t m = 0; m < cells_; ++m) {
        if (ends_[m].highCount > 0) last = {ends_[m].high, ends_[m].highCount};
        below_[m] = last;
    }
    for (std::size_t m = cells_; m-- > 0;) {
        if (ends_[m].lowCount > 0) last = {ends_[m].low, ends_[m].lowCount};
        above_[m] = last;
    }
}

double KernelDensity::logKernel(double t) const {
    return narrow_ ? logNormalInterval(t, rho_) : -0.5 * t * t;
}

double KernelDensity::logNearest(double x) const {
    Kernel nearest;
    if (x <= low_) {
        nearest = above_.front();
    } else if (x >= high_) {
        nearest = below_.back();
    } else {
        const std::size_t m = cellOf(x);
        const Kernel& a = below_[m];
        const Kernel& b = above_[m];
        nearest = std::abs(x - a.value) <= std::abs(b.value - x) ? a : b;
    }
    return std::log(static_cast<double>(nearest.weight)) +
           logKernel((x - nearest.value) / bandwidth_) + logScale_;
}

Json KernelDensity::save() const {
    std::vector<double> belowValues, aboveValues;
    std::vector<std::uint32_t> belowWeights, aboveWeights;
    for (const Kernel& k : below_) {
        belowValues.push_back(k.value);
        belowWeights.push_back(k.weight);
    }
    for (const Kernel& k : above_) {
        aboveValues.push_back(k.value);
        aboveWeights.push_back(k.weight);
    }
    return {{"low", low_},
            {"high", high_},
            {"count", count_},
            {"bandwidth", bandwidth_},
            {"rho", rho_},
            {"narrow", narrow_},
            {"inverse cell", inverseCell_},
            {"cells", cells_},
            {"scale", scale_},
            {"log scale", logScale_},
            {"coefficients", coefficients_},
            {"below values", belowValues},
            {"below weights", belowWeights},
            {"above values", aboveValues},
            {"above weights", aboveWeights}};
}

KernelDensity KernelDensity::load(JsonValue saved) {
    using model_json::require;
    KernelDensity k;
    k.low_ = model_json::number(saved, "low");
    k.high_ = model_json::number(saved, "high");
    require(k.low_ <= k.high_, "a kernel density's range is reversed");
    k.count_ = model_json::count(saved, "count", std::numeric_limits<std::uint32_t>::max());
    require(k.count_ > 0, "a kernel density has no kernels");
    k.bandwidth_ = model_json::number(saved, "bandwidth");
    k.inverseCell_ = model_json::number(saved, "inverse cell");
    require(k.bandwidth_ > 0 && k.inverseCell_ > 0, "a kernel density has no width");
    k.rho_ = model_json::number(saved, "rho");
    k.narrow_ = model_json::boolean(saved, "narrow");
    k.scale_ = model_json::number(saved, "scale");
    k.logScale_ = model_json::number(saved, "log scale");
    const JsonValue coefficients = model_json::array(saved, "coefficients");
    // The cells follow from the coefficients' length, so no count in the file sizes anything.
    require(coefficients.size() % kTerms == 0 && coefficients.size() / kTerms > 2 * kReachCells,
            "a kernel density's coefficients have the wrong length");
    k.targets_ = coefficients.size() / kTerms;
    k.cells_ = k.targets_ - 2 * kReachCells;
    require(model_json::count(saved, "cells", k.cells_) == k.cells_,
            "a kernel density's cells and coefficients disagree");
    k.coefficients_ = model_json::numbers(saved, "coefficients");
    const std::vector<double> belowValues = model_json::numbers(saved, "below values", k.cells_);
    const std::vector<double> aboveValues = model_json::numbers(saved, "above values", k.cells_);
    const std::uint64_t maxWeight = std::numeric_limits<std::uint32_t>::max();
    const std::vector<std::uint64_t> belowWeights =
        model_json::counts(saved, "below weights", maxWeight, k.cells_);
    const std::vector<std::uint64_t> aboveWeights =
        model_json::counts(saved, "above weights", maxWeight, k.cells_);
    for (std::size_t m = 0; m < k.cells_; ++m) {
        require(belowWeights[m] > 0 && aboveWeights[m] > 0, "a kernel density has an empty kernel");
        k.below_.push_back({belowValues[m], static_cast<std::uint32_t>(belowWeights[m])});
        k.above_.push_back({aboveValues[m], static_cast<std::uint32_t>(aboveWeights[m])});
    }
    return k;
}

}  // namespace mining
