#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "data/missing_marks.h"
#include "data/number_parser.h"
#include "data/record_layout.h"
#include "data/text_fields.h"
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

// The steps of the plain path: each reads one field from `p` (at most `end`) and the delimiter
// after it (none after the last field, which must end the line), and returns false when the
// field is not plain (`p` is then of no further use). Inline because they run once per field of
// every record.
namespace plain_field {

inline bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// Returns true when `field` (unquoted, blanks trimmed) marks a missing value in any column:
// '?', nothing, NA, N/A, NULL, ... (see builtInMark).
inline bool isMissingMark(std::string_view field) { return builtInMark(field) != kNoMark; }

// Returns the mark `field` (unquoted, blanks trimmed) is in any column: a built-in one, else one
// of `tokens`, else kNoMark.
inline MarkId markOf(std::string_view field, const MissingTokens& tokens) {
    const MarkId mark = builtInMark(field);
    if (mark != kNoMark || tokens.empty()) return mark;
    return tokens.markOf(field);
}

// Steps over the run of blanks that ends a field at `p` between runs of spaces (kSpaces), or
// checks that only blanks end the line after the last field.
inline bool spacesEnd(const char*& p, const char* end, bool last) {
    const char* const start = p;
    while (p < end && isBlank(*p)) ++p;
    return last ? p == end : p != start && p != end;
}

// Steps over the delimiter that ends a field at `p`, or checks that the last field ends the line.
inline bool fieldEnd(const char*& p, const char* end, char delimiter, bool last) {
    if (delimiter == kSpaces) return spacesEnd(p, end, last);
    if (last) return p == end;
    if (p == end || *p != delimiter) return false;
    ++p;
    return true;
}

// Reads a number into `decimal`, or a missing mark into `mark` (else kNoMark). A mark that
// starts with a sign or a point ("-nan", ".") is left to the full rules.
inline bool number(const char*& p, const char* end, char delimiter, bool last,
                   PlainDecimal& decimal, MarkId& mark, const MissingTokens& tokens) {
    const char* const start = p;
    const DecimalScan scan = scanDecimal(p, end, decimal);
    if (scan == DecimalScan::TooManyDigits) return false;
    mark = kNoMark;
    if (scan == DecimalScan::NoDigits) {
        if (p != start) return false;
        const char* stop = p;
        while (stop < end && *stop != delimiter && *stop != '\0') ++stop;
        const char* e = stop;
        while (e > p && isBlank(e[-1])) --e;
        mark = markOf(std::string_view(p, static_cast<std::size_t>(e - p)), tokens);
        if (mark == kNoMark) return false;
        p = stop;
    }
    while (p < end && isBlank(*p) && *p != delimiter) ++p;
    return fieldEnd(p, end, delimiter, last);
}

// Skips an ignored attribute's field.
inline bool ignored(const char*& p, const char* end, char delimiter, bool last) {
    while (p < end && *p != delimiter && *p != '\0') ++p;
    return fieldEnd(p, end, delimiter, last);
}

// Reads a nominal value or a missing mark into `field`.
inline bool value(const char*& p, const char* end, char delimiter, bool last,
                  std::string_view& field) {
    const char* const start = p;
    // Fields are short: a plain loop beats a library call here.
    const char* stop = p;
    while (stop < end && *stop != delimiter && *stop != '\0') ++stop;
    const char* e = stop;
    while (e > start && isBlank(e[-1])) --e;
    field = std::string_view(start, static_cast<std::size_t>(e - start));
    p = stop;
    return fieldEnd(p, end, delimiter, last);
}

}  // namespace plain_field

// Reads one record line (without its '\n') of a .data text, field by field, against a layout
// and the value coders of its attributes and class. Two paths read a line: parsePlain() for the
// common plain line, fast, and parse() for any line, with every rule and message; on a line both
// accept they give the same cells.
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

    // As parsePlain(), but hands each field to `sink` as it is read, in field order, rather than
    // to cells(): sink.number(i, decimal) (which may refuse it: the line is then not plain),
    // sink.missingNumber(i), sink.code(i, code), sink.missingValue(i), and for the class
    // sink.classCode(code) or sink.missingClass(). A line found not plain may have handed its
    // first fields over.
    template <class Sink>
    bool parsePlainInto(std::string_view line, Sink& sink);

    // Reads any line that holds more than blanks by the full rules. The class is checked first,
    // then the attributes in order; a record without class is checked all the same.
    LineOutcome parse(std::string_view line);

    // Returns the cells of the last line read, one per field.
    const std::vector<Cell>& cells() const { return cells_; }
    // Returns the missing marks other than the quiet ones (see isQuietMark) that the records
    // read so far held, by column; of a record left out for its missing class, only the
    // class's mark.
    const MarkTally& marks() const { return marks_; }
    // After Failed: the message, without file and line.
    const std::string& error() const { return error_; }
    // After Failed for a record of the wrong number of fields: the fields found (more than the
    // layout's when the line has very many); else 0.
    std::size_t wrongFieldCount() const { return wrongFieldCount_; }
    // After Restart: the attribute that is not numeric after all.
    std::size_t restartColumn() const { return restartColumn_; }

