#include "evaluation/baseline.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace mining {

std::pair<double, double> wilsonInterval(std::size_t correct, std::size_t total) {
    if (total == 0) return {0.0, 1.0};
    const double z = 1.959963984540054;
    const double n = static_cast<double>(total);
    const double p = static_cast<double>(correct) / n;
    const double denominator = 1 + z * z / n;
    const double centre = (p + z * z / (2 * n)) / denominator;
    const double half = z * std::sqrt(p * (1 - p) / n + z * z / (4 * n * n)) / denominator;
    return {std::max(0.0, centre - half), std::min(1.0, centre + half)};
}

std::int32_t majorityClass(const Dataset& data, std::span<const RowIndex> rows) {
    if (rows.empty()) return 0;
    std::vector<std::size_t> counts(data.classCount(), 0);
    for (const RowIndex r : rows) ++counts[static_cast<std::size_t>(data.classes()[r])];
    return static_cast<std::int32_t>(std::max_element(counts.begin(), counts.end()) -
                                     counts.begin());
}

double classShare(const Dataset& data, std::span<const RowIndex> rows, std::int32_t c) {
    if (rows.empty()) return 0;
    std::size_t n = 0;
    for (const RowIndex r : rows) n += data.classes()[r] == c;
    return static_cast<double>(n) / static_cast<double>(rows.size());
}

}  // namespace mining
