#include "data/arff.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "data/arff_date.h"
#include "data/missing_marks.h"
#include "data/number_parser.h"
#include "data/text_fields.h"

namespace mining {

namespace {

// ---- Lines and values, shared by the header and the data ----

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// Cuts the line that starts at `pos` out of `text` into `line` (without its end: '\n', "\r\n" or
// a lone '\r') and returns the offset after its end. Requires pos < text.size().
std::size_t nextLine(std::string_view text, std::size_t pos, std::string_view& line) {
    const char* const start = text.data() + pos;
    const std::size_t rest = text.size() - pos;
    const void* nl = std::memchr(start, '\n', rest);
    std::size_t length = nl ? static_cast<std::size_t>(static_cast<const char*>(nl) - start) : rest;
    std::size_t end = pos + length + (nl ? 1 : 0);
    if (const void* cr = std::memchr(start, '\r', length)) {
        const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(cr) - start);
        if (at + 1 < length) end = pos + at + 1;  // a lone '\r' ends the line
        length = at;
    }
    line = std::string_view(start, length);
    return end;
}

// Where a bare value ends (besides the line's end; '%' starts a comment everywhere).
enum class Context : std::uint8_t {
    Name,   // a name or keyword: at a blank or '{'
    Dense,  // a value of a dense record: at ','
    List,   // a value in {...}: at ',' or '}'
};

using StopTable = std::array<bool, 256>;

constexpr StopTable makeStops(Context context) {
    StopTable stops{};
    stops['%'] = true;
    if (context == Context::Name) {
        stops[' '] = stops['\t'] = stops['\r'] = stops['{'] = true;
    } else {
        stops[','] = true;
        if (context == Context::List) stops['}'] = true;
    }
    return stops;
}

constexpr StopTable kStops[] = {makeStops(Context::Name), makeStops(Context::Dense),
                                makeStops(Context::List)};

bool endsName(char c) {
    return kStops[static_cast<int>(Context::Name)][static_cast<unsigned char>(c)];
}

struct Token {
    std::string_view text;
    bool quoted = false;
};

// Reads one value from `pos` of `line` (blanks before it skipped): quoted, decoded into `scratch`
// when it holds escapes, or bare up to the context's stop, blanks at its end dropped. Leaves
// `pos` after the value. Returns false with `error` set when a quote is not closed.
bool readValue(std::string_view line, std::size_t& pos, Context context, Token& token,
               std::string& scratch, std::string& error) {
    while (pos < line.size() && isBlank(line[pos])) ++pos;
    if (pos < line.size() && (line[pos] == '\'' || line[pos] == '"')) {
        const char quote = line[pos++];
        const std::size_t start = pos;
        bool escaped = false;
        while (pos < line.size() && line[pos] != quote) {
            if (line[pos] == '\\' && pos + 1 < line.size()) {
                escaped = true;
                ++pos;
            }
            ++pos;
        }
        if (pos >= line.size()) {
            error = "a quoted value is not closed";
            return false;
        }
        token = {line.substr(start, pos - start), true};
        ++pos;
        if (!escaped) return true;
        scratch.clear();
        for (std::size_t i = 0; i < token.text.size(); ++i) {
            const char c = token.text[i];
            if (c != '\\') {
                scratch += c;
                continue;
            }
            const char next = token.text[++i];
            if (next == '\'' || next == '"' || next == '\\' || next == '%') {
                scratch += next;
            } else if (next == 't') {
                scratch += '\t';
            } else {
                scratch += c;
                scratch += next;
            }
        }
        token.text = scratch;
        return true;
    }
    const StopTable& stops = kStops[static_cast<int>(context)];
    const std::size_t start = pos;
    while (pos < line.size() && !stops[static_cast<unsigned char>(line[pos])]) ++pos;
    std::size_t end = pos;
    while (end > start && isBlank(line[end - 1])) --end;
    token = {line.substr(start, end - start), false};
    return true;
}

// Returns true when only blanks or a comment stand from `pos` on.
bool restIsEmpty(std::string_view line, std::size_t pos) {
    while (pos < line.size() && isBlank(line[pos])) ++pos;
    return pos == line.size() || line[pos] == '%';
}

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

// Returns `name` in apostrophes for a message, shortened and with control bytes shown as '?'.
std::string attributeLabel(std::string_view name) {
    std::string quoted = quoteForMessage(name);
    quoted.front() = quoted.back() = '\'';
    return "attribute " + quoted;
}

std::string lineMessage(const std::string& fileName, std::size_t line, const std::string& what) {
    return fileName + ", line " + std::to_string(line) + ": " + what;
}

std::string nulByteMessage() {
    return "a NUL byte: this is not a plain text file (binary, or UTF-16 rather than UTF-8)";
}

// ---- The header ----

// Reads the header line by line; each read* function returns an error message or "".
class HeaderParser {
public:
    explicit HeaderParser(const std::string& fileName) : fileName_(fileName) {}

