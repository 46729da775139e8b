#pragma once

#include <cstddef>
#include <span>

#include "data/dataset.h"

namespace mining {

// Returns how many of the rows `test` of `data` hold the same values (every attribute and the
// class; missing equals missing) as one of the rows `train`. Each row's values are hashed column
// by column, so the cost is a pass over the data and a sort of the training rows' hashes.
std::size_t recordsSeenAmong(const Dataset& data, std::span<const RowIndex> train,
                             std::span<const RowIndex> test);

}  // namespace mining
