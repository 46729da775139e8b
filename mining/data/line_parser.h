#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "data/number_parser.h"
#include "data/record_layout.h"
#include "data/value_coder.h"

namespace mining {

// What one field of a record holds once read.
enum class CellKind : std::uint8_t {
    Missing,  // '?' (or an ignored attribute's field, which is never looked at)
    Decimal,  // a plain decimal, in `decimal`
    Number,   // any other number, in `number`
    Code,     // a nominal value's code, in `code`
};

// Only the member that `kind` names is meaningful; the others may hold an earlier line's.
struct Cell {
    CellKind kind = CellKind::Missing;
    std::int32_t code = 0;
    PlainDecimal decimal;
    double number = 0;
};

enum class LineOutcome {
    Record,   // cells() holds the record (its class cell Missing when the class is '?')
    Restart,  // without .names: a column taken as numeric holds a non-number
    Failed,   // a malformed record
};

// Reads one record line (without its '\n') of a .data text into cells, one per field, against a
// layout and the value coders of its attributes and class. Two paths read a line: parsePlain()
// for the common plain line, fast, and parse() for any line, with every rule and message; on a
// line both accept they give the same cells.
class LineParser {
public:
    // `coders` holds one coder per attribute and then the class's. Requires `layout` and
    // `coders` to outlive the parser.
    LineParser(const RecordLayout& layout, std::vector<ValueCoder>& coders);

    // Reads a line of plain fields: none quoted, numbers without exponent and of at most
    // kMaxDecimalDigits digits, nominal values its coders accept, the class present or '?'.
    // Returns true with cells() filled, or false for any other line (a blank line too), which
    // parse() then reads. Returning false it may have added the line's first values to open
    // coders, which parse() adds in the same way.
    bool parsePlain(std::string_view line);

    // Reads any line that holds more than blanks by the full rules. The class is checked first,
    // then the attributes in order; a record without class is checked all the same.
    LineOutcome parse(std::string_view line);

    // Returns the cells of the last line read, one per field.
    const std::vector<Cell>& cells() const { return cells_; }
    // After Failed: the message, without file and line.
    const std::string& error() const { return error_; }
    // After Restart: the attribute that is not numeric after all.
    std::size_t restartColumn() const { return restartColumn_; }

private:
    LineOutcome fail(std::string message);
    LineOutcome splitLine(std::string_view line);
    LineOutcome readClass();
    LineOutcome readNumber(std::size_t attribute);
    LineOutcome readValue(std::size_t attribute);

    const RecordLayout& layout_;
    std::vector<ValueCoder>& coders_;
    std::vector<Cell> cells_;
    std::vector<std::string_view> fields_;
    std::vector<bool> quoted_;
    std::string error_;
    std::size_t restartColumn_ = 0;
};

}  // namespace mining
