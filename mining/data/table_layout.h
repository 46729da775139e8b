#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "data/record_figures.h"
#include "data/record_layout.h"
#include "data/text_fields.h"
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
    // The delimiter between fields (kSpaces: runs of spaces), or 0: found from the first lines.
    char delimiter = 0;
};

// The candidates for the delimiter of a text whose types are guessed, in the order a tie goes;
// runs of spaces (kSpaces) come after them all.
inline constexpr std::string_view kDelimiters = "\t;|,";

// A record's fields at the chosen delimiter must be the same number on at least this share of
// the first lines (or on all lines but one, of fewer than kFewLines), and a line with another
// number of fields is an error when it is read.
inline constexpr double kDelimiterShare = 0.9;
inline constexpr std::size_t kFewLines = 10;

// The name of the row names' column, which a header one field short leaves unnamed.
inline constexpr std::string_view kRowNames = "row names";

// A layout guessed from a text's first lines.
struct GuessedLayout {
    RecordLayout layout;
    bool delimiterGuessed = false;         // the delimiter as guessed, not as asked
    bool header = false;                   // the first line names the columns
    bool headerGuessed = false;            // ... as guessed, not as asked
    bool headerDoubt = false;              // no header guessed, but the first line is all words
    bool rowNames = false;                 // the header names all columns but the first
    std::size_t emptyColumns = 0;          // the last attributes: unnamed, empty in the first lines
    std::size_t headerEnd = 0;             // the bytes up to the first line after the header
    std::size_t headerLines = 0;           // the lines up to there
    std::vector<std::string> headerNames;  // the header's fields, by column (the class last)
};

// Returns the layout the first lines of `text` suggest, '#' comment lines aside (see
// isCommentLine):
// - the delimiter `choice` asks for, else commas in a .data text where any of its first lines
//   holds one, else the candidate of kDelimiters that splits the most of the first lines into
//   one number (two or more) of fields, if that is kDelimiterShare of them (of those that fit,
//   the one that splits no quoted text apart goes first), else runs of spaces
//   where every line splits into one number of fields, else a comma (one column). The number
//   of fields is the one most lines have. Of at least kFewLines lines, most of them split alike
//   at runs of spaces and some not is an error naming the first other line;
// - whether the first line is a header (see looksLikeHeader; in a table that is not .data, a
//   lone line of words is one); a first line of words one field short of the records is a
//   header over row names, which fill the first column (kRowNames);
// - the columns at the end of the lines that are empty in every one of the first lines (the
//   header's name too): attributes after all others (emptyColumns), the class before them;
// - the columns' names (the header's, else a1, a2, ...), each attribute's type as its first
//   record suggests (guessType; a missing mark or one of `tokens` counts as a number), and the
//   class and the ignored columns `choice` names.
// `dataFile` is true for a .data text. Fails naming `dataName` and the line for a line that cannot
// be split, a first line of another number of fields than the records', a header naming two
// columns alike, a text of a header alone, and a text whose lines hold a candidate but split into
// no one number of fields at any; with a usage error when `choice` names no column.
Result<GuessedLayout> guessLayout(std::string_view text, bool dataFile, const ColumnChoice& choice,
                                  const std::string& dataName, const MissingTokens& tokens = {});

// Returns how `guess` reads a text, for the report: "tabs between fields, a header line" and,
// after "; guessed: ", the options that would read it otherwise where a guess could be wrong
// (--delimiter for a delimiter other than the one the suffix of `path` suggests, --no-header
// for a header guessed, --header for a first line of words taken for a record). The delimiter is
// left out for a comma in a .data text (`delimited` false).
std::string describeGuess(const GuessedLayout& guess, bool delimited, const std::string& path);

// Settles the columns of `data`, read with `guess`, that the first lines could not: unless
// `keepIds` (columns kept whatever they hold), each of the columns empty in the first lines
// (emptyColumns) that is empty in every record is left out, and one that holds values further
// on is kept; both with a note.
void dropEmptyColumns(Dataset& data, const GuessedLayout& guess, bool keepIds);
// As above, counting over the records as `figures` does (see RecordFigures).
void dropEmptyColumns(Dataset& data, const GuessedLayout& guess, bool keepIds,
                      RecordFigures& figures);

// Leaves out the row names of `data`, read with `guess`, when the identifier checks did not and
// `keepIds` is false, with a note.
void leaveOutRowNames(Dataset& data, const GuessedLayout& guess, bool keepIds);

// Returns true when `first` (a text's first line, split) is a header over the records `rows`
// (the lines after it, split alike at `delimiter`): none of its fields appears in its column
// among the rows (missing marks, a number's "-", "--" and ".", and `tokens` aside; an empty
// field names no column: its column is not looked at, and some field must name one), and either
// some field is a non-number over a column whose present values are all numbers (plain, or as
// people write them: see readAsNumbers), or every named column holds
// non-numbers and there are at least 20 records.
bool looksLikeHeader(const std::vector<std::string>& first,
                     const std::vector<std::vector<std::string>>& rows, char delimiter,
                     const MissingTokens& tokens = {});

// Returns the column `wanted` names (see ColumnChoice::classColumn) among `names`, or `count`
// (the number of columns) when it names none.
std::size_t findColumn(const std::string& wanted, const std::vector<std::string>& names);

}  // namespace mining
