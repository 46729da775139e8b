#include "data/table_layout.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <map>
#include <optional>
#include <tuple>
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
    bool hash = false;       // it starts with '#': a comment, unless it is a record
};

// Returns the first non-blank lines of `text`.
std::vector<SampleLine> firstLines(std::string_view text) {
    std::vector<SampleLine> lines;
    std::size_t pos = 0;
    std::size_t number = 0;
    while (pos < text.size() && lines.size() < kSampleLines && pos < kSampleBytes) {
        std::size_t nl = text.find('\n', pos);
        const std::size_t first = ++number;
        const bool hash = text[pos] == '#';
        // A double-quoted field may go on over a few lines: an odd count of quotes joins the
        // next line. Each line's quotes are counted once. A comment's quotes join nothing.
        std::size_t from = pos;
        std::size_t quotes = 0;
        for (int joined = 0; nl != std::string_view::npos && joined < kJoinedLines && !hash;
             ++joined) {
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
        if (!trimBlanks(line).empty()) lines.push_back({line, first, end, hash});
        pos = end;
        // A quoted field still open goes on beyond what the sample looks at: the lines after
        // it are its text, no records.
        if (quotes % 2 == 1) break;
    }
    return lines;
}

// How one line splits at a delimiter.
struct LineSplit {
    std::size_t fields = 0;  // 0 when it cannot be split
    bool stray = false;      // an unquoted field holds a double quote: a quote split apart
    std::string error;       // why it cannot be split
};

LineSplit splitCount(std::string_view line, char delimiter) {
    std::vector<std::string_view> fields;
    std::vector<bool> quoted;
    std::string storage;
    std::string error;
    if (!splitDelimited(line, delimiter, fields, quoted, storage, error, kMaxAttributes + 1))
        return {0, false, error};
    LineSplit split{fields.size(), false, {}};
    for (std::size_t i = 0; i < fields.size() && !split.stray; ++i)
        split.stray = !quoted[i] && fields[i].find('"') != std::string_view::npos;
    return split;
}

// How the first lines split at one delimiter, '#' lines aside.
struct FieldTally {
    std::size_t fields = 1;     // the number of fields most lines have (the larger on a tie)
    std::size_t exact = 0;      // the lines that have it
    std::size_t lines = 0;      // ... and a first line one short (row names)
    std::size_t stray = 0;      // the lines with a double quote inside an unquoted field
    std::size_t total = 0;      // the lines looked at
    std::size_t most = 0;       // the most fields of any line
    std::size_t odd = 0;        // the first line of another number of fields, 0 when none
    std::size_t oddFields = 0;  // ... its fields (0: it cannot be split)
    std::string oddError;       // ... why it cannot be split
};

FieldTally tallyFields(const std::vector<SampleLine>& lines, char delimiter) {
    FieldTally tally;
    std::vector<std::pair<std::size_t, std::size_t>> counts;  // (line, fields)
    std::map<std::size_t, std::size_t> seen;                  // fields -> lines
    std::map<std::size_t, std::string> errors;                // line -> why it cannot be split
    for (const SampleLine& line : lines) {
        if (line.hash) continue;
        const LineSplit split = splitCount(line.text, delimiter);
        const std::size_t n = split.fields;
        tally.stray += split.stray ? 1 : 0;
        if (n == 0) errors[line.number] = split.error;
        counts.emplace_back(line.number, n);
        if (n > 0) ++seen[n];
        tally.most = std::max(tally.most, n);
    }
    tally.total = counts.size();
    for (const auto& [fields, lines] : seen) {
        if (lines < tally.lines) continue;
        tally.fields = fields;
        tally.lines = lines;
    }
    tally.exact = tally.lines;
    for (std::size_t i = 0; i < counts.size(); ++i) {
        if (counts[i].second == tally.fields) continue;
        if (i == 0 && counts[i].second + 1 == tally.fields) {
            ++tally.lines;
            continue;
        }
        if (tally.odd != 0) continue;
        std::tie(tally.odd, tally.oddFields) = counts[i];
        if (errors.count(tally.odd)) tally.oddError = errors[tally.odd];
    }
    return tally;
}

// Returns true when the delimiter of `a` splits the first lines better than that of `b`: fewer
// lines with a quote split apart (a delimiter inside quoted text), else more lines of the
// records' number of fields (a first line one short counts only for the share).
bool splitsBetter(const FieldTally& a, const FieldTally& b) {
    if (a.stray != b.stray) return a.stray < b.stray;
    return a.exact > b.exact;
}

// Returns true when `tally` shows a delimiter that parts the records.
bool fits(const FieldTally& tally) {
    if (tally.fields < 2) return false;
    if (tally.total < kFewLines && tally.lines + 1 >= tally.total) return true;
    return static_cast<double>(tally.lines) >= kDelimiterShare * static_cast<double>(tally.total);
}

std::string delimiterName(char delimiter) {
    if (delimiter == '\t') return "tabs";
    if (delimiter == kSpaces) return "runs of spaces";
    return std::string("'") + delimiter + "'";
}

// The delimiter of a text and the number of fields of its records.
struct Delimiting {
    char delimiter = ',';
    std::size_t fields = 1;
};

// Returns the error of first lines that hold a candidate delimiter but split alike at none;
// `tally` is the candidate's that splits the most lines into one number of fields.
std::string noDelimiterMessage(const FieldTally& tally, char delimiter,
                               const std::string& dataName) {
    std::string at = "at " + delimiterName(delimiter) + " " + std::to_string(tally.lines) + " of " +
                     std::to_string(tally.total) + " lines have " + std::to_string(tally.fields);
    if (tally.odd != 0)
        at += ", line " + std::to_string(tally.odd) +
              (tally.oddFields == 0 && !tally.oddError.empty()
                   ? " cannot be split: " + tally.oddError
                   : " has " + std::to_string(tally.oddFields));
    return dataName + ": no delimiter splits its first lines into one number of fields (" + at +
           "); name it with --delimiter C";
}

// Chooses the delimiter as guessLayout() says.
Result<Delimiting> chooseDelimiter(const std::vector<SampleLine>& lines, bool dataFile,
                                   const ColumnChoice& choice, const std::string& dataName) {
    if (choice.delimiter != 0)
        return Delimiting{choice.delimiter, tallyFields(lines, choice.delimiter).fields};
    if (dataFile) {
        const FieldTally commas = tallyFields(lines, ',');
        if (commas.most > 1) return Delimiting{',', commas.fields};
    }
    std::optional<std::pair<char, FieldTally>> best;   // the most lines split alike
    std::optional<std::pair<char, FieldTally>> found;  // ... of those splitting any line
    for (const char d : kDelimiters) {
        const FieldTally tally = tallyFields(lines, d);
        if (fits(tally) && (!best || splitsBetter(tally, best->second))) best = {d, tally};
        const bool splits = tally.most > 1;
        if (splits && (!found || tally.lines > found->second.lines)) found = {d, tally};
    }
    if (best) return Delimiting{best->first, best->second.fields};
    const FieldTally spaces = tallyFields(lines, kSpaces);
    if (spaces.fields >= 2 && spaces.lines == spaces.total)
        return Delimiting{kSpaces, spaces.fields};
    // Most of many lines split alike at runs of spaces, some not: say which.
    if (spaces.fields >= 2 && spaces.total >= kFewLines && 2 * spaces.lines > spaces.total)
        return Result<Delimiting>::failure(noDelimiterMessage(spaces, kSpaces, dataName));
    if (found)
        return Result<Delimiting>::failure(
            noDelimiterMessage(found->second, found->first, dataName));
    return Delimiting{',', 1};
}

// Leaves out of `lines` the comments of a text of `fields` fields at `delimiter`. Returns how
// many stood before the first line kept.
std::size_t dropComments(std::vector<SampleLine>& lines, char delimiter, std::size_t fields) {
    std::size_t before = 0;
    std::vector<SampleLine> kept;
    for (const SampleLine& line : lines) {
        if (line.hash && isCommentLine(line.text, delimiter, fields)) {
            before += kept.empty() ? 1 : 0;
            continue;
        }
        kept.push_back(line);
    }
    lines = std::move(kept);
    return before;
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
    bool named = false;
    for (std::size_t j = 0; j < first.size(); ++j) {
        if (first[j].empty()) continue;
        named = true;
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
    return wordOverNumbers || (named && allNominal && rows.size() >= kNominalHeaderRecords);
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
// empty one named a1, a2, ... by its place, the first kRowNames over row names; an error when
// two are alike.
Result<std::vector<std::string>> headerNames(const std::vector<std::string>& first, bool rowNames,
                                             std::size_t lineNumber, const std::string& dataName) {
    std::vector<std::string> names(first.size());
    std::unordered_map<std::string, std::size_t> seen;
    for (std::size_t j = 0; j < first.size(); ++j) {
        names[j] = first[j].empty() ? "a" + std::to_string(j + 1) : printable(first[j]);
        if (j == 0 && rowNames) names[j] = kRowNames;
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
// first record, or null) suggests, then `empty` numeric attributes of the columns after them
// (empty in the first lines). Fails with a usage error when `choice` names no column.
Status chooseColumns(RecordLayout& layout, const std::vector<std::string>& names,
                     const std::vector<std::string>* record, std::size_t empty,
                     const ColumnChoice& choice, const std::string& dataName,
                     const MissingTokens& tokens) {
    const std::size_t count = names.size();
    const Result<ChosenColumns> chosen = chooseFields(names, choice, dataName);
    if (!chosen) return Status::failure(chosen.error(), chosen.kind());
    const std::size_t classField = chosen->classField;
    layout.fieldCount = count + empty + (choice.classAbsent ? 1 : 0);
    layout.classField = choice.classAbsent ? count + empty : classField;
    if (!choice.classAbsent) layout.className = names[classField];
    layout.classAbsent = choice.classAbsent;
    const std::unordered_set<std::string> nominal(choice.nominal.begin(), choice.nominal.end());
    for (std::size_t j = 0; j < count + empty; ++j) {
        if (j == layout.classField) continue;
        AttributeType type = AttributeType::Numeric;
        if (j < count && chosen->ignored[j]) {
            type = AttributeType::Ignored;
        } else if (j < count &&
                   (nominal.count(names[j]) || (record != nullptr && j < record->size() &&
                                                !isNumberOrMissing((*record)[j], tokens)))) {
            type = AttributeType::Nominal;
        }
        layout.types.push_back(type);
        layout.attributeNames.push_back(j < count ? names[j] : "a" + std::to_string(j + 1));
    }
    return Status();
}

bool isWord(const std::string& field) { return !isNumberOrMissing(field); }

// Returns true when `first` (a first line of one field fewer than the records `rows`) is a
// header over row names, as `header` asks or as guessed.
bool namesAllButRowNames(const std::vector<std::string>& first, const Rows& rows, HeaderRule header,
                         char delimiter, const MissingTokens& tokens) {
    if (header != HeaderRule::Guess) return header == HeaderRule::Present;
    std::vector<std::string> aligned{""};
    aligned.insert(aligned.end(), first.begin(), first.end());
    return std::all_of(first.begin(), first.end(), isWord) ||
           looksLikeHeader(aligned, rows, delimiter, tokens);
}

// Aligns the first line's fields `first` (line `lineNumber`) with the records' `fields` fields,
// split at guess's delimiter: one fewer is a header over row names (an empty field is put first,
// and guess.rowNames set), more that are empty are dropped. Fails on any other number of fields.
Status alignFirstLine(std::vector<std::string>& first, const Rows& rows, std::size_t fields,
                      const ColumnChoice& choice, const MissingTokens& tokens,
                      std::size_t lineNumber, const std::string& dataName, GuessedLayout& guess) {
    guess.rowNames =
        first.size() + 1 == fields &&
        namesAllButRowNames(first, rows, choice.header, guess.layout.delimiter, tokens);
    if (guess.rowNames) first.insert(first.begin(), "");
    const auto beyond = first.begin() + static_cast<std::ptrdiff_t>(std::min(fields, first.size()));
    if (std::all_of(beyond, first.end(), [](const std::string& f) { return f.empty(); }))
        first.erase(beyond, first.end());
    if (first.size() == fields) return Status();
    return Status::failure(dataName + ", line " + std::to_string(lineNumber) + ": found " +
                           std::to_string(first.size()) +
                           (first.size() == 1 ? " field" : " fields") + ", expected " +
                           std::to_string(fields));
}

// Returns how many of the last columns are empty in `first` and in every row of `fields`
// fields, one column kept at least.
std::size_t emptyColumnsAtEnd(const std::vector<std::string>& first, const Rows& rows,
                              std::size_t fields) {
    std::size_t empty = 0;
    while (empty + 1 < fields) {
        const std::size_t j = fields - 1 - empty;
        const bool all = first[j].empty() && std::all_of(rows.begin(), rows.end(), [&](auto& r) {
                             return r.size() != fields || r[j].empty();
                         });
        if (!all) break;
        ++empty;
    }
    return empty;
}

// Cuts `first` and `rows` to their first `count` fields.
void keepColumns(std::vector<std::string>& first, Rows& rows, std::size_t count) {
    if (first.size() > count) first.resize(count);
    for (auto& row : rows)
        if (row.size() > count) row.resize(count);
}

// Returns true when no field of `first` stands in its column among `rows`.
bool noneBelow(const std::vector<std::string>& first, const Rows& rows) {
    for (std::size_t j = 0; j < first.size(); ++j)
        for (const auto& row : rows)
            if (j < row.size() && row[j] == first[j]) return false;
    return true;
}

// Decides whether `first`, the sample's first line (aligned), is a header over `rows`, as
// guessLayout() says, and sets guess's header fields. `lone`: the line is the whole text.
void decideHeader(GuessedLayout& guess, const std::vector<std::string>& first, const Rows& rows,
                  const ColumnChoice& choice, bool dataFile, bool lone,
                  const MissingTokens& tokens) {
    const bool words = first.size() > 1 && std::all_of(first.begin(), first.end(), isWord);
    const char d = guess.layout.delimiter;
    guess.header = choice.header == HeaderRule::Present ||
                   (choice.header == HeaderRule::Guess &&
                    (guess.rowNames || looksLikeHeader(first, rows, d, tokens) ||
                     (lone && words && !dataFile)));
    guess.headerGuessed = guess.header && choice.header == HeaderRule::Guess;
    guess.headerDoubt =
        !guess.header && choice.header == HeaderRule::Guess && words && noneBelow(first, rows);
}

// Sets the columns of `guess` from its header line or first record `first` (of the sample line
// `line`) over `rows`: names, the class, the types.
Status settleColumns(GuessedLayout& guess, const std::vector<std::string>& first, const Rows& rows,
                     const SampleLine& line, const ColumnChoice& choice,
                     const std::string& dataName, const MissingTokens& tokens) {
    std::vector<std::string> names(first.size());
    if (guess.header) {
        Result<std::vector<std::string>> named =
            headerNames(first, guess.rowNames, line.number, dataName);
        if (!named) return Status::failure(named.error());
        names = std::move(named.value());
        guess.headerEnd = line.end;
        guess.headerLines = line.number;
    } else {
        for (std::size_t j = 0; j < names.size(); ++j) names[j] = "a" + std::to_string(j + 1);
    }
    // Types from the first record: the line after a header, or the first line.
    const std::vector<std::string>* record =
        guess.header ? (rows.empty() ? nullptr : &rows.front()) : &first;
    const Status chosen =
        chooseColumns(guess.layout, names, record, guess.emptyColumns, choice, dataName, tokens);
    if (!chosen) return chosen;
    // By column: the attributes, then the class.
    guess.headerNames = guess.layout.attributeNames;
    if (!choice.classAbsent) guess.headerNames.push_back(names[guess.layout.classField]);
    return Status();
}

}  // namespace

Result<GuessedLayout> guessLayout(std::string_view text, bool dataFile, const ColumnChoice& choice,
                                  const std::string& dataName, const MissingTokens& tokens) {
    using R = Result<GuessedLayout>;
    std::vector<SampleLine> lines = firstLines(text);
    const Result<Delimiting> delimiting = lines.empty()
                                              ? Result<Delimiting>(Delimiting{})
                                              : chooseDelimiter(lines, dataFile, choice, dataName);
    if (!delimiting) return R::failure(delimiting.error());
    const std::size_t fields = delimiting->fields;
    GuessedLayout guess;
    guess.layout.delimiter = delimiting->delimiter;
    guess.delimiterGuessed = choice.delimiter == 0;
    const std::size_t commentsBefore = dropComments(lines, guess.layout.delimiter, fields);
    if (lines.empty()) return R::failure(dataName + " holds no records");
    Result<Rows> split = splitSample(lines, guess.layout.delimiter, dataName);
    if (!split) return R::failure(split.error());
    Rows& rows = split.value();
    std::vector<std::string> first = rows.front();
    rows.erase(rows.begin());
    const Status aligned =
        alignFirstLine(first, rows, fields, choice, tokens, lines.front().number, dataName, guess);
    if (!aligned) return R::failure(aligned.error());
    guess.emptyColumns = emptyColumnsAtEnd(first, rows, fields);
    keepColumns(first, rows, fields - guess.emptyColumns);
    // A table of one line of words alone is a header without records (a .data text is read
    // as records unless told).
    const bool lone = rows.empty() && lines.front().end >= text.size();
    decideHeader(guess, first, rows, choice, dataFile, lone, tokens);
    if (guess.header && lone) return R::failure(dataName + " holds a header line but no records");
    const Status settled =
        settleColumns(guess, first, rows, lines.front(), choice, dataName, tokens);
    if (!settled) return R::failure(settled.error(), settled.kind());
    if (guess.header) guess.layout.commentsBefore = commentsBefore;
    return guess;
}

namespace {

// Returns the delimiter a file's suffix suggests: tabs for .tsv, none for .txt, else a comma.
char suffixDelimiter(const std::string& path) {
    auto endsWith = [&path](std::string_view suffix) {
        if (path.size() < suffix.size()) return false;
        for (std::size_t i = 0; i < suffix.size(); ++i)
            if (std::tolower(static_cast<unsigned char>(path[path.size() - suffix.size() + i])) !=
                suffix[i])
                return false;
        return true;
    };
    if (endsWith(".tsv")) return '\t';
    if (endsWith(".txt")) return 0;
    return ',';
}

bool isEmptyColumn(const Dataset& data, std::size_t a, RecordFigures& figures) {
    const Attribute& attribute = data.attribute(a);
    if (attribute.type == AttributeType::Nominal) return attribute.values.empty();
    if (attribute.type != AttributeType::Numeric) return false;
    return figures.noNumber(data, a);
}

}  // namespace

std::string describeGuess(const GuessedLayout& guess, bool delimited, const std::string& path) {
    std::vector<std::string> parts;
    std::vector<std::string> options;
    const char d = guess.layout.delimiter;
    if (delimited || d != ',') parts.push_back(delimiterName(d) + " between fields");
    if (guess.delimiterGuessed && d != suffixDelimiter(path)) options.push_back("--delimiter");
    if (guess.header)
        parts.push_back(guess.rowNames ? "a header line over row names" : "a header line");
    if (guess.headerGuessed) options.push_back("--no-header");
    if (guess.headerDoubt) options.push_back("--header");
    std::string what;
    for (const std::string& part : parts) what += (what.empty() ? "" : ", ") + part;
    for (std::size_t i = 0; i < options.size(); ++i)
        what += (i == 0 ? "; guessed: " : ", ") + options[i];
    return what;
}

void dropEmptyColumns(Dataset& data, const GuessedLayout& guess, bool keepIds) {
    RecordFigures figures;
    dropEmptyColumns(data, guess, keepIds, figures);
}

void dropEmptyColumns(Dataset& data, const GuessedLayout& guess, bool keepIds,
                      RecordFigures& figures) {
    if (keepIds) return;
    const std::size_t count = data.attributeCount();
    std::size_t dropped = 0;
    std::vector<std::string> filled;
    for (std::size_t a = count - guess.emptyColumns; a < count; ++a) {
        if (isEmptyColumn(data, a, figures)) {
            data.ignoreAttribute(a);
            ++dropped;
        } else {
            filled.push_back(data.attribute(a).name);
        }
    }
    if (dropped > 0)
        data.addReadNote("left out " +
                         (dropped == 1 ? std::string("the last column")
                                       : "the last " + std::to_string(dropped) + " columns") +
                         ": no name, no value");
    if (!filled.empty()) {
        std::string names;
        for (const std::string& name : filled) names += (names.empty() ? "" : ", ") + name;
        data.addReadNote("kept " + names +
                         ": unnamed and empty in the first lines, but with values further on");
    }
}

void leaveOutRowNames(Dataset& data, const GuessedLayout& guess, bool keepIds) {
    if (!guess.rowNames || keepIds || guess.layout.classField == 0) return;
    if (data.attribute(0).type == AttributeType::Ignored) return;
    data.ignoreAttribute(0);
    data.addReadNote("left out as identifiers: " + std::string(kRowNames) +
                     " (the header names one column fewer); --keep-ids keeps them");
}

}  // namespace mining
