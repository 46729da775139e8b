#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "data/dataset.h"

namespace mining {

// Returns a hash of each row's values (attributes and class), as recordsSeenAmong compares them:
// equal records hash alike where their numbers are stored alike.
std::vector<std::uint64_t> recordHashes(const Dataset& data);

// Returns, for each of the rows `test` of `data`, whether it holds the same values (every
// attribute and the class; missing equals missing) as one of the rows `train`. Each row's values
// are hashed column by column, so the cost is a pass over the data and a sort of the training
// rows' hashes.
std::vector<bool> recordsSeenAmong(const Dataset& data, std::span<const RowIndex> train,
                                   std::span<const RowIndex> test);

}  // namespace mining
