#include "interval/partition.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "interval/strength.h"

namespace mining::interval {

namespace {

// Puts the elements at the sorted positions `positions` (ascending, inside [lo, hi)) of
// v[lo, hi) in place, as nth_element would for each, in O(n log k).
template <typename T>
void selectPositions(std::vector<T>& v, std::size_t lo, std::size_t hi,
                     std::span<const std::size_t> positions) {
    if (positions.empty() || lo >= hi) return;
    const std::size_t mid = positions.size() / 2;
    const std::size_t p = positions[mid];
    std::nth_element(v.begin() + static_cast<std::ptrdiff_t>(lo),
                     v.begin() + static_cast<std::ptrdiff_t>(p),
                     v.begin() + static_cast<std::ptrdiff_t>(hi));
    selectPositions(v, lo, p, positions.first(mid));
    selectPositions(v, p + 1, hi, positions.subspan(mid + 1));
}

std::uint32_t sum(std::span<const std::uint32_t> counts) {
    std::uint32_t total = 0;
    for (std::uint32_t c : counts) total += c;
    return total;
}

}  // namespace

double cutBetween(double below, double above) {
    // Halving first keeps the midpoint finite for values near the double limits.
    const double mid = below / 2 + above / 2;
    if (!(mid > below)) return above;  // neighbouring doubles: nothing lies in between
    // The midpoint of decimals often lands a unit in the last place off a short decimal
    // (5.7 and 5.9 give 5.800000000000001); the short decimal reads better in the report and,
    // still strictly between the two values, separates them just the same.
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.15g", mid);
    const double shorter = std::strtod(buf, nullptr);
    return shorter > below && shorter < above ? shorter : mid;
}

std::int32_t majority(std::span<const std::uint32_t> counts) {
    std::int32_t best = 0;
    for (std::size_t m = 1; m < counts.size(); ++m) {
        if (counts[m] > counts[static_cast<std::size_t>(best)]) best = static_cast<std::int32_t>(m);
    }
    return best;
}

namespace {

// Class counts and value ranges of the initial bins while they are filled, in flat arrays;
// the ranges as the values are stored (mantissas or doubles), turned into doubles at the end.
template <typename T>
struct BinCounts {
    std::size_t classCount;
    std::vector<std::uint32_t> counts;  // [bin * classCount + class]
    std::vector<T> lo;
    std::vector<T> hi;

    BinCounts(std::size_t bins, std::size_t classes)
        : classCount(classes),
          counts(bins * classes, 0),
          lo(bins, std::numeric_limits<T>::has_infinity ? std::numeric_limits<T>::infinity()
                                                        : std::numeric_limits<T>::max()),
          hi(bins, std::numeric_limits<T>::has_infinity ? -std::numeric_limits<T>::infinity()
                                                        : std::numeric_limits<T>::lowest()) {}

    void put(std::size_t index, T v, std::int32_t cls) {
        ++counts[index * classCount + static_cast<std::size_t>(cls)];
        // A bin's ends seldom change once it has a few values: testing before storing keeps
        // each value from waiting on the store of the one before.
        if (v < lo[index]) lo[index] = v;
        if (v > hi[index]) hi[index] = v;
    }

