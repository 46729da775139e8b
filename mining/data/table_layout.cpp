#include "data/table_layout.h"

#include <algorithm>
#include <charconv>
#include <unordered_map>
#include <unordered_set>

#include "data/column_choice.h"
#include "data/line_parser.h"
#include "data/number_parser.h"
#include "data/number_styles.h"
#include "data/text_fields.h"

namespace mining {

namespace {

// The first lines that settle the delimiter and the header: at most this many, or this many
// bytes.
constexpr std::size_t kSampleLines = 200;
constexpr std::size_t kSampleBytes = std::size_t{256} << 10;
// The most lines one sampled record may go on over.
constexpr int kJoinedLines = 20;
// An all-nominal text has a header only from this many records on.
constexpr std::size_t kNominalHeaderRecords = 20;

struct SampleLine {
    std::string_view text;
    std::size_t number = 0;  // 1-based, in the text
    std::size_t end = 0;     // the offset after its line end
};

// Returns the first non-blank lines of `text`.
std::vector<SampleLine> firstLines(std::string_view text) {
    std::vector<SampleLine> lines;
    std::size_t pos = 0;
    std::size_t number = 0;
    while (pos < text.size() && lines.size() < kSampleLines && pos < kSampleBytes) {
        std::size_t nl = text.find('\n', pos);
        const std::size_t first = ++number;
        // A double-quoted field may go on over a few lines: an odd count of quotes joins the
        // next line. Each line's quotes are counted once.
        std::size_t from = pos;
        std::size_t quotes = 0;
        for (int joined = 0; nl != std::string_view::npos && joined < kJoinedLines; ++joined) {
            quotes += static_cast<std::size_t>(
                std::count(text.begin() + static_cast<std::ptrdiff_t>(from),
                           text.begin() + static_cast<std::ptrdiff_t>(nl), '"'));
            if (quotes % 2 == 0) break;
            from = nl;
            nl = text.find('\n', nl + 1);
            ++number;
        }
        const std::size_t end = nl == std::string_view::npos ? text.size() : nl + 1;
        const std::string_view line =
            text.substr(pos, (nl == std::string_view::npos ? end : nl) - pos);
        if (!trimBlanks(line).empty()) lines.push_back({line, first, end});
        pos = end;
    }
    return lines;
}

// Returns how many fields `line` splits into at `delimiter`, 0 when it cannot be split.
std::size_t fieldCount(std::string_view line, char delimiter) {
    std::vector<std::string_view> fields;
    std::vector<bool> quoted;
    std::string storage;
    std::string error;
    if (!splitDelimited(line, delimiter, fields, quoted, storage, error, kMaxAttributes + 1))
        return 0;
    return fields.size();
}

char chooseDelimiter(const std::vector<SampleLine>& lines, bool dataFile) {
    if (dataFile) {
        for (const SampleLine& line : lines)
            if (fieldCount(line.text, ',') > 1) return ',';
    }
    for (const char d : kDelimiters) {
        const std::size_t n = fieldCount(lines.front().text, d);
        if (n < 2) continue;
        const bool same = std::all_of(lines.begin(), lines.end(), [&](const SampleLine& line) {
            return fieldCount(line.text, d) == n;
        });
        if (same) return d;
    }
    return ',';
}

bool isNumberOrMissing(std::string_view field) {
    return plain_field::isMissingMark(field) || numberValue(field).has_value();
}

// As isNumberOrMissing(), with the missing marks of a numeric column and `tokens` too: a first
// record's "-" or token leaves its column numeric.
bool isNumberOrMissing(std::string_view field, const MissingTokens& tokens) {
    return isNumberOrMissing(field) || numberGapMark(field) != kNoMark ||
           tokens.markOf(field) != kNoMark;
}

std::string printable(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    return out;
}

}  // namespace

bool looksLikeHeader(const std::vector<std::string>& first,
                     const std::vector<std::vector<std::string>>& rows, char delimiter,
                     const MissingTokens& tokens) {
    if (rows.empty()) return false;
    bool wordOverNumbers = false;
    bool allNominal = true;
    for (std::size_t j = 0; j < first.size(); ++j) {
        std::vector<std::string> present;
        bool plain = true;
        for (const auto& row : rows) {
            if (j >= row.size()) continue;
            if (row[j] == first[j]) return false;
            if (isNumberOrMissing(row[j], tokens) && !numberValue(row[j])) continue;
            present.push_back(row[j]);
            plain = plain && isNumberOrMissing(row[j]);
        }
        // Numbers as people write them count as numbers too (decimal commas, units, dates).
        const bool numbers =
            !present.empty() && (plain || readAsNumbers(present, delimiter).has_value());
        if (!numbers) continue;
        allNominal = false;
        const std::vector<std::string> name{first[j]};
        if (!isNumberOrMissing(first[j]) && !readAsNumbers(name, delimiter)) wordOverNumbers = true;
    }
    return wordOverNumbers || (allNominal && rows.size() >= kNominalHeaderRecords);
}

std::size_t findColumn(const std::string& wanted, const std::vector<std::string>& names) {
    const std::size_t count = names.size();
    if (wanted.empty() || wanted == "last") return count == 0 ? 0 : count - 1;
    for (std::size_t j = 0; j < count; ++j)
        if (names[j] == wanted) return j;
    long long number = 0;
    const auto [end, error] = std::from_chars(wanted.data(), wanted.data() + wanted.size(), number);
    if (error != std::errc() || end != wanted.data() + wanted.size() || number == 0) return count;
    const auto n = static_cast<long long>(count);
    if (number > n || number < -n) return count;
    return static_cast<std::size_t>(number > 0 ? number - 1 : n + number);
}

namespace {

using Rows = std::vector<std::vector<std::string>>;

// Returns the fields of the sample's lines split at `delimiter`, as strings (a field with
// doubled quotes is copied), up to the first line that cannot be split (the reading names it).
Result<Rows> splitSample(const std::vector<SampleLine>& lines, char delimiter,
                         const std::string& dataName) {
    Rows rows;
    std::vector<std::string_view> fields;
    std::vector<bool> quoted;
    std::string storage;
    std::string error;
    for (const SampleLine& line : lines) {
        const std::string where = dataName + ", line " + std::to_string(line.number) + ": ";
        if (!splitDelimited(line.text, delimiter, fields, quoted, storage, error,
                            kMaxAttributes + 1)) {
            if (rows.empty()) return Result<Rows>::failure(where + error);
            break;
        }
        if (rows.empty() && fields.size() > kMaxAttributes + 1)
            return Result<Rows>::failure(where + "more than " + std::to_string(kMaxAttributes) +
                                         " attributes, the most supported");
        rows.emplace_back(fields.begin(), fields.end());
    }
    return rows;
}

// Returns the columns' names the header line `first` (line `lineNumber`) gives: its fields, an
// empty one named a1, a2, ... by its place; an error when two are alike.
Result<std::vector<std::string>> headerNames(const std::vector<std::string>& first,
                                             std::size_t lineNumber, const std::string& dataName) {
    std::vector<std::string> names(first.size());
    std::unordered_map<std::string, std::size_t> seen;
    for (std::size_t j = 0; j < first.size(); ++j) {
        names[j] = first[j].empty() ? "a" + std::to_string(j + 1) : printable(first[j]);
        const auto [at, added] = seen.emplace(names[j], j);
        if (!added)
            return Result<std::vector<std::string>>::failure(
                dataName + ", line " + std::to_string(lineNumber) +
                ": the header names two columns " + quoteForMessage(names[j]) + " (columns " +
                std::to_string(at->second + 1) + " and " + std::to_string(j + 1) + ")");
    }
    return names;
}

// Sets `layout`'s class field and its attributes' names and types: the class and the ignored
// columns as `choice` names them among `names` (see chooseFields), the types as `record` (the
// first record, or null) suggests. Fails with a usage error when `choice` names no column.
Status chooseColumns(RecordLayout& layout, const std::vector<std::string>& names,
                     const std::vector<std::string>* record, const ColumnChoice& choice,
                     const std::string& dataName, const MissingTokens& tokens) {
    const std::size_t count = names.size();
    const Result<ChosenColumns> chosen = chooseFields(names, choice, dataName);
    if (!chosen) return Status::failure(chosen.error(), chosen.kind());
    const std::size_t classField = chosen->classField;
    layout.fieldCount = count + (choice.classAbsent ? 1 : 0);
    layout.classField = classField;
    if (!choice.classAbsent) layout.className = names[classField];
    layout.classAbsent = choice.classAbsent;
    const std::unordered_set<std::string> nominal(choice.nominal.begin(), choice.nominal.end());
    for (std::size_t j = 0; j < count; ++j) {
        if (j == classField) continue;
        AttributeType type = AttributeType::Numeric;
        if (chosen->ignored[j]) {
            type = AttributeType::Ignored;
        } else if (nominal.count(names[j]) || (record != nullptr && j < record->size() &&
                                               !isNumberOrMissing((*record)[j], tokens))) {
            type = AttributeType::Nominal;
        }
        layout.types.push_back(type);
        layout.attributeNames.push_back(names[j]);
    }
    return Status();
}

}  // namespace

Result<GuessedLayout> guessLayout(std::string_view text, bool dataFile, const ColumnChoice& choice,
                                  const std::string& dataName, const MissingTokens& tokens) {
    using R = Result<GuessedLayout>;
    const std::vector<SampleLine> lines = firstLines(text);
    if (lines.empty()) return R::failure(dataName + " holds no records");
    GuessedLayout guess;
    guess.layout.delimiter = chooseDelimiter(lines, dataFile);
    Result<Rows> split = splitSample(lines, guess.layout.delimiter, dataName);
    if (!split) return R::failure(split.error());
    Rows& rows = split.value();
    const std::vector<std::string> first = rows.front();
    rows.erase(rows.begin());
    // A table of one line of words alone is a header without records (a .data text is read
    // as records unless told).
    const bool lone = rows.empty() && lines.front().end >= text.size();
    const bool words = !dataFile && first.size() > 1 &&
                       std::none_of(first.begin(), first.end(),
                                    [](const std::string& f) { return isNumberOrMissing(f); });
    guess.header =
        choice.header == HeaderRule::Present ||
        (choice.header == HeaderRule::Guess &&
         (looksLikeHeader(first, rows, guess.layout.delimiter, tokens) || (lone && words)));
    guess.headerGuessed = guess.header && choice.header == HeaderRule::Guess;
    std::vector<std::string> names(first.size());
    if (guess.header) {
        if (lone) return R::failure(dataName + " holds a header line but no records");
        Result<std::vector<std::string>> named = headerNames(first, lines.front().number, dataName);
        if (!named) return R::failure(named.error());
        names = std::move(named.value());
        guess.headerEnd = lines.front().end;
        guess.headerLines = lines.front().number;
    } else {
        for (std::size_t j = 0; j < names.size(); ++j) names[j] = "a" + std::to_string(j + 1);
    }
    // Types from the first record: the line after a header, or the first line.
    const std::vector<std::string>* record =
        guess.header ? (rows.empty() ? nullptr : &rows.front()) : &first;
    const Status chosen = chooseColumns(guess.layout, names, record, choice, dataName, tokens);
    if (!chosen) return R::failure(chosen.error(), chosen.kind());
    // By column: the attributes, then the class.
    const std::size_t classField = guess.layout.classField;
    guess.headerNames = names;
    if (choice.classAbsent) return guess;
    guess.headerNames.erase(guess.headerNames.begin() + static_cast<std::ptrdiff_t>(classField));
    guess.headerNames.push_back(names[classField]);
    return guess;
}

}  // namespace mining
