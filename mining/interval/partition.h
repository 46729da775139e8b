#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "data/code_column.h"
#include "data/numeric_column.h"

namespace mining::interval {

// How the range of a numeric attribute at a node is cut into its initial intervals.
enum class Binning {
    EqualWidth,  // B intervals of equal width between the smallest and largest value
    EqualCount,  // B intervals holding about n / B values each (equal values stay together)
};

// Consecutive values of a numeric attribute at a node: the smallest and largest value in it and
// the records of each class.
struct Bin {
    double lo = 0;
    double hi = 0;
    std::vector<std::uint32_t> counts;
};

// One branch of a node's partition on an attribute: the class counts of its training records
// (where the attribute is known), their total, the winner and whether it is strong.
struct Part {
    std::vector<std::uint32_t> counts;
    std::uint32_t total = 0;
    std::int32_t winner = 0;
    bool strong = false;
};

// The final intervals of a numeric attribute at a node. Part j holds the values v with
// cuts[j - 1] <= v < cuts[j]; the first and last parts are open-ended.
struct NumericPartition {
    std::vector<double> cuts;
    std::vector<Part> parts;
};

// The partition of a node on a nominal attribute: one part per value present at the node.
struct NominalPartition {
    std::vector<std::int32_t> values;  // the value code of each part, ascending
    std::vector<Part> parts;
};

// Returns the non-empty initial intervals of the known values `values` (classes in `classes`,
// codes < classCount), in ascending order of value, at most `bins` of them. Values equal to each
// other always share an interval. Requires values.size() == classes.size(), no NaN in values,
// bins >= 1.
std::vector<Bin> initialBins(std::span<const double> values, std::span<const std::int32_t> classes,
                             std::size_t classCount, int bins, Binning binning);

// The values of one numeric attribute at a node, read in place: decimal mantissas and their
// power-of-ten scale (value = mantissa / scale, exactly the double the text denotes;
// kMissingMantissa where missing) when `mantissas` is non-empty, else `doubles` (NaN where
// missing). Mantissas keep the order of the values they stand for, which is all the binning
// needs besides the values of the bins' ends.
struct NumericValues {
    static constexpr std::int32_t kMissingMantissa = NumericColumn::kMissingMantissa;
    std::span<const std::int32_t> mantissas;
    double scale = 1;
    std::span<const double> doubles;

    std::size_t size() const { return mantissas.empty() ? doubles.size() : mantissas.size(); }
};

// The rule that puts a value of a node into one of its initial intervals: B intervals of equal
// width between the smallest and largest finite value (an infinite value goes to the end on its
// side), or intervals that end before each of the ascending `edges`.
class BinLayout {
public:
    static BinLayout equalWidth(double first, double last, std::size_t bins);
    static BinLayout equalCount(std::vector<double> edges);

    // Returns the number of intervals.
    std::size_t size() const { return equalWidth_ ? bins_ : edges_.size() + 1; }
    bool isEqualWidth() const { return equalWidth_; }
    // Returns the interval of present value `v`, < size().
    std::size_t binOf(double v) const { return equalWidth_ ? widthBin(v) : countBin(v); }
    // Returns binOf(v). Requires isEqualWidth().
    std::size_t widthBin(double v) const {
        if (v > last_) return bins_ - 1;
        if (!(v > first_)) return 0;
        return std::min(static_cast<std::size_t>((v / 2 - first_ / 2) * factor_), bins_ - 1);
    }
    // Returns binOf(v). Requires !isEqualWidth().
    std::size_t countBin(double v) const {
        return static_cast<std::size_t>(std::upper_bound(edges_.begin(), edges_.end(), v) -
                                        edges_.begin());
    }

private:
    bool equalWidth_ = true;
    std::size_t bins_ = 1;
    double first_ = 0;
    double last_ = 0;
    double factor_ = 0;
    std::vector<double> edges_;
};

// A BinLayout applied to the mantissas low..high of a decimal column (value = mantissa /
// scale): the smallest mantissa of each interval, found once, lets a mantissa find its interval
// with integer compares instead of a division per value. Mantissas keep the order of their
// values and a layout never puts a larger value in an earlier interval, so the intervals are
// exactly the layout's.
class MantissaLayout {
public:
    MantissaLayout() = default;
    MantissaLayout(const BinLayout& layout, std::int32_t low, std::int32_t high, double scale);