    Result<ArffHeader> parse(std::string_view text);

private:
    std::string readLine(std::string_view line, bool& atData);
    std::string readAttribute(std::string_view line, std::size_t pos);
    std::string readType(std::string_view line, std::size_t pos, ArffAttribute& a);
    std::string readValueList(std::string_view line, std::size_t pos, ArffAttribute& a);
    std::string readDateFormat(std::string_view line, std::size_t pos, ArffAttribute& a);

    const std::string& fileName_;
    ArffHeader header_;
    bool named_ = false;  // @relation seen
    std::unordered_set<std::string> names_;
    std::string scratch_;
};

Result<ArffHeader> HeaderParser::parse(std::string_view text) {
    std::size_t pos = text.size() - skipByteOrderMark(text).size();
    std::size_t lineNumber = 0;
    while (pos < text.size()) {
        std::string_view line;
        pos = nextLine(text, pos, line);
        ++lineNumber;
        bool atData = false;
        std::string error =
            line.find('\0') != std::string_view::npos ? nulByteMessage() : readLine(line, atData);
        if (!error.empty())
            return Result<ArffHeader>::failure(lineMessage(fileName_, lineNumber, error));
        if (!atData) continue;
        if (header_.attributes.empty())
            return Result<ArffHeader>::failure(lineMessage(
                fileName_, lineNumber, "@data comes before any @attribute: no attributes"));
        header_.dataOffset = pos;
        header_.dataLine = lineNumber + 1;
        return std::move(header_);
    }
    return Result<ArffHeader>::failure(
        lineMessage(fileName_, std::max<std::size_t>(lineNumber, 1),
                    "the file ends without a @data line (the header must end with it)"));
}

std::string HeaderParser::readLine(std::string_view line, bool& atData) {
    std::size_t pos = 0;
    while (pos < line.size() && isBlank(line[pos])) ++pos;
    if (restIsEmpty(line, pos)) return "";
    if (line[pos] != '@')
        return "expected @relation, @attribute or @data, found " +
               quoteForMessage(line.substr(pos));
    std::size_t end = ++pos;
    while (end < line.size() && !endsName(line[end])) ++end;
    const std::string keyword = lower(line.substr(pos, end - pos));
    if (keyword == "attribute") return readAttribute(line, end);
    if (keyword == "data") {
        atData = true;
        return restIsEmpty(line, end) ? "" : "text follows @data on its line";
    }
    if (keyword == "relation") {
        if (named_) return "a second @relation line";
        named_ = true;
        Token name;
        std::string error;
        if (!readValue(line, end, Context::Name, name, scratch_, error)) return error;
        header_.relation = name.text;
        return "";
    }
    return "unknown keyword " + quoteForMessage(line.substr(pos - 1, end - pos + 1)) +
           " (expected @relation, @attribute or @data)";
}

std::string HeaderParser::readAttribute(std::string_view line, std::size_t pos) {
    Token name;
    std::string error;
    if (!readValue(line, pos, Context::Name, name, scratch_, error)) return error;
    if (name.text.empty()) return "an @attribute line without a name";
    ArffAttribute a;
    a.name = name.text;
    if (!names_.insert(a.name).second) return attributeLabel(a.name) + " is declared twice";
    if (header_.attributes.size() == kMaxArffAttributes)
        return "more than " + std::to_string(kMaxArffAttributes) + " attributes";
    if (std::string e = readType(line, pos, a); !e.empty()) return e;
    header_.attributes.push_back(std::move(a));
    return "";
}

std::string HeaderParser::readType(std::string_view line, std::size_t pos, ArffAttribute& a) {
    while (pos < line.size() && isBlank(line[pos])) ++pos;
    if (pos < line.size() && line[pos] == '{') return readValueList(line, pos + 1, a);
    std::size_t end = pos;
    while (end < line.size() && !endsName(line[end])) ++end;
    const std::string type = lower(line.substr(pos, end - pos));
    if (type.empty()) return attributeLabel(a.name) + " has no type";
    if (type == "numeric" || type == "real" || type == "integer") {
        a.kind = ArffAttribute::Kind::Numeric;
        return restIsEmpty(line, end) ? "" : "text follows the type of " + attributeLabel(a.name);
    }
    if (type == "date") return readDateFormat(line, end, a);
    if (type == "string")
        return attributeLabel(a.name) +
               " is a string attribute, which cannot be used to classify; remove it or declare "
               "it nominal";
    if (type == "relational")
        return attributeLabel(a.name) +
               " is a relational attribute (a bag of records), which cannot be used to classify";
    return attributeLabel(a.name) + " has the unknown type " +
           quoteForMessage(line.substr(pos, end - pos)) +
           " (expected numeric, real, integer, date or a list of values in {...})";
}

std::string HeaderParser::readValueList(std::string_view line, std::size_t pos, ArffAttribute& a) {
    a.kind = ArffAttribute::Kind::Nominal;
    std::unordered_set<std::string> seen;
    std::string error;
    while (true) {
        Token value;
        if (!readValue(line, pos, Context::List, value, scratch_, error)) return error;
        while (pos < line.size() && isBlank(line[pos])) ++pos;
        const bool closes = pos < line.size() && line[pos] == '}';
        if (value.text.empty() && !value.quoted) {
            if (closes && a.values.empty()) return attributeLabel(a.name) + " lists no values";
            return attributeLabel(a.name) + " lists an empty value";
        }
        if (!seen.insert(std::string(value.text)).second)
            return attributeLabel(a.name) + " lists the value " + quoteForMessage(value.text) +
                   " twice";
        a.values.emplace_back(value.text);
        if (closes) break;
        if (pos >= line.size() || line[pos] != ',')
            return "expected ',' or '}' after the value " + quoteForMessage(value.text) + " of " +
                   attributeLabel(a.name);
        ++pos;
    }
    return restIsEmpty(line, pos + 1) ? "" : "text follows the values of " + attributeLabel(a.name);
}

std::string HeaderParser::readDateFormat(std::string_view line, std::size_t pos, ArffAttribute& a) {
    a.kind = ArffAttribute::Kind::Date;
    while (pos < line.size() && isBlank(line[pos])) ++pos;
    if (restIsEmpty(line, pos)) {
        a.dateFormat = kDefaultDateFormat;
        return "";
    }
    Token format;
    std::string error;
    if (pos < line.size() && (line[pos] == '\'' || line[pos] == '"')) {
        if (!readValue(line, pos, Context::Name, format, scratch_, error)) return error;
        if (!restIsEmpty(line, pos))
            return "text follows the date format of " + attributeLabel(a.name);
    } else {  // a bare format runs to the line's end or a comment
        const std::size_t start = pos;
        while (pos < line.size() && line[pos] != '%') ++pos;
        format.text = trimBlanks(line.substr(start, pos - start));
    }
    a.dateFormat = format.text;
    const Result<DateFormat> compiled = DateFormat::compile(a.dateFormat);
    return compiled ? "" : attributeLabel(a.name) + ": " + compiled.error();
}

// ---- The records ----

// Appends `value` as the record reader reads it back: bare, or in double quotes with inner
// double quotes doubled.
void appendValue(std::string& out, std::string_view value) {
    bool bare = !value.empty() && value != "?" && !isBlank(value.front()) && !isBlank(value.back());
    for (std::size_t i = 0; bare && i < value.size(); ++i) {
        const char c = value[i];
        bare = c != ',' && c != '"' && c != '\'' && c != '%' && c != '{';
    }
    if (bare) {
        out += value;
        return;
    }
    out += '"';
    for (const char c : value) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

// The output records can grow this much beyond the size of the data: a sparse record of a few
// bytes may stand for thousands of values.
constexpr std::size_t kMaxGrowthBytes = std::size_t{1} << 30;

// Writes the records of one data section, line by line.
class RecordWriter {
public:
    RecordWriter(const ArffHeader& header, std::string& out) : header_(header), out_(out) {}

    // Compiles the date formats and indexes the nominal values. Returns an error message or "".
    std::string prepare();
    // Writes the record of a line that holds one (neither blank nor a comment). Returns false
    // with error() set for a bad line; out may then hold part of its record.
    bool writeDense(std::string_view line);
    bool writeSparse(std::string_view line);  // requires line to start with blanks and '{'
    const std::string& error() const { return error_; }

private:
    struct Column {
        ArffAttribute::Kind kind;
        std::unordered_map<std::string_view, std::uint32_t> codes;  // Nominal
        std::vector<std::string> written;  // Nominal: each value as appendValue writes it
        std::optional<DateFormat> date;
        std::string fallback;  // what a sparse record that leaves it out means
    };

    bool write(std::size_t attribute, const Token& token);
    bool writeNumber(const Column& column, std::string_view text);
    bool fail(std::string what);

    const ArffHeader& header_;
    std::string& out_;
    std::vector<Column> columns_;
    std::string scratch_;
    std::string error_;
};

std::string RecordWriter::prepare() {
    columns_.reserve(header_.attributes.size());
    for (const ArffAttribute& a : header_.attributes) {
        Column column{a.kind, {}, {}, std::nullopt, "0"};
        if (a.kind == ArffAttribute::Kind::Nominal) {
            for (std::uint32_t v = 0; v < a.values.size(); ++v) {
                column.codes.emplace(a.values[v], v);
                column.written.emplace_back();
                appendValue(column.written.back(), a.values[v]);
            }
            column.fallback = column.written.empty() ? "?" : column.written.front();
        } else if (a.kind == ArffAttribute::Kind::Date) {
            Result<DateFormat> format = DateFormat::compile(a.dateFormat);
            if (!format) return attributeLabel(a.name) + ": " + format.error();
            column.date = std::move(*format);
        }
        columns_.push_back(std::move(column));
    }
    return "";
}

bool RecordWriter::fail(std::string what) {
    error_ = std::move(what);
    return false;
}

bool RecordWriter::writeNumber(const Column& column, std::string_view text) {
    std::int64_t mantissa = 0;
    int fractionDigits = 0;
    double value = 0;
    if (column.kind == ArffAttribute::Kind::Numeric) {
        if (parseNumber(text, mantissa, fractionDigits, value) == NumberForm::NotNumber)
            return false;
        out_ += text;
        return true;
    }
    const std::optional<double> days = column.date->daysSinceEpoch(text);
    if (!days) return false;
    char buffer[32];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, *days);
    if (ec != std::errc()) return false;
    out_.append(buffer, end);
    return true;
}

// Writes the value of `attribute`, after a comma unless it is the first.
bool RecordWriter::write(std::size_t attribute, const Token& token) {
    if (attribute > 0) out_ += ',';
    if (!token.quoted && token.text == "?") {
        out_ += '?';
        return true;
    }
    const ArffAttribute& a = header_.attributes[attribute];
    if (!token.quoted && token.text.empty())
        return fail(attributeLabel(a.name) + " has an empty value (? marks a missing one)");
    const Column& column = columns_[attribute];
    // Another mark of a missing value ("NULL", "N/A"; in a number also "-") is passed on as it
    // stands: the record reader reads it as missing, as in records it reads directly.
    const std::string_view text = trimBlanks(token.text);
    const bool mark = !token.quoted && !text.empty() && builtInMark(text) != kNoMark;
    if (column.kind == ArffAttribute::Kind::Nominal) {
        const auto found = column.codes.find(token.text);
        if (found != column.codes.end()) {
            out_ += column.written[found->second];
        } else if (mark) {
            out_ += text;
        } else {
            return fail(quoteForMessage(token.text) + " is not a value of " +
                        attributeLabel(a.name));
        }
        return true;
    }
    if (writeNumber(column, text)) return true;
    if (mark || (!token.quoted && numberGapMark(text) != kNoMark)) {
        out_ += text;
        return true;
    }
    if (column.kind == ArffAttribute::Kind::Date)
        return fail(quoteForMessage(text) + " does not match the date format " +
                    quoteForMessage(a.dateFormat) + " of " + attributeLabel(a.name));
    return fail(quoteForMessage(text) +
                (isOutOfRangeNumber(text)
                     ? " is out of the range of numbers (about 1e-308 to 1e308 in size)"
                     : " is not a number") +
                ", but " + attributeLabel(a.name) + " is numeric");
}

bool RecordWriter::writeDense(std::string_view line) {
    const std::size_t expected = columns_.size();
    std::size_t found = 0;
    std::size_t pos = 0;
    while (true) {
        Token token;
        if (!readValue(line, pos, Context::Dense, token, scratch_, error_)) return false;
        if (found < expected) {
            if (!write(found, token)) return false;
        } else if (found == expected && !token.quoted && token.text.starts_with('{')) {
            return fail("a weight in {...} after the values: record weights are not supported");
        }
        ++found;
        while (pos < line.size() && isBlank(line[pos])) ++pos;
        if (pos == line.size() || line[pos] == '%') break;
        if (line[pos] != ',') return fail("text follows a closing quote");
        ++pos;
    }
    if (found != expected)
        return fail("found " + std::to_string(found) + (found == 1 ? " value" : " values") +
                    ", expected " + std::to_string(expected));
    out_ += '\n';
    return true;
}

bool RecordWriter::writeSparse(std::string_view line) {
    const std::size_t count = columns_.size();
    std::size_t next = 0;  // the first attribute not yet written
    std::size_t pos = line.find('{') + 1;
    auto fillTo = [&](std::size_t end) {
        for (; next < end; ++next) {
            if (next > 0) out_ += ',';
            out_ += columns_[next].fallback;
        }
    };
    auto skipBlanks = [&] {
        while (pos < line.size() && isBlank(line[pos])) ++pos;
    };
    skipBlanks();
    bool closed = pos < line.size() && line[pos] == '}';
    while (!closed) {
        const std::size_t start = pos;
        std::size_t index = 0;
        while (pos < line.size() && line[pos] >= '0' && line[pos] <= '9') {
            if (index <= count) index = index * 10 + static_cast<std::size_t>(line[pos] - '0');
            ++pos;
        }
        const std::string_view digits = line.substr(start, pos - start);
        if (digits.empty() || pos == line.size() ||
            !(isBlank(line[pos]) || line[pos] == '\'' || line[pos] == '"'))
            return fail("expected \"index value\" in a sparse record, found " +
                        quoteForMessage(line.substr(start)));
        const std::string shown =
            digits.size() > 12 ? quoteForMessage(digits) : std::string(digits);
        if (index >= count)
            return fail("the index " + shown +
                        " is out of range (the attributes are numbered 0 to " +
                        std::to_string(count - 1) + ")");
        if (index < next)
            return fail(index + 1 == next ? "the index " + shown + " is given twice"
                                          : "the index " + shown + " follows index " +
                                                std::to_string(next - 1) + ": indexes must ascend");
        fillTo(index);
        Token token;
        if (!readValue(line, pos, Context::List, token, scratch_, error_)) return false;
        if (!write(index, token)) return false;
        next = index + 1;
        skipBlanks();
        closed = pos < line.size() && line[pos] == '}';
        if (closed) break;
        if (pos == line.size() || line[pos] != ',')
            return fail("expected ',' or '}' after the value of index " + shown);
        ++pos;
        skipBlanks();
    }
    fillTo(count);
    ++pos;  // the '}'
    skipBlanks();
    if (pos < line.size() && line[pos] == ',')
        return fail("a weight in {...} after the values: record weights are not supported");
    if (!restIsEmpty(line, pos)) return fail("text follows the closing '}'");
    out_ += '\n';
    return true;
}

}  // namespace