    // Sets the bins that received a value, and where each went, into `out`; `toDouble` gives
    // the value of a stored one.
    template <typename ToDouble>
    void takeNonEmpty(NodeBins& out, ToDouble toDouble) const {
        out.binOfSlot.assign(lo.size(), -1);
        for (std::size_t i = 0; i < lo.size(); ++i) {
            if (!(lo[i] <= hi[i])) continue;  // empty
            const auto first = counts.begin() + static_cast<std::ptrdiff_t>(i * classCount);
            out.binOfSlot[i] = static_cast<std::int32_t>(out.bins.size());
            out.bins.push_back(Bin{toDouble(lo[i]), toDouble(hi[i]),
                                   std::vector<std::uint32_t>(
                                       first, first + static_cast<std::ptrdiff_t>(classCount))});
        }
    }
};

// Returns the distinct values at the sorted positions k * n / bins (0 < k < bins) of the n
// values in `sorted` (which it reorders), as doubles through `toDouble`.
template <typename T, typename ToDouble>
std::vector<double> countEdges(std::vector<T>& sorted, std::size_t bins, ToDouble toDouble) {
    const std::size_t n = sorted.size();
    std::vector<std::size_t> positions;
    for (std::size_t k = 1; k < bins; ++k) {
        const std::size_t p = k * n / bins;
        if (p > 0 && p < n && (positions.empty() || positions.back() != p)) {
            positions.push_back(p);
        }
    }
    selectPositions(sorted, 0, n, positions);
    std::vector<double> edges;
    for (std::size_t p : positions) {
        const double edge = toDouble(sorted[p]);
        if (edges.empty() || edges.back() != edge) edges.push_back(edge);
    }
    return edges;
}

BinLayout equalCountLayout(const NumericValues& values, std::size_t bins, BinScratch& scratch) {
    // Selection needs a copy it may reorder; of mantissas where there are, half the size.
    if (!values.mantissas.empty()) {
        scratch.mantissas.clear();
        for (std::int32_t m : values.mantissas) {
            if (m != NumericValues::kMissingMantissa) scratch.mantissas.push_back(m);
        }
        const double scale = values.scale;
        return BinLayout::equalCount(
            countEdges(scratch.mantissas, bins, [scale](std::int32_t m) { return m / scale; }));
    }
    scratch.doubles.clear();
    for (double v : values.doubles) {
        if (!std::isnan(v)) scratch.doubles.push_back(v);
    }
    return BinLayout::equalCount(countEdges(scratch.doubles, bins, [](double v) { return v; }));
}

}  // namespace

BinLayout BinLayout::equalWidth(double first, double last, std::size_t bins) {
    BinLayout layout;
    layout.bins_ = std::max<std::size_t>(bins, 1);
    layout.first_ = first;
    layout.last_ = last;
    // Halved, the span stays finite even between the largest doubles of opposite sign.
    const double halfSpan = last / 2 - first / 2;
    layout.factor_ = halfSpan > 0 ? static_cast<double>(layout.bins_) / halfSpan : 0;
    return layout;
}

BinLayout BinLayout::equalCount(std::vector<double> edges) {
    BinLayout layout;
    layout.equalWidth_ = false;
    layout.edges_ = std::move(edges);
    return layout;
}

ValueSummary summarize(const NumericValues& values) {
    ValueSummary out;
    out.first = INFINITY;
    out.last = -INFINITY;
    if (!values.mantissas.empty()) {
        // Mantissas are all finite and keep the order of their values, so their extremes give
        // the range without a division per value.
        std::int32_t low = std::numeric_limits<std::int32_t>::max();
        std::int32_t high = std::numeric_limits<std::int32_t>::min();
        std::size_t missing = 0;
        for (std::int32_t m : values.mantissas) {
            missing += m == NumericValues::kMissingMantissa;
            low = std::min(low, m == NumericValues::kMissingMantissa ? low : m);
            high = std::max(high, m);
        }
        out.present = values.mantissas.size() - missing;
        if (out.present > 0) {
            out.first = low / values.scale;
            out.last = high / values.scale;
            out.low = low;
            out.high = high;
        }
        return out;
    }
    for (double v : values.doubles) {
        if (std::isnan(v)) continue;
        ++out.present;
        if (std::isfinite(v)) {
            out.first = std::min(out.first, v);
            out.last = std::max(out.last, v);
        }
    }
    return out;
}

NodeBins nodeBins(const NumericValues& values, const ValueSummary& summary, CodeSpan classes,
                  std::size_t classCount, int bins, Binning binning, BinScratch& scratch) {
    NodeBins out;
    const auto b = static_cast<std::size_t>(std::max(bins, 1));
    out.layout = binning == Binning::EqualWidth
                     ? BinLayout::equalWidth(summary.first, summary.last, b)
                     : equalCountLayout(values, b, scratch);
    const BinLayout& layout = out.layout;
    if (!values.mantissas.empty()) {
        if (summary.present == 0) return out;
        out.mantissaLayout = MantissaLayout(layout, summary.low, summary.high, values.scale);
        const MantissaLayout& bins = out.mantissaLayout;
        BinCounts<std::int32_t> counts(layout.size(), classCount);
        for (std::size_t i = 0; i < values.mantissas.size(); ++i) {
            const std::int32_t m = values.mantissas[i];
            if (m != NumericValues::kMissingMantissa) counts.put(bins.binOf(m), m, classes[i]);
        }
        const double scale = values.scale;
        counts.takeNonEmpty(out, [scale](std::int32_t m) { return m / scale; });
        return out;
    }
    BinCounts<double> counts(layout.size(), classCount);
    for (std::size_t i = 0; i < values.doubles.size(); ++i) {
        const double v = values.doubles[i];
        if (!std::isnan(v)) counts.put(layout.binOf(v), v, classes[i]);
    }
    counts.takeNonEmpty(out, [](double v) { return v; });
    return out;
}

MantissaLayout::MantissaLayout(const BinLayout& layout, std::int32_t low, std::int32_t high,
                               double scale)
    : low_(low), lastBin_(layout.size() - 1) {
    const std::size_t bins = layout.size();
    factor_ = static_cast<double>(bins) / (static_cast<double>(high) - low + 1);
    starts_.assign(bins + 1, 0);
    starts_[0] = std::numeric_limits<std::int64_t>::min();
    starts_[bins] = std::numeric_limits<std::int64_t>::max();
    for (std::size_t k = 1; k < bins; ++k) {
        // The smallest mantissa in [low, high + 1) whose value lies in interval k or later,
        // high + 1 when there is none.
        std::int64_t lo = low;
        std::int64_t hi = std::int64_t{high} + 1;
        while (lo < hi) {
            const std::int64_t mid = lo + (hi - lo) / 2;
            if (layout.binOf(static_cast<double>(mid) / scale) >= k) {
                hi = mid;
            } else {
                lo = mid + 1;
            }
        }
        starts_[k] = lo;
    }
}

std::vector<Bin> initialBins(std::span<const double> values, std::span<const std::int32_t> classes,
                             std::size_t classCount, int bins, Binning binning) {
    if (values.empty()) return {};
    BinScratch scratch;
    NumericValues view;
    view.doubles = values;
    return nodeBins(view, summarize(view), CodeSpan(classes), classCount, bins, binning, scratch)
        .bins;
}

std::vector<std::uint32_t> partOfSlot(const NodeBins& nodeBins, const NumericPartition& partition) {
    // Every cut lies above the largest value of one bin and at or below the smallest of the
    // next, so a bin's smallest value finds the part of all its values.
    std::vector<std::uint32_t> part(nodeBins.binOfSlot.size(), 0);
    for (std::size_t s = 0; s < part.size(); ++s) {
        const std::int32_t bin = nodeBins.binOfSlot[s];
        if (bin < 0) continue;
        const double lo = nodeBins.bins[static_cast<std::size_t>(bin)].lo;
        part[s] = static_cast<std::uint32_t>(
            std::upper_bound(partition.cuts.begin(), partition.cuts.end(), lo) -
            partition.cuts.begin());
    }
    return part;
}

std::int32_t smoothedWinner(const Bin* prev, const Bin& bin, const Bin* next) {
    std::int32_t best = 0;
    std::uint64_t bestScore = 0;
    for (std::size_t m = 0; m < bin.counts.size(); ++m) {
        std::uint64_t score = 2 * static_cast<std::uint64_t>(bin.counts[m]);
        if (prev) score += prev->counts[m];
        if (next) score += next->counts[m];
        if (m == 0 || score > bestScore) {
            best = static_cast<std::int32_t>(m);
            bestScore = score;
        }
    }
    return best;
}

NumericPartition mergeBins(std::span<const Bin> bins, int len, int maxDepth) {
    NumericPartition out;
    double lastHi = 0;
    for (std::size_t i = 0; i < bins.size(); ++i) {
        const Bin& bin = bins[i];
        const Bin* prev = i > 0 ? &bins[i - 1] : nullptr;
        const Bin* next = i + 1 < bins.size() ? &bins[i + 1] : nullptr;
        const std::int32_t winner = smoothedWinner(prev, bin, next);
        const std::uint32_t total = sum(bin.counts);
        const bool strong =
            isStrong(bin.counts[static_cast<std::size_t>(winner)], total, len, maxDepth);
        if (!out.parts.empty() && out.parts.back().winner == winner &&
            out.parts.back().strong == strong) {
            Part& part = out.parts.back();
            for (std::size_t m = 0; m < bin.counts.size(); ++m) part.counts[m] += bin.counts[m];
            part.total += total;
            part.strong =
                isStrong(part.counts[static_cast<std::size_t>(winner)], part.total, len, maxDepth);
        } else {
            if (!out.parts.empty()) out.cuts.push_back(cutBetween(lastHi, bin.lo));
            out.parts.push_back(Part{bin.counts, total, winner, strong});
        }
        lastHi = bin.hi;
    }
    return out;
}

NominalPartition nominalPartition(std::span<const std::uint32_t> counts, std::size_t classCount,
                                  int len, int maxDepth) {
    NominalPartition out;
    const std::size_t values = classCount ? counts.size() / classCount : 0;
    for (std::size_t v = 0; v < values; ++v) {
        auto c = counts.subspan(v * classCount, classCount);
        const std::uint32_t total = sum(c);
        if (total == 0) continue;
        const std::int32_t winner = majority(c);
        out.values.push_back(static_cast<std::int32_t>(v));
        out.parts.push_back(
            Part{std::vector<std::uint32_t>(c.begin(), c.end()), total, winner,
                 isStrong(c[static_cast<std::size_t>(winner)], total, len, maxDepth)});
    }
    return out;
}

std::vector<std::uint32_t> flatCounts(std::span<const Part> parts, std::size_t classCount) {
    std::vector<std::uint32_t> out;
    out.reserve(parts.size() * classCount);
    for (const Part& p : parts) out.insert(out.end(), p.counts.begin(), p.counts.end());
    return out;
}

}  // namespace mining::interval
