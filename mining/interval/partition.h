#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

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
