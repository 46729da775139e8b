#pragma once

#include <cstdint>

namespace mining::interval {

// The strength test of an interval (or a nominal value) at a depth of the tree.
//
// An interval's winner is strong when its share of the interval's records is at least
//     t(len) = 1 - ((len - 1) / L)^2,
// len being the number of conditions on the path to the interval, the new one included
// (1 for a branch of the root), and L the maximum depth. t(1) = 1, so only a pure branch of the
// root is strong; the threshold falls towards 1 - ((L - 1) / L)^2 at the deepest level.

// Returns t(len) for maximum depth maxDepth. Requires 1 <= len <= maxDepth.
double strengthThreshold(int len, int maxDepth);

// Returns true when winnerCount / total >= t(len), decided in exact integer arithmetic
// (winnerCount * L^2 >= total * (L^2 - (len - 1)^2)), so a share that equals the threshold is
// strong. Returns false when total is 0. Requires 1 <= len <= maxDepth <= 1000 and
// winnerCount <= total.
bool isStrong(std::uint64_t winnerCount, std::uint64_t total, int len, int maxDepth);

}  // namespace mining::interval
