#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "util/result.h"

namespace mining {

// Reading ARFF, Weka's file format: a header that declares the attributes, then the records.
//
// The text rules of both parts: lines end in '\n', "\r\n" or a carriage return alone; a leading
// UTF-8 byte-order mark is skipped; '%' outside quotes starts a comment that runs to the line's
// end; blank and comment lines are skipped. A value is bare (blanks around it dropped) or quoted
// with ' or " and may then hold commas, blanks and '%'; inside quotes \' \" \\ \% and \t stand
// for ' " \ % and a tab, and a backslash before any other character is kept as it stands.

// One declared attribute.
struct ArffAttribute {
    std::string name;
    enum class Kind { Numeric, Nominal, Date } kind = Kind::Numeric;
    std::vector<std::string> values;  // Nominal: the declared values, in order
    std::string dateFormat;           // Date: the pattern (see data/arff_date.h)
};

struct ArffHeader {
    std::string relation;                   // "" when the file names none
    std::vector<ArffAttribute> attributes;  // in declaration order
    std::size_t dataOffset = 0;             // byte offset in the text of the first line after @data
    std::size_t dataLine = 0;               // the 1-based number of that line
};

// At most this many attributes; a file that declares more is refused.
inline constexpr std::size_t kMaxArffAttributes = 100000;

// Reads the header of an ARFF text (the whole file) up to and including its @data line:
// `@relation NAME`, then one `@attribute NAME TYPE` per attribute, then `@data` (keywords in any
// case). NAME is bare (it ends at a blank) or quoted. TYPE is `numeric`, `real` or `integer`;
// `{v1, v2, ...}` (a nominal attribute; at least one value, none twice); or `date` with an
// optional pattern, bare or quoted (default kDefaultDateFormat).
// Returns the header, or an error "FILE, line N: ..." naming the attribute at fault: a string or
// relational attribute, an unknown or missing type, an attribute or value declared twice, an
// empty value list, no attributes, more than kMaxArffAttributes of them, no @data line, a NUL byte.
Result<ArffHeader> parseArffHeader(std::string_view text, const std::string& fileName);

// Returns false when the data section `data` (the text from header.dataOffset on) can be handed
// to the record reader as it stands, which reads the same records from it as arffRecords()
// writes: no date attribute, and no quote, '{', '%' or lone carriage return anywhere. A scan of
// the bytes, at memory speed, so that large plain files are not copied.
bool arffNeedsRewrite(const ArffHeader& header, std::string_view data);

// Returns the records of the data section `data` (the text from header.dataOffset on, whose first
// line is line `firstLine` of the file) as comma-separated lines, one a record, each ended by
// '\n', that the record reader reads back exactly:
// - a value is written bare when it is not empty, is not "?" and holds no comma, quote,
//   apostrophe, '%', '{' or leading or trailing blank; else in double quotes, with each inner
//   double quote doubled; a missing value ('?' unquoted in the data) is written `?`;
// - a numeric value as it stands, a nominal value as declared, a date as its days since
//   1970-01-01 00:00 UTC, the time of day as a fraction (the shortest text that reads back as
//   the same double);
// - a sparse line `{index value, ...}` (indexes from 0, ascending) is written in full: an
//   attribute it leaves out is 0 when numeric or a date, and its first value when nominal.
// Sets lineOfRecord[k] to the 1-based line of the file that holds record k.
// Returns an error "FILE, line N: ..." for a line with too few or too many values, a number
// that is not one (as the record reader reads numbers), a value not declared for its attribute,
// a date that does not match its format, a sparse index out of range, repeated or out of order,
// an empty unquoted value, a quote left open, a NUL byte, or output beyond 4 GiB.
// Requires `header` to come from parseArffHeader().
Result<std::string> arffRecords(std::string_view data, const ArffHeader& header,
                                const std::string& fileName, std::size_t firstLine,
                                std::vector<std::size_t>& lineOfRecord);

}  // namespace mining
