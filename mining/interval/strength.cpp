#include "interval/strength.h"

namespace mining::interval {

double strengthThreshold(int len, int maxDepth) {
    const double r = static_cast<double>(len - 1) / maxDepth;
    return 1.0 - r * r;
}

bool isStrong(std::uint64_t winnerCount, std::uint64_t total, int len, int maxDepth) {
    if (total == 0) return false;
    const auto l2 = static_cast<std::uint64_t>(maxDepth) * static_cast<std::uint64_t>(maxDepth);
    const auto d = static_cast<std::uint64_t>(len - 1);
    // Both products stay far below 2^64 for record counts below 2^32 and L <= 1000.
    return winnerCount * l2 >= total * (l2 - d * d);
}

}  // namespace mining::interval
