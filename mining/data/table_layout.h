#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "data/record_layout.h"
#include "util/result.h"

namespace mining {

// Whether a text's first line names its columns.
enum class HeaderRule { Guess, Present, Absent };

// What a run asks of a data file's columns.
struct ColumnChoice {
    // The class's column: "" or "last" for the last; a column's name; a number, 1 the first,
    // negative counting from the end (-1 the last).
    std::string classColumn;
    // Columns left out, by name or number as classColumn.
    std::vector<std::string> ignore;
    HeaderRule header = HeaderRule::Guess;
    // The file has no class column: every column is an attribute and every record's class is
    // missing (classColumn is then not looked at).
    bool classAbsent = false;
    // Columns read as nominal whatever they hold, by name.
    std::vector<std::string> nominal;
};

// The candidates for the delimiter of a text whose types are guessed, in the order a tie goes.
inline constexpr std::string_view kDelimiters = "\t;|,";

// A layout guessed from a text's first lines.
struct GuessedLayout {
    RecordLayout layout;
    bool header = false;                   // the first line names the columns
    bool headerGuessed = false;            // ... as guessed, not as asked
    std::size_t headerEnd = 0;             // the bytes up to the first line after the header
    std::size_t headerLines = 0;           // the lines up to there
    std::vector<std::string> headerNames;  // the header's fields, by column (the class last)
};

// Returns the layout the first lines of `text` suggest: the delimiter (commas in a .data text
// where any of its first lines holds one, else the candidate that splits every one of the first
// lines into the same number of fields, else a comma), whether the first line is a header (see
// looksLikeHeader; in a table that is not .data, a lone line of words is one), the columns' names
// (the header's, else a1, a2, ...), each attribute's type as its first record suggests (guessType;
// a missing mark or one of `tokens` counts as a number), and the class and the ignored columns
// `choice` names.
// `dataFile` is true for a .data text. Fails naming `dataName` and the line for a line that cannot
// be split, a header naming two columns alike, a text of a header alone; with a usage error when
// `choice` names no column.
Result<GuessedLayout> guessLayout(std::string_view text, bool dataFile, const ColumnChoice& choice,
                                  const std::string& dataName, const MissingTokens& tokens = {});

// Returns true when `first` (a text's first line, split) is a header over the records `rows`
// (the lines after it, split alike at `delimiter`): none of its fields appears in its column
// among the rows (missing marks, a number's "-", "--" and ".", and `tokens` aside), and either
// some field is a non-number over a column whose present values are
// all numbers (plain, or as people write them: see readAsNumbers), or every column holds
// non-numbers and there are at least 20 records.
bool looksLikeHeader(const std::vector<std::string>& first,
                     const std::vector<std::vector<std::string>>& rows, char delimiter,
                     const MissingTokens& tokens = {});

// Returns the column `wanted` names (see ColumnChoice::classColumn) among `names`, or `count`
// (the number of columns) when it names none.
std::size_t findColumn(const std::string& wanted, const std::vector<std::string>& names);

}  // namespace mining
