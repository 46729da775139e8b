#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>

#include "data/dataset.h"

namespace mining {

// Returns the Wilson score interval (95 %) of `correct` successes in `total` trials, in [0, 1]:
//   (p + z^2/2n -+ z sqrt(p(1-p)/n + z^2/4n^2)) / (1 + z^2/n),  z = 1.96, p = correct/total;
// [0, 1] when total is 0.
std::pair<double, double> wilsonInterval(std::size_t correct, std::size_t total);

// Returns the class most of `rows` of `data` hold (the earliest on a tie; 0 for no rows).
std::int32_t majorityClass(const Dataset& data, std::span<const RowIndex> rows);

// Returns the share of `rows` whose class is `c` (0 for no rows).
double classShare(const Dataset& data, std::span<const RowIndex> rows, std::int32_t c);

}  // namespace mining
