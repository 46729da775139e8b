#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mining {

// The low-level text rules shared by the .data and .names readers.

// Returns `text` without leading and trailing spaces, tabs and carriage returns.
std::string_view trimBlanks(std::string_view text);

// Returns `text` without a leading UTF-8 byte-order mark.
std::string_view skipByteOrderMark(std::string_view text);

// Splits one line (without its '\n') into fields at commas. Blanks around fields are dropped; a
// field that starts with ' or " runs to the matching quote and may hold commas (the quotes are
// dropped, and `quoted` tells which fields had them); "" inside double quotes is one ". Fields
// view `line`, or `storage` for those that held "" (until its next use). Returns false and sets
// `error` when a quote is not closed or text follows a closing quote. Stops after `maxFields` + 1
// fields, so that a line with more than `maxFields` fields leaves exactly that many + 1 in
// `fields`.
bool splitFields(std::string_view line, std::vector<std::string_view>& fields,
                 std::vector<bool>& quoted, std::string& storage, std::string& error,
                 std::size_t maxFields = static_cast<std::size_t>(-1) - 1);

// The delimiter that stands for runs of spaces: one or more spaces (and tabs among them) part
// two fields, and blanks at the start and end of a line part none, so no field is empty unless
// quoted.
inline constexpr char kSpaces = ' ';

// As splitFields(), with `delimiter` between fields (a tab delimiter is then no blank: empty
// fields, the first ones too, are fields) and double-quoted fields read as in RFC 4180; with
// kSpaces, runs of spaces between fields.
bool splitDelimited(std::string_view line, char delimiter, std::vector<std::string_view>& fields,
                    std::vector<bool>& quoted, std::string& storage, std::string& error,
                    std::size_t maxFields = static_cast<std::size_t>(-1) - 1);

// Returns true when `line` holds nothing but blanks that are not `delimiter` (with kSpaces:
// nothing but blanks): no record, not even one of empty fields.
bool isBlankLine(std::string_view line, char delimiter);

// Returns true when `line` is a comment in a text of records of `fields` fields split at
// `delimiter`: it starts with '#' and is no record, that is, it does not split into `fields`
// fields, or its first field is more than one word (but a mark of a missing value such as
// "#N/A N/A"), or '#' alone, or the fields are parted by runs of spaces (kSpaces). A
// spreadsheet's error value such as #N/A or #DIV/0! starts a record.
bool isCommentLine(std::string_view line, char delimiter, std::size_t fields);

// Returns true when `line`, split at `delimiter` as splitDelimited() splits it, leaves a
// double-quoted field open at its end: the field then goes on over the next line.
bool leavesQuoteOpen(std::string_view line, char delimiter);

// Follows the double quotes of one record as its bytes are read piece by piece (its first line,
// then each further line with the line end before it), so that a record over many lines is read
// once: after each piece it says what leavesQuoteOpen() says of the whole record so far.
class QuoteTracker {
public:
    explicit QuoteTracker(char delimiter) : delimiter_(delimiter) {}

    // Reads `more`, the record's next bytes. Returns true when a double-quoted field is open
    // after them.
    bool add(std::string_view more);

private:
    enum class State : std::uint8_t {
        FieldStart,  // before a field, blanks skipped
        Bare,        // in a field's text outside quotes (or after its closing quote)
        Quoted,      // inside double quotes
        QuoteSeen,   // a quote inside double quotes: closing unless another follows
    };

    char delimiter_;
    State state_ = State::FieldStart;
};

// Returns true when the first line end of `text` is a carriage return alone (the line ends of
// old Mac files), false when it is '\n' or "\r\n" or there is none.
bool endsLinesWithCarriageReturns(std::string_view text);

// Returns `text` with each carriage return that is not followed by '\n' replaced by '\n'.
std::string carriageReturnsToNewlines(std::string_view text);

// Returns the 1-based number of the line holding the first NUL byte of `text`, or 0 when it
// holds none.
std::size_t lineOfNulByte(std::string_view text);

// Returns `text` quoted for an error message, shortened to about 40 characters and with control
// bytes shown as '?', so that no byte of a bad file can garble a message.
std::string quoteForMessage(std::string_view text);

}  // namespace mining
