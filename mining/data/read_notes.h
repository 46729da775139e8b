#pragma once

#include <string>

#include "data/dataset.h"

namespace mining {

// The reader's notes on what it read another way than the file wrote it, one sentence each,
// short enough for the report's first lines in ordinary cases: columns are listed in one
// sentence, not one sentence each, and every note starts with a word, never a column's name.

// Returns the note on Dataset::missingCounts(), "" when there are none: each value with the
// columns that held it and how often, a value that is no number with its lines where known:
// "read as missing: NULL in income (12) and city (3); Total in amount (line 102)".
std::string missingValuesNote(const Dataset& data);

// Returns the note on Dataset::conversions(), "" when there are none: each style with its
// columns and one example (dates one a column), and for dates read in a guessed order how to
// ask for the other: "read as numbers with a decimal comma: price and tax (3,20 -> 3.2); as
// dates, in days since 1970-01-01: day (07/06/2024 -> 19880, month first; --dates dmy reads
// day first)".
std::string conversionsNote(const Dataset& data);

}  // namespace mining
