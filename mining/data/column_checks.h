#pragma once

#include <string>
#include <vector>

#include "data/dataset.h"

namespace mining {

// Returns true when one of `headerNames` (by column, the class last) is among the values of its
// nominal column (or of the class) in `data`: the line taken as a header then read as a record.
bool headerNameIsAValue(const Dataset& data, const std::vector<std::string>& headerNames);

// The records below which a column with a different value in every record is no identifier:
// in a small file most columns are.
inline constexpr std::size_t kIdentifierRecords = 20;

// Settles the columns of a data set whose types were guessed, adding a note for each change:
// - a nominal attribute whose values are all numbers as people write them (units, grouping,
//   decimal commas where `delimiter` is not a comma, ISO dates) becomes numeric;
// - unless `keepIds`, with kIdentifierRecords records or more, a nominal attribute with a
//   different value in every record (an identifier) and a numeric one that counts the records in
//   file order (1, 2, 3, ... or 0, 1, 2, ...) are left out;
// - a class whose values are all numbers, more than 20 of them and in more than a tenth of the
//   records, is noted as a numeric target.
void checkColumns(Dataset& data, char delimiter, bool keepIds);

}  // namespace mining
