#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "data/dataset.h"
#include "data/missing_marks.h"
#include "data/names_file.h"
#include "util/result.h"

namespace mining {

// The most attributes a data set may have. Each costs a few hundred bytes whatever the number of
// records, so without a bound one long line of commas would take memory far beyond its size.
inline constexpr std::size_t kMaxAttributes = 100000;

// Names where line `line` (1-based, counted in the text being read) of a .data text lies in its
// file, for an error message: "line 12", or for a text that holds only some of the file's lines,
// where the file has it. An empty namer stands for "line N".
using LineNamer = std::function<std::string(std::size_t line)>;

// Returns what `namer` says of `line`, or "line N" when `namer` is empty.
std::string nameLine(const LineNamer& namer, std::size_t line);

// What every line of a data text is read against.
//
// A record's fields are the attributes in order with the class's field at classField among
// them; attribute i (i < fieldCount - 1) is field i, or i + 1 from the class's field on.
// Columns (types, coders, codes) are numbered by attribute, the class last.
struct RecordLayout {
    std::size_t fieldCount = 0;               // the attributes and the class
    std::size_t classField = 0;               // the class's field: fieldCount - 1 unless chosen
    char delimiter = ',';                     // between fields
    std::vector<AttributeType> types;         // per attribute (fieldCount - 1)
    std::vector<std::string> attributeNames;  // as error messages show them
    std::string className = "class";          // the class column's name, as the file gives it
    const NamesFile* names = nullptr;         // the declared schema, or null when guessed
    std::string dataName;                     // the sources, as error messages name them
    std::string namesName;
    // The lines hold no class field: the class (column fieldCount - 1, at field fieldCount - 1)
    // is missing in every record and the lines have fieldCount - 1 fields.
    bool classAbsent = false;
    // Records whose class is missing are kept as rows (their class kMissingCode), not counted.
    bool keepMissingClass = false;
    // Each row notes the line its record starts on (Dataset::recordLines()).
    bool recordLines = false;
    // Lines that start with '#' and are no record (see isCommentLine) are comments: skipped,
    // counted and noted. `commentsBefore` counts those above the text read (over a header).
    bool hashComments = false;
    std::size_t commentsBefore = 0;

    // Returns the fields a record's line holds.
    std::size_t fieldsInLine() const { return fieldCount - (classAbsent ? 1 : 0); }

    // Returns the field of column `column` (the class: fieldCount - 1).
    std::size_t fieldOf(std::size_t column) const {
        if (column + 1 == fieldCount) return classField;
        return column + (column >= classField);
    }
    // The tokens the run names as missing values, beside the built-in marks.
    MissingTokens missingTokens;

    // Returns true when the declared values of column `column` (the class: fieldCount - 1)
    // list built-in mark `mark` (any but '?'): it is then a value there.
    bool listsMark(std::size_t column, MarkId mark) const {
        if (listedMarks.empty() || mark == kMarkQuestion || mark >= kListableMarks) return false;
        return (listedMarks[column] >> mark) & 1;
    }
    // Per column, bit m set when the declared values list built-in mark m; empty when no
    // column does.
    std::vector<std::uint32_t> listedMarks;
    static constexpr MarkId kListableMarks = 32;
};

// Returns the layout `names` declares: its attributes' types and names (control bytes shown as
// '?'), with `names` kept in it. Requires `names` to outlive the layout. Fails, naming
// `namesName`, when it declares more than kMaxAttributes attributes.
Result<RecordLayout> layoutFromNames(const NamesFile& names, const std::string& namesName);

// Returns the type a first record suggests for an attribute: Numeric when its field is a number
// or an unquoted missing mark other than an empty field ('?', NA, NULL, ...), else Nominal. Later
// records may still turn Numeric into Nominal.
AttributeType guessType(std::string_view field, bool quoted);

// Returns the layout the first non-blank line of `text` (lines ended by '\n') suggests: its
// number of fields, each attribute's guessType() and names a1, a2, ... Fails, naming `dataName`
// and the line (as `namer` names it), when that line cannot be split or has more than
// kMaxAttributes + 1 fields, and with "DATA holds no records" when every line is blank.
Result<RecordLayout> layoutFromFirstRecord(std::string_view text, const std::string& dataName,
                                           const LineNamer& namer = {});

}  // namespace mining
