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

    // Returns the counts and ranges by slot, the ranges as doubles through `toDouble`; an empty
    // slot's range is +inf to -inf.
    template <typename ToDouble>
    SlotCounts slots(ToDouble toDouble) const {
        SlotCounts out;
        out.counts = counts;
        out.lo.assign(lo.size(), INFINITY);
        out.hi.assign(hi.size(), -INFINITY);
        for (std::size_t i = 0; i < lo.size(); ++i) {
            if (!(lo[i] <= hi[i])) continue;  // empty
            out.lo[i] = toDouble(lo[i]);
            out.hi[i] = toDouble(hi[i]);
        }
        return out;
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

BinLayout nodeLayout(const NumericValues& values, const ValueSummary& summary, int bins,
                     Binning binning, BinScratch& scratch) {
    const auto b = static_cast<std::size_t>(std::max(bins, 1));
    return binning == Binning::EqualWidth ? BinLayout::equalWidth(summary.first, summary.last, b)
                                          : equalCountLayout(values, b, scratch);
}

SlotCounts slotCounts(const NumericValues& values, const ValueSummary& own, const BinLayout& layout,
                      CodeSpan classes, std::size_t classCount, MantissaLayout& mantissaLayout) {
    if (!values.mantissas.empty()) {
        BinCounts<std::int32_t> counts(layout.size(), classCount);
        const double scale = values.scale;
        if (own.present > 0) {
            mantissaLayout = MantissaLayout(layout, own.low, own.high, scale);
            const MantissaLayout& bins = mantissaLayout;
            for (std::size_t i = 0; i < values.mantissas.size(); ++i) {
                const std::int32_t m = values.mantissas[i];
                if (m != NumericValues::kMissingMantissa) counts.put(bins.binOf(m), m, classes[i]);
            }
        }
        return counts.slots([scale](std::int32_t m) { return m / scale; });
    }
    BinCounts<double> counts(layout.size(), classCount);
    for (std::size_t i = 0; i < values.doubles.size(); ++i) {
        const double v = values.doubles[i];
        if (!std::isnan(v)) counts.put(layout.binOf(v), v, classes[i]);
    }
    return counts.slots([](double v) { return v; });
}

NodeBins nodeBinsOf(BinLayout layout, MantissaLayout mantissaLayout, const SlotCounts& slots,
                    std::size_t classCount) {
    NodeBins out;
    out.layout = std::move(layout);
    out.mantissaLayout = std::move(mantissaLayout);
    out.binOfSlot.assign(slots.lo.size(), -1);
    for (std::size_t i = 0; i < slots.lo.size(); ++i) {
        if (!(slots.lo[i] <= slots.hi[i])) continue;  // empty
        const auto first = slots.counts.begin() + static_cast<std::ptrdiff_t>(i * classCount);
        out.binOfSlot[i] = static_cast<std::int32_t>(out.bins.size());
        out.bins.push_back(Bin{
            slots.lo[i], slots.hi[i],
            std::vector<std::uint32_t>(first, first + static_cast<std::ptrdiff_t>(classCount))});
    }
    return out;
}

NodeBins nodeBins(const NumericValues& values, const ValueSummary& summary, CodeSpan classes,
                  std::size_t classCount, int bins, Binning binning, BinScratch& scratch) {
    BinLayout layout = nodeLayout(values, summary, bins, binning, scratch);
    MantissaLayout mantissaLayout;
    const SlotCounts slots =
        slotCounts(values, summary, layout, classes, classCount, mantissaLayout);
    return nodeBinsOf(std::move(layout), std::move(mantissaLayout), slots, classCount);
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

namespace {

// Returns whether an interval of winner `winner` and strength `strong` merges into the part
// before it, `last`: the same winner and strength.
bool joins(const Part& last, std::int32_t winner, bool strong) {
    return last.winner == winner && last.strong == strong;
}

// Adds the records `counts` (`total` of them) to `part` and tests its winner's strength again.
void absorb(Part& part, std::span<const std::uint32_t> counts, std::uint32_t total, int len,
            int maxDepth) {
    for (std::size_t m = 0; m < counts.size(); ++m) part.counts[m] += counts[m];
    part.total += total;
    part.strong =
        isStrong(part.counts[static_cast<std::size_t>(part.winner)], part.total, len, maxDepth);
}

}  // namespace

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
        if (!out.parts.empty() && joins(out.parts.back(), winner, strong)) {
            absorb(out.parts.back(), bin.counts, total, len, maxDepth);
        } else {
            if (!out.parts.empty()) out.cuts.push_back(cutBetween(lastHi, bin.lo));
            out.parts.push_back(Part{bin.counts, total, winner, strong});
        }
        lastHi = bin.hi;
    }
    return out;
}

