#include "interval/partition.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "interval/strength.h"

namespace mining::interval {

namespace {

// Puts the elements at the sorted positions `positions` (ascending, inside [lo, hi)) of
// v[lo, hi) in place, as nth_element would for each, in O(n log k).
void selectPositions(std::vector<double>& v, std::size_t lo, std::size_t hi,
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

// Class counts and value ranges of the initial bins while they are filled, in flat arrays.
struct BinCounts {
    std::size_t classCount;
    std::vector<std::uint32_t> counts;  // [bin * classCount + class]
    std::vector<double> lo;
    std::vector<double> hi;

    BinCounts(std::size_t bins, std::size_t classes)
        : classCount(classes), counts(bins * classes, 0), lo(bins, INFINITY), hi(bins, -INFINITY) {}

    void put(std::size_t index, double v, std::int32_t cls) {
        ++counts[index * classCount + static_cast<std::size_t>(cls)];
        lo[index] = std::min(lo[index], v);
        hi[index] = std::max(hi[index], v);
    }

    // Returns the bins that received a value.
    std::vector<Bin> nonEmpty() const {
        std::vector<Bin> out;
        for (std::size_t i = 0; i < lo.size(); ++i) {
            if (!(lo[i] <= hi[i])) continue;  // empty
            const auto first = counts.begin() + static_cast<std::ptrdiff_t>(i * classCount);
            out.push_back(Bin{lo[i], hi[i],
                              std::vector<std::uint32_t>(
                                  first, first + static_cast<std::ptrdiff_t>(classCount))});
        }
        return out;
    }
};

void fillEqualWidth(std::span<const double> values, std::span<const std::int32_t> classes,
                    BinCounts& bins) {
    const std::size_t b = bins.lo.size();
    // The range of the finite values; an infinite value goes to the end bin on its side.
    double first = INFINITY;
    double last = -INFINITY;
    for (double v : values) {
        if (std::isfinite(v)) {
            first = std::min(first, v);
            last = std::max(last, v);
        }
    }
    // Halved, the span stays finite even between the largest doubles of opposite sign.
    const double halfSpan = last / 2 - first / 2;
    const double scale = halfSpan > 0 ? static_cast<double>(b) / halfSpan : 0;
    for (std::size_t i = 0; i < values.size(); ++i) {
        const double v = values[i];
        std::size_t index = 0;
        if (v > last) {
            index = b - 1;
        } else if (v > first) {
            index = std::min(static_cast<std::size_t>((v / 2 - first / 2) * scale), b - 1);
        }
        bins.put(index, v, classes[i]);
    }
}

void fillEqualCount(std::span<const double> values, std::span<const std::int32_t> classes,
                    BinCounts& bins) {
    const std::size_t b = bins.lo.size();
    std::vector<double> sorted(values.begin(), values.end());
    const std::size_t n = sorted.size();
    std::vector<std::size_t> positions;
    for (std::size_t k = 1; k < b; ++k) {
        const std::size_t p = k * n / b;
        if (p > 0 && p < n && (positions.empty() || positions.back() != p)) {
            positions.push_back(p);
        }
    }
    selectPositions(sorted, 0, n, positions);
    std::vector<double> edges;
    for (std::size_t p : positions) {
        if (edges.empty() || edges.back() != sorted[p]) edges.push_back(sorted[p]);
    }
    for (std::size_t i = 0; i < values.size(); ++i) {
        const auto index = static_cast<std::size_t>(
            std::upper_bound(edges.begin(), edges.end(), values[i]) - edges.begin());
        bins.put(index, values[i], classes[i]);
    }
}

}  // namespace

std::vector<Bin> initialBins(std::span<const double> values, std::span<const std::int32_t> classes,
                             std::size_t classCount, int bins, Binning binning) {
    if (values.empty()) return {};
    BinCounts counts(static_cast<std::size_t>(std::max(bins, 1)), classCount);
    if (binning == Binning::EqualWidth) {
        fillEqualWidth(values, classes, counts);
    } else {
        fillEqualCount(values, classes, counts);
    }
    return counts.nonEmpty();
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
