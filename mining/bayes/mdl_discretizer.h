#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace mining {

// One present value of a numeric attribute and the class of its record.
struct ValueClass {
    double value;
    std::int32_t classCode;
};

// Supervised discretization by the minimum description length principle (Fayyad and Irani,
// 1993).
//
// The values are sorted; the cut T between two adjacent distinct values that minimises the class
// entropy E(T; S) = |S1|/|S| Ent(S1) + |S2|/|S| Ent(S2) of the two parts is accepted when
//   Gain(T; S) = Ent(S) - E(T; S) > (log2(N - 1) + log2(3^k - 2) - [k Ent(S) - k1 Ent(S1)
//                                    - k2 Ent(S2)]) / N
// with N = |S| and k, k1, k2 the number of classes present in S, S1, S2; each accepted part is
// cut again the same way. A cut lies halfway between the two values it separates.
//
// Returns the cut points in increasing order (empty when no cut pays for itself); see binOf()
// for the bin of a value. Requires every classCode < classCount. Reorders `values`.
std::vector<double> mdlCutPoints(std::vector<ValueClass>& values, std::size_t classCount);

// Returns packDecimal's key of a value mantissa / scale of class `classCode`: ordered like the
// values in its upper half, the class in its lower half.
std::uint64_t packDecimal(std::int32_t mantissa, std::int32_t classCode);

// Sorts packDecimal keys by their values (a stable radix sort, much faster than comparisons on
// large data); keys of one value keep their order.
void sortDecimalKeys(std::vector<std::uint64_t>& keys);

// As mdlCutPoints, for values given as packDecimal keys of one scale (as a NumericColumn stores
// decimals): sorts them by a radix sort, much faster on large data, and gives the same cuts.
// Reorders `keys`.
std::vector<double> mdlCutPointsOfDecimals(std::vector<std::uint64_t>& keys, double scale,
                                           std::size_t classCount);

// The present values of a numeric attribute in brief: its distinct values, ascending, and the
// class counts of each, which is all the cut points depend on.
struct ValueRuns {
    std::vector<double> values;
    std::vector<std::size_t> counts;  // [run * classCount + class]
};

// As mdlCutPoints, for the values `runs` stands for: the same cuts.
std::vector<double> mdlCutPointsOfRuns(const ValueRuns& runs, std::size_t classCount);

// Returns the bin of `value` for the sorted `cuts`: the count of cut points below `value`.
std::size_t binOf(const std::vector<double>& cuts, double value);

}  // namespace mining
