#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace mining::interval {

// The measure that chooses the attribute to split a node on.
//
// For a partition of the n records of a node whose attribute value is known into parts
// P_1 .. P_k (class counts c_j,m; |P_j| records), with N the node's records (known or not):
//     H(S)      = - sum_m (c_m / n) log2 (c_m / n)   (class entropy of the known records)
//     gain      = H(S) - sum_j (|P_j| / n) H(P_j)
//     splitInfo = - sum_j (|P_j| / n) log2 (|P_j| / n)
//     gainRatio = gain / splitInfo * (n / N)
// A partition with fewer than two non-empty parts has gain ratio 0.

// Returns the entropy in bits of a class distribution; 0 for an empty one.
double entropy(std::span<const std::uint32_t> counts);

// Returns the gain ratio of a partition. `partCounts` holds the parts' class counts, part j at
// [j * classCount, (j + 1) * classCount). nodeRecords is N above. Requires
// partCounts.size() a multiple of classCount and nodeRecords >= the partition's total.
double gainRatio(std::span<const std::uint32_t> partCounts, std::size_t classCount,
                 std::uint64_t nodeRecords);

}  // namespace mining::interval