Result<ArffHeader> parseArffHeader(std::string_view text, const std::string& fileName) {
    return HeaderParser(fileName).parse(text);
}

bool arffNeedsRewrite(const ArffHeader& header, std::string_view data) {
    for (const ArffAttribute& a : header.attributes)
        if (a.kind == ArffAttribute::Kind::Date) return true;
    for (const char c : {'"', '\'', '{', '%'})
        if (std::memchr(data.data(), c, data.size()) != nullptr) return true;
    // A lone carriage return ends a line here; the record reader may take it for a blank.
    const char* p = data.data();
    const char* const end = p + data.size();
    while (const void* cr = std::memchr(p, '\r', static_cast<std::size_t>(end - p))) {
        p = static_cast<const char*>(cr) + 1;
        if (p == end || *p != '\n') return true;
    }
    return false;
}

Result<std::string> arffRecords(std::string_view data, const ArffHeader& header,
                                const std::string& fileName, std::size_t firstLine,
                                std::vector<std::size_t>& lineOfRecord) {
    lineOfRecord.clear();
    std::string out;
    out.reserve(data.size());  // about the size of the records written out, unless sparse
    RecordWriter writer(header, out);
    if (std::string e = writer.prepare(); !e.empty())
        return Result<std::string>::failure(fileName + ": " + e);
    const std::size_t limit = data.size() + kMaxGrowthBytes;
    std::size_t pos = 0;
    for (std::size_t lineNumber = firstLine; pos < data.size(); ++lineNumber) {
        std::string_view line;
        pos = nextLine(data, pos, line);
        std::size_t first = 0;
        while (first < line.size() && isBlank(line[first])) ++first;
        if (first == line.size() || line[first] == '%') continue;
        auto fail = [&](const std::string& what) {
            return Result<std::string>::failure(lineMessage(fileName, lineNumber, what));
        };
        if (std::memchr(line.data(), '\0', line.size()) != nullptr) return fail(nulByteMessage());
        if (!(line[first] == '{' ? writer.writeSparse(line) : writer.writeDense(line)))
            return fail(writer.error());
        lineOfRecord.push_back(lineNumber);
        if (out.size() > limit)
            return fail("the records take more than " + std::to_string(limit >> 20) +
                        " MiB written out in full (sparse records of many attributes?)");
    }
    return out;
}

}  // namespace mining