private:
    // Reads the numeric field at p (attribute `i`, the line's last field when `last`) into
    // `sink`, past it and its delimiter, as parsePlainInto() does; false where the plain path
    // cannot read it.
    template <class Sink>
    bool plainNumber(const char*& p, const char* end, bool last, std::size_t i, Sink& sink);
    LineOutcome fail(std::string message);
    LineOutcome splitLine(std::string_view line);
    MarkId missingMark(std::size_t column) const;
    // Notes that column `column` of the line holds `mark`; counted once the line is a record.
    void noteMark(std::size_t column, MarkId mark) {
        if (!isQuietMark(mark)) lineMarks_.push_back({static_cast<std::uint32_t>(column), mark});
    }
    // Counts the line's marks: of a record left out for its missing class, only the class's.
    void countLineMarks(bool classMissing) {
        const bool leftOut = classMissing && !layout_.keepMissingClass;
        const std::size_t classColumn = layout_.fieldCount - 1;
        for (const LineMark& m : lineMarks_)
            if (!leftOut || m.column == classColumn) marks_.add(m.column, m.mark);
    }
    LineOutcome readClass();
    LineOutcome readNumber(std::size_t attribute);
    LineOutcome readValue(std::size_t attribute);

    const RecordLayout& layout_;
    std::vector<ValueCoder>& coders_;
    std::vector<Cell> cells_;
    std::vector<std::string_view> fields_;
    std::vector<bool> quoted_;
    std::string unescaped_;  // fields that held doubled quotes
    std::string error_;
    std::size_t restartColumn_ = 0;
    std::size_t wrongFieldCount_ = 0;
    struct LineMark {
        std::uint32_t column;
        MarkId mark;
    };
    std::vector<LineMark> lineMarks_;  // the marks of the line being read
    MarkTally marks_;
};

template <class Sink>
bool LineParser::plainNumber(const char*& p, const char* end, bool last, std::size_t i,
                             Sink& sink) {
    using namespace plain_field;
    const MissingTokens& tokens = layout_.missingTokens;
    PlainDecimal decimal;
    MarkId mark = kNoMark;
    if (!number(p, end, layout_.delimiter, last, decimal, mark, tokens)) return false;
    if (mark == kNoMark && tokens.anyNumber())
        mark = tokens.markOfNumber(decimalToDouble(decimal.mantissa, decimal.fractionDigits));
    if (mark == kNoMark) return sink.number(i, decimal);
    noteMark(i, mark);
    sink.missingNumber(i);
    return true;
}

template <class Sink>
bool LineParser::parsePlainInto(std::string_view line, Sink& sink) {
    using namespace plain_field;
    const char* p = line.data();
    const char* const end = p + line.size();
    const char delimiter = layout_.delimiter;
    const std::size_t fields = layout_.fieldsInLine();
    const std::size_t classField = layout_.classField;
    const MissingTokens& tokens = layout_.missingTokens;
    // A line of blanks alone is no record; a delimiter is no blank (a tab before the first field
    // ends an empty field), but for runs of spaces, which may start the line.
    const bool spaces = delimiter == kSpaces;
    while (p < end && isBlank(*p) && (spaces || *p != delimiter)) ++p;
    if (p == end) return false;
    lineMarks_.clear();
    bool classMissing = false;
    for (std::size_t f = 0; f < fields; ++f) {
        // The same blanks as the full rules skip, carriage returns too: else a field such as
        // "\r'a, b'" would be read as an unquoted value here.
        while (p < end && isBlank(*p) && *p != delimiter) ++p;
        if (p < end && (*p == '\'' || *p == '"')) return false;
        const bool last = f + 1 == fields;
        const bool isClass = f == classField;
        const std::size_t i = isClass ? fields - 1 : f - (f > classField);
        const AttributeType type = isClass ? AttributeType::Nominal : layout_.types[i];
        if (type == AttributeType::Numeric) {
            if (!plainNumber(p, end, last, i, sink)) return false;
        } else if (type == AttributeType::Ignored) {
            if (!ignored(p, end, delimiter, last)) return false;
        } else {
            std::string_view field;
            if (!value(p, end, delimiter, last, field)) return false;
            MarkId mark = builtInMark(field);
            if (mark != kNoMark && layout_.listsMark(i, mark)) mark = kNoMark;
            if (mark == kNoMark && !tokens.empty()) mark = tokens.markOf(field);
            if (mark != kNoMark) {
                noteMark(i, mark);
                isClass ? sink.missingClass() : sink.missingValue(i);
                classMissing = classMissing || isClass;
                continue;
            }
            const std::int32_t code = coders_[i].code(field);
            if (code < 0) return false;
            isClass ? sink.classCode(code) : sink.code(i, code);
        }
    }
    if (layout_.classAbsent) sink.missingClass();
    if (!lineMarks_.empty()) countLineMarks(classMissing || layout_.classAbsent);
    return true;
}

}  // namespace mining