namespace {

// Initial intervals merged into this many at most by the cheapest pairs first are then grouped
// exactly (cheapestGrouping()); the exact search costs their square.
constexpr std::size_t kExactRuns = 64;

// Returns n log2 n (0 for n = 0), from a table for the counts of most nodes.
double nLogN(std::uint32_t n) {
    static const std::vector<double> table = [] {
        std::vector<double> t(1 << 16, 0.0);
        for (std::size_t i = 1; i < t.size(); ++i) t[i] = static_cast<double>(i) * std::log2(i);
        return t;
    }();
    return n < table.size() ? table[n] : n * std::log2(static_cast<double>(n));
}

// Consecutive initial intervals taken together, in the classes present at the node: class
// counts laid end to end (run r at [r * classes, (r + 1) * classes)) and, for each run, the
// index past its last initial interval.
struct Runs {
    std::size_t classes = 0;
    std::vector<std::uint32_t> counts;
    std::vector<std::size_t> ends;

    std::size_t size() const { return ends.size(); }
    std::span<const std::uint32_t> of(std::size_t r) const {
        return {counts.data() + r * classes, classes};
    }
};

// Returns `bins` as runs of one interval each, in the classes with records among them only.
Runs runsOf(std::span<const Bin> bins) {
    std::vector<std::size_t> present;
    for (std::size_t m = 0; m < bins[0].counts.size(); ++m) {
        bool any = false;
        for (const Bin& bin : bins) any = any || bin.counts[m] > 0;
        if (any) present.push_back(m);
    }
    Runs runs;
    runs.classes = present.size();
    for (std::size_t i = 0; i < bins.size(); ++i) {
        for (std::size_t m : present) runs.counts.push_back(bins[i].counts[m]);
        runs.ends.push_back(i + 1);
    }
    return runs;
}

// Returns |P| H(P) in bits for a part of class counts `counts`: n log2 n - sum_m c_m log2 c_m.
double partInformation(std::span<const std::uint32_t> counts) {
    std::uint32_t total = 0;
    double sum = 0;
    for (std::uint32_t c : counts) {
        total += c;
        sum += nLogN(c);
    }
    return nLogN(total) - sum;
}

// Returns what merging runs j and j + 1 adds to the sum of |P| H(P), their information being
// `information`.
double mergeLoss(const Runs& runs, std::size_t j, std::span<const double> information,
                 std::vector<std::uint32_t>& merged) {
    merged.assign(runs.of(j).begin(), runs.of(j).end());
    for (std::size_t m = 0; m < runs.classes; ++m) merged[m] += runs.of(j + 1)[m];
    return partInformation(merged) - information[j] - information[j + 1];
}

// Merges neighbouring runs, the pair whose merging adds the least information first (the
// leftmost on a tie), until at most `most` remain.
void mergeCheapest(Runs& runs, std::size_t most) {
    if (runs.size() <= most) return;
    std::vector<double> information;
    for (std::size_t r = 0; r < runs.size(); ++r)
        information.push_back(partInformation(runs.of(r)));
    std::vector<std::uint32_t> merged;
    std::vector<double> loss(runs.size() - 1);  // loss[j]: of merging runs j and j + 1
    for (std::size_t j = 0; j + 1 < runs.size(); ++j)
        loss[j] = mergeLoss(runs, j, information, merged);
    const auto at = [](auto& v, std::size_t i) {
        return v.begin() + static_cast<std::ptrdiff_t>(i);
    };
    while (runs.size() > most) {
        const auto j =
            static_cast<std::size_t>(std::min_element(loss.begin(), loss.end()) - loss.begin());
        information[j] += information[j + 1] + loss[j];
        for (std::size_t m = 0; m < runs.classes; ++m)
            runs.counts[j * runs.classes + m] += runs.counts[(j + 1) * runs.classes + m];
        runs.counts.erase(at(runs.counts, (j + 1) * runs.classes),
                          at(runs.counts, (j + 2) * runs.classes));
        runs.ends.erase(at(runs.ends, j));
        information.erase(at(information, j + 1));
        loss.erase(at(loss, j));
        if (j > 0) loss[j - 1] = mergeLoss(runs, j - 1, information, merged);
        if (j + 1 < runs.size()) loss[j] = mergeLoss(runs, j, information, merged);
    }
}

// The information |P| H(P) of every stretch of consecutive runs [a, b), from prefix sums of
// their counts.
class StretchInformation {
public:
    explicit StretchInformation(const Runs& runs)
        : classes_(runs.classes), prefix_((runs.size() + 1) * runs.classes, 0), counts_(classes_) {
        for (std::size_t i = 0; i < runs.size(); ++i)
            for (std::size_t m = 0; m < classes_; ++m)
                prefix_[(i + 1) * classes_ + m] = prefix_[i * classes_ + m] + runs.of(i)[m];
    }

