#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mining {

// The marks that stand for a missing value in a field, each known by a small number (a mark
// id), so that the reader can count which marks it met in which column at the cost of a byte.
//
// In every column, unquoted: '?', an empty field, and what spreadsheets, databases and data
// frame libraries write for a missing value: NA, NaN, nan, -NaN, -nan, N/A, n/a, #N/A, #NA,
// #N/A N/A, <NA>, NULL, null, 1.#IND, -1.#IND, 1.#QNAN, -1.#QNAN. "None" is no mark: it is a
// real value in many files.
// In a numeric column only: "-", "--" and "." (what spreadsheets show for an empty number).
// And the tokens a run names (--missing), quoted or not, in every column; one that is a number
// is missing in a numeric column wherever a field holds that number ("-999", "-999.0").

using MarkId = std::uint8_t;

// The marks, by id. The first four are the reader's own, which no note mentions.
enum : MarkId {
    kMarkQuestion,
    kMarkEmpty,
    kMarkNA,
    kMarkNaN,
    kMarkLowerNan,
    kMarkMinusNaN,
    kMarkMinusNan,
    kMarkSlashNA,
    kMarkLowerSlashNA,
    kMarkHashSlashNA,
    kMarkHashNA,
    kMarkHashSlashNATwice,
    kMarkAngleNA,
    kMarkNULL,
    kMarkNull,
    kMarkInd,
    kMarkMinusInd,
    kMarkQnan,
    kMarkMinusQnan,
    kMarkDash,  // from here on: in a numeric column only
    kMarkDashes,
    kMarkDot,
    kFirstTokenMark,                         // the run's first token; the others follow
    kNoMark = 0xFF,                          // not a missing mark
    kMaxTokens = kNoMark - kFirstTokenMark,  // tokens beyond these are not told apart
};

// Returns true when `mark` is '?', an empty field, NA or NaN: the marks the reader has always
// read, which need no note.
inline bool isQuietMark(MarkId mark) { return mark <= kMarkNaN; }

// Returns the id of `field` (unquoted, blanks trimmed) as a mark of a missing value in any
// column, or kNoMark. Inline and decided by length and first byte: it runs on every nominal
// field and every non-number in a numeric column.
inline MarkId builtInMark(std::string_view f) {
    switch (f.size()) {
        case 0:
            return kMarkEmpty;
        case 1:
            return f[0] == '?' ? kMarkQuestion : kNoMark;
        case 2:
            return f == "NA" ? kMarkNA : kNoMark;
        case 3:
            if (f == "NaN") return kMarkNaN;
            if (f == "nan") return kMarkLowerNan;
            if (f == "N/A") return kMarkSlashNA;
            if (f == "n/a") return kMarkLowerSlashNA;
            return f == "#NA" ? kMarkHashNA : kNoMark;
        case 4:
            if (f[0] == '-')
                return f == "-NaN" ? kMarkMinusNaN : f == "-nan" ? kMarkMinusNan : kNoMark;
            if (f == "NULL") return kMarkNULL;
            if (f == "null") return kMarkNull;
            if (f == "#N/A") return kMarkHashSlashNA;
            return f == "<NA>" ? kMarkAngleNA : kNoMark;
        case 6:
            return f == "1.#IND" ? kMarkInd : kNoMark;
        case 7:
            if (f == "-1.#IND") return kMarkMinusInd;
            return f == "1.#QNAN" ? kMarkQnan : kNoMark;
        case 8:
            if (f == "-1.#QNAN") return kMarkMinusQnan;
            return f == "#N/A N/A" ? kMarkHashSlashNATwice : kNoMark;
        default:
            return kNoMark;
    }
}

// Returns the id of `field` (unquoted, blanks trimmed) as a mark that stands for a missing
// value in a numeric column only ("-", "--", "."), or kNoMark.
inline MarkId numberGapMark(std::string_view f) {
    if (f == "-") return kMarkDash;
    if (f == "--") return kMarkDashes;
    return f == "." ? kMarkDot : kNoMark;
}

// Returns the text of built-in mark `mark` ("" for a token's id).
std::string_view builtInMarkText(MarkId mark);

// The tokens a run names as missing values, beside the built-in marks.
class MissingTokens {
public:
    MissingTokens() = default;
    // Takes `tokens` as given; an empty one, and any beyond the kMaxTokens-th, are dropped.
    explicit MissingTokens(const std::vector<std::string>& tokens);

    bool empty() const { return tokens_.empty(); }
    // Returns the id of `field` (blanks trimmed, quoted or not) as one of the tokens, or kNoMark.
    MarkId markOf(std::string_view field) const {
        for (std::size_t t = 0; t < tokens_.size(); ++t)
            if (tokens_[t] == field) return static_cast<MarkId>(kFirstTokenMark + t);
        return kNoMark;
    }
    // Returns true when some token is a number.
    bool anyNumber() const { return !numbers_.empty(); }
    // Returns the id of the first token that is the number `value`, or kNoMark.
    MarkId markOfNumber(double value) const {
        for (const auto& [number, mark] : numbers_)
            if (number == value) return mark;
        return kNoMark;
    }
    // Returns the text of mark `mark`: a built-in mark's or a token's.
    std::string text(MarkId mark) const;

private:
    std::vector<std::string> tokens_;
    std::vector<std::pair<double, MarkId>> numbers_;
};

// How many fields of one column held one mark.
struct MarkCount {
    std::uint32_t column = 0;
    MarkId mark = kNoMark;
    std::uint64_t count = 0;
};

// Counts marks by column: one step a field while a column meets few kinds of marks, however
// many columns there are.
class MarkTally {
public:
    void add(std::uint32_t column, MarkId mark, std::uint64_t n = 1);
    // Adds every count of `other`.
    void addAll(const MarkTally& other);
    // Returns the counts, by column and then by mark.
    std::vector<MarkCount> counts() const;
    bool empty() const { return counts_.empty(); }

private:
    struct Entry {
        MarkCount count;
        std::uint32_t next = 0;  // 1 + the column's next entry, 0 for none
    };
    std::vector<Entry> counts_;
    std::vector<std::uint32_t> first_;  // by column: 1 + its first entry, 0 for none
};

}  // namespace mining
