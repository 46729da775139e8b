#pragma once

#include <cstddef>
#include <vector>

#include "data/dataset.h"
#include "util/collective.h"

namespace mining {

// Returns the spread of attribute `a` of `data` (numeric or nominal); it stops at the second
// distinct value, so only a constant or empty column is read whole.
// Where `data` holds one share of the records (setSpreadsInAll), the spread over every share.
Spread spreadOf(const Dataset& data, std::size_t a);

// Returns at every process the spread of each attribute (NoValues for an ignored one) over every
// process's share `share` of the records: each process's own spread and first value combined.
std::vector<Spread> spreadsInAll(const Dataset& share, Collective& collective);

}  // namespace mining