    double operator()(std::size_t a, std::size_t b) {
        for (std::size_t m = 0; m < classes_; ++m)
            counts_[m] = prefix_[b * classes_ + m] - prefix_[a * classes_ + m];
        return partInformation(counts_);
    }

private:
    std::size_t classes_;
    std::vector<std::uint32_t> prefix_;  // counts of runs [0, i) at [i * classes, ...)
    std::vector<std::uint32_t> counts_;
};

// Returns, for `groups` groups of consecutive runs (2 <= groups < runs.size()), the index past
// the last run of each group in the grouping of the least information sum_j |P_j| H(P_j); on a
// tie, the one whose last group starts earliest, and so on. Dynamic programming over the first i
// runs in g groups; the last level needs only all the runs, so two groups cost one pass.
std::vector<std::size_t> cheapestGrouping(const Runs& runs, std::size_t groups) {
    const std::size_t k = runs.size();
    StretchInformation information(runs);
    std::vector<double> best(k + 1);  // best[i]: the least information of runs [0, i) in g groups
    for (std::size_t i = 1; i <= k; ++i) best[i] = information(0, i);
    // start[g][i]: where the last of g groups of runs [0, i) starts in that grouping.
    std::vector<std::vector<std::size_t>> start(groups + 1, std::vector<std::size_t>(k + 1, 0));
    for (std::size_t g = 2; g <= groups; ++g) {
        std::vector<double> next(k + 1, INFINITY);
        for (std::size_t i = g == groups ? k : g; i <= k - (groups - g); ++i) {
            for (std::size_t a = g - 1; a < i; ++a) {
                const double v = best[a] + information(a, i);
                if (v < next[i]) {
                    next[i] = v;
                    start[g][i] = a;
                }
            }
        }
        best = std::move(next);
    }
    std::vector<std::size_t> ends(groups);
    for (std::size_t g = groups, i = k; g > 0; --g) {
        ends[g - 1] = i;
        i = start[g][i];
    }
    return ends;
}

// Returns the index past the last initial interval of each of at most `most` groups of
// neighbouring `bins` that lose the least information (see mergeBinsLimited()).
std::vector<std::size_t> groupEnds(std::span<const Bin> bins, std::size_t most) {
    Runs runs = runsOf(bins);
    mergeCheapest(runs, std::max(most, kExactRuns));
    if (runs.size() <= most) return runs.ends;
    std::vector<std::size_t> ends;
    for (std::size_t r : cheapestGrouping(runs, most)) ends.push_back(runs.ends[r - 1]);
    return ends;
}

// Returns the part of class counts `counts` with `len` conditions on its path: its total, its
// plain majority and whether that is strong.
Part plainPart(std::vector<std::uint32_t> counts, int len, int maxDepth) {
    Part part{std::move(counts), 0, 0, false};
    part.total = sum(part.counts);
    part.winner = majority(part.counts);
    part.strong =
        isStrong(part.counts[static_cast<std::size_t>(part.winner)], part.total, len, maxDepth);
    return part;
}

}  // namespace

NumericPartition mergeBinsLimited(std::span<const Bin> bins, std::size_t maxBranches, int len,
                                  int maxDepth) {
    if (bins.size() <= maxBranches) return mergeBins(bins, len, maxDepth);
    NumericPartition grouped;
    NumericPartition merged;  // the same with equal neighbours merged
    std::size_t first = 0;
    for (const std::size_t end : groupEnds(bins, maxBranches)) {
        std::vector<std::uint32_t> counts = bins[first].counts;
        for (std::size_t i = first + 1; i < end; ++i)
            for (std::size_t m = 0; m < counts.size(); ++m) counts[m] += bins[i].counts[m];
        const Part part = plainPart(std::move(counts), len, maxDepth);
        const double cut = first > 0 ? cutBetween(bins[first - 1].hi, bins[first].lo) : 0;
        if (first > 0) grouped.cuts.push_back(cut);
        grouped.parts.push_back(part);
        if (!merged.parts.empty() && joins(merged.parts.back(), part.winner, part.strong)) {
            absorb(merged.parts.back(), part.counts, part.total, len, maxDepth);
        } else {
            if (first > 0) merged.cuts.push_back(cut);
            merged.parts.push_back(part);
        }
        first = end;
    }
    return merged.parts.size() >= 2 ? merged : grouped;
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
