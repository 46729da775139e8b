#pragma once

#include <cstddef>

#include "data/dataset.h"

namespace mining {

// How many distinct values an attribute holds over all records, counted up to two.
enum class Spread { NoValues, OneValue, Varied };

// Returns the spread of attribute `a` of `data` (numeric or nominal); it stops at the second
// distinct value, so only a constant or empty column is read whole.
Spread spreadOf(const Dataset& data, std::size_t a);

}  // namespace mining