    // Returns layout.binOf(m / scale). Requires low <= m <= high.
    std::size_t binOf(std::int32_t m) const {
        // A guess from the proportion of the range, then a step or two to the exact interval.
        std::size_t k = std::min(static_cast<std::size_t>((m - low_) * factor_), lastBin_);
        while (m >= starts_[k + 1]) ++k;
        while (m < starts_[k]) --k;
        return k;
    }

private:
    std::int64_t low_ = 0;
    double factor_ = 0;
    std::size_t lastBin_ = 0;
    // starts_[k]: the smallest mantissa of interval k, with starts_[0] below every mantissa and
    // one more entry above every mantissa.
    std::vector<std::int64_t> starts_;
};

// The initial intervals of a node on one attribute: the rule that made them (for mantissas
// also in integer form), the non-empty ones in ascending order, and for each interval of the
// rule its index in `bins` (-1 if empty).
struct NodeBins {
    BinLayout layout;
    MantissaLayout mantissaLayout;  // when the values are mantissas
    std::vector<Bin> bins;
    std::vector<std::int32_t> binOfSlot;
};

// Buffers that nodeBins() reuses from call to call (one set per thread).
struct BinScratch {
    std::vector<std::int32_t> mantissas;
    std::vector<double> doubles;
};

// The present values of a node on one attribute in brief: their number and the smallest and
// largest finite one (first > last when there is none).
struct ValueSummary {
    std::size_t present = 0;
    double first = 0;
    double last = 0;
    std::int32_t low = 0;  // mantissas: the smallest and largest present one
    std::int32_t high = 0;
};

// Returns the summary of `values`.
ValueSummary summarize(const NumericValues& values);

// Returns the rule that cuts a node's present values `values` (summary in `summary`) into
// `bins` initial intervals: of equal width between summary.first and summary.last, or holding
// about as many of the values each. Where the node's records are spread over processes,
// `summary` is that of all of them and the binning must be of equal width.
BinLayout nodeLayout(const NumericValues& values, const ValueSummary& summary, int bins,
                     Binning binning, BinScratch& scratch);

// The class counts and ranges of a node's values in each interval of a layout, empty ones
// included: what every process holding some of the node's records adds up (counts summed,
// ranges widened) before the empty intervals are dropped.
struct SlotCounts {
    std::vector<std::uint32_t> counts;  // [interval * classCount + class]
    std::vector<double> lo;             // the smallest value; +inf in an empty interval
    std::vector<double> hi;             // the largest value; -inf in an empty interval
};

// Returns the slot counts of the present values of `values` (classes in `classes`, own summary
// `own` == summarize(values)) in the intervals of `layout`. For mantissas with some present,
// sets `mantissaLayout` to the layout in integer form over own.low..own.high.
SlotCounts slotCounts(const NumericValues& values, const ValueSummary& own, const BinLayout& layout,
                      CodeSpan classes, std::size_t classCount, MantissaLayout& mantissaLayout);

// Returns the node's initial intervals of `slots` (of `layout`): the non-empty ones in order.
NodeBins nodeBinsOf(BinLayout layout, MantissaLayout mantissaLayout, const SlotCounts& slots,
                    std::size_t classCount);

// Returns the initial intervals of the present values of `values` (classes in `classes`,
// summary in `summary`), as initialBins() makes them from those values alone, with the layout
// that placed them: nodeLayout(), slotCounts() and nodeBinsOf() in turn. Requires values.size()
// == classes.size(), summary == summarize(values), bins >= 1.
NodeBins nodeBins(const NumericValues& values, const ValueSummary& summary, CodeSpan classes,
                  std::size_t classCount, int bins, Binning binning, BinScratch& scratch);

// Returns, for each interval of `nodeBins.layout`, the part of `partition` (made from
// nodeBins.bins by mergeBins()) that holds its values: the same part the cuts give each value.
std::vector<std::uint32_t> partOfSlot(const NodeBins& nodeBins, const NumericPartition& partition);

// Returns the winner of `bin` from its counts smoothed with its neighbours,
// prev[m] + 2 bin[m] + next[m] (a missing neighbour counts 0); a tie goes to the earlier class.
// Requires every given bin to have the same number of classes.
std::int32_t smoothedWinner(const Bin* prev, const Bin& bin, const Bin* next);

// Returns the final intervals made of the initial intervals `bins` (ascending, non-empty) for
// branches with `len` conditions on their path: each interval gets its smoothed winner and, from
// its raw counts, its strength at t(len); neighbours with the same winner and strength merge and
// the merged interval is re-tested on its combined counts. Each cut lies midway between the
// largest value below it and the smallest above it. Requires 1 <= len <= maxDepth.
NumericPartition mergeBins(std::span<const Bin> bins, int len, int maxDepth);

// Returns the final intervals made of the initial intervals `bins` (as mergeBins() takes them)
// for a split of at most maxBranches branches. With no more initial intervals than that, they
// are mergeBins(bins, len, maxDepth). Otherwise the initial intervals are merged into
// maxBranches intervals of neighbours, the grouping that loses the least information gain:
// the least
//     sum_j |P_j| H(P_j)   (H the class entropy of P_j's counts, gain_ratio.h)
// (a tie to the grouping whose last interval starts earliest, and so on), found exactly among at
// most 64 intervals; more are first merged in pairs, the neighbours whose merging adds the least
// to that sum first (the leftmost on a tie), down to 64. Each interval's winner is then the plain
// majority of its counts (a tie to the earlier class) and its strength is tested at t(len);
// last, neighbours with the same winner and strength merge as in mergeBins(), unless that would
// leave a single interval. Cuts lie where mergeBins() puts them. Fewer branches each keep more
// records where many small intervals would starve them. Requires maxBranches >= 2 and
// 1 <= len <= maxDepth.
NumericPartition mergeBinsLimited(std::span<const Bin> bins, std::size_t maxBranches, int len,
                                  int maxDepth);

// Returns the partition on a nominal attribute from `counts`, the class counts of every value
// (value v at [v * classCount, (v + 1) * classCount)): one part per value with records, its
// winner the plain majority (a tie to the earlier class) and its strength at t(len).
// Requires 1 <= len <= maxDepth.
NominalPartition nominalPartition(std::span<const std::uint32_t> counts, std::size_t classCount,
                                  int len, int maxDepth);

// Returns the cut between neighbouring values below < above: their midpoint, written with at most
// 15 significant digits when that still lies strictly between them (so 5.7 and 5.9 give 5.8, not
// the double sum's 5.800000000000001); `above` itself when no double lies between them.
double cutBetween(double below, double above);

// Returns the index of the largest count, the earliest on a tie; 0 for an empty span.
std::int32_t majority(std::span<const std::uint32_t> counts);

// Returns the parts' class counts laid end to end (part j at [j * classCount, ...)), the form
// gainRatio() takes.
std::vector<std::uint32_t> flatCounts(std::span<const Part> parts, std::size_t classCount);

}  // namespace mining::interval
