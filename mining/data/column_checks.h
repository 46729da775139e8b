#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "data/dataset.h"
#include "data/number_styles.h"
#include "data/record_figures.h"

namespace mining {

// Returns true when one of `headerNames` (by column, the class last) is among the values of its
// nominal column (or of the class) in `data`: the line taken as a header then read as a record.
bool headerNameIsAValue(const Dataset& data, const std::vector<std::string>& headerNames);

// The records below which a column with a different value in every record is no identifier:
// in a small file most columns are.
inline constexpr std::size_t kIdentifierRecords = 20;

// A column of numbers holds at most this many records of values that are no numbers, and at
// most one in kOddValueShare of its present values, for those to be read as missing.
inline constexpr std::size_t kMaxOddRecords = 5;
inline constexpr std::size_t kOddValueShare = 100;

// What checkColumns() takes beyond the data set.
struct ColumnCheckOptions {
    char delimiter = ',';  // the file's field delimiter
    bool keepIds = false;  // keep identifier columns
    DateOrder dates = DateOrder::Guess;
    std::vector<std::string> nominal;  // columns read as nominal whatever they hold, by name
    // The records' text as read (after a header), and the file's lines before it, to name the
    // lines of values read as missing; an empty text names none.
    std::string_view records;
    std::size_t linesBefore = 0;
};

// Settles the columns of a data set whose types were guessed, and adds the notes that say so:
// - a nominal attribute (not one of options.nominal) whose values are all numbers as people
//   write them (units, grouping, decimal commas where the delimiter is not a comma, dates: see
//   readAsNumbers) becomes numeric; so does one whose values are such numbers but for "-", "--"
//   and "." and at most kMaxOddRecords records (and one in kOddValueShare) of values that are
//   no numbers ("Total"), which are then missing; the note on missing values names them, the
//   odd values with their lines;
// - unless options.keepIds, with kIdentifierRecords records or more, a nominal attribute with a
//   different value in every record (an identifier) and a numeric one that numbers the records
//   (a different whole number in every record, none below 0 nor above twice the file's
//   records: 1, 2, 3, ... in file order, or with gaps, or shuffled) are left out;
// - a class of numbers with many values is noted (see numericTargetNote).
// The notes come in the order: the numeric target, identifiers, missing values, conversions.
void checkColumns(Dataset& data, const ColumnCheckOptions& options);

// As above, counting over the records as `figures` does (a data set that holds one process's
// share of the records: see RecordFigures).
void checkColumns(Dataset& data, const ColumnCheckOptions& options, RecordFigures& figures);

// Returns the note on a class whose values are all numbers, more than 20 of them and in more
// than a tenth of the records: a numeric target, read as that many classes. "" for any other.
std::string numericTargetNote(const Dataset& data);
// As above, for a class of `records` records in all.
std::string numericTargetNote(const Dataset& data, std::uint64_t records);

// Returns the lines of `records` (1-based) where a record's field `field`, split at `delimiter`,
// is one of `values`, in order, at most `limit` of them. A record over several lines is named by
// its first line only when the value stands on it.
std::vector<std::uint64_t> linesHolding(std::string_view records, char delimiter, std::size_t field,
                                        const std::vector<std::string>& values, std::size_t limit);

}  // namespace mining
