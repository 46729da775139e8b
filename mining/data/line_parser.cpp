#include "data/line_parser.h"

#include "data/text_fields.h"

namespace mining {

namespace {

// A line with more fields than expected is split this far only; its message says "more than".
constexpr std::size_t kExtraFieldsCounted = 1000;

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

bool isMissingField(std::string_view field, bool quoted) { return !quoted && field == "?"; }

// The plain path's steps: each reads one field from `p` and the comma after it, and returns false
// when the field is not plain (`p` is then of no further use).

// Reads a number or '?' (never the last field, so a comma must follow).
bool plainNumber(const char*& p, const char* end, Cell& cell) {
    const char* const start = p;
    const DecimalScan scan = scanDecimal(p, end, cell.decimal);
    if (scan == DecimalScan::TooManyDigits) return false;
    if (scan == DecimalScan::NoDigits) {
        if (p != start || p == end || *p != '?') return false;
        ++p;
        cell.kind = CellKind::Missing;
    } else {
        cell.kind = CellKind::Decimal;
    }
    while (p < end && isBlank(*p)) ++p;
    if (p == end || *p != ',') return false;
    ++p;
    return true;
}

// Skips an ignored attribute's field.
bool plainIgnored(const char*& p, const char* end) {
    while (p < end && *p != ',' && *p != '\0') ++p;
    if (p == end || *p != ',') return false;
    ++p;
    return true;
}

// Reads a nominal value or '?'; the last field (the class) must end the line.
bool plainValue(const char*& p, const char* end, bool last, ValueCoder& coder, Cell& cell) {
    const char* const start = p;
    // Fields are short: a plain loop beats a library call here.
    const char* stop = p;
    while (stop < end && *stop != ',' && *stop != '\0') ++stop;
    if (last ? stop != end : stop == end || *stop != ',') return false;
    const char* e = stop;
    while (e > start && isBlank(e[-1])) --e;
    const std::string_view field(start, static_cast<std::size_t>(e - start));
    if (field.empty() && last) return false;  // a blank line, or a missing class field
    if (field.size() == 1 && field[0] == '?') {
        cell.kind = CellKind::Missing;
    } else {
        cell.code = coder.code(field);
        if (cell.code < 0) return false;
        cell.kind = CellKind::Code;
    }
    p = last ? stop : stop + 1;
    return true;
}

std::string nulByteMessage() {
    return "a NUL byte: this is not a plain text file (binary, or UTF-16 rather than UTF-8)";
}

std::string fieldCountMessage(std::size_t found, std::size_t expected) {
    if (found > expected + kExtraFieldsCounted)
        return "found more than " + std::to_string(expected + kExtraFieldsCounted) +
               " fields, expected " + std::to_string(expected);
    return "found " + std::to_string(found) + (found == 1 ? " field" : " fields") + ", expected " +
           std::to_string(expected);
}

}  // namespace

LineParser::LineParser(const RecordLayout& layout, std::vector<ValueCoder>& coders)
    : layout_(layout), coders_(coders), cells_(layout.fieldCount) {}

bool LineParser::parsePlain(std::string_view line) {
    const char* p = line.data();
    const char* const end = p + line.size();
    const std::size_t fields = layout_.fieldCount;
    for (std::size_t i = 0; i < fields; ++i) {
        // The same blanks as the full rules skip, carriage returns too: else a field such as
        // "\r'a, b'" would be read as an unquoted value here.
        while (p < end && isBlank(*p)) ++p;
        if (p < end && (*p == '\'' || *p == '"')) return false;
        const bool last = i + 1 == fields;
        const AttributeType type = last ? AttributeType::Nominal : layout_.types[i];
        const bool plain = type == AttributeType::Numeric ? plainNumber(p, end, cells_[i])
                           : type == AttributeType::Ignored
                               ? plainIgnored(p, end)
                               : plainValue(p, end, last, coders_[i], cells_[i]);
        if (!plain) return false;
    }
    return true;
}

LineOutcome LineParser::parse(std::string_view line) {
    if (line.find('\0') != std::string_view::npos) return fail(nulByteMessage());
    if (const LineOutcome split = splitLine(line); split != LineOutcome::Record) return split;
    if (const LineOutcome cls = readClass(); cls != LineOutcome::Record) return cls;
    for (std::size_t i = 0; i + 1 < layout_.fieldCount; ++i) {
        LineOutcome outcome = LineOutcome::Record;
        switch (layout_.types[i]) {
            case AttributeType::Ignored:
                cells_[i].kind = CellKind::Missing;
                break;
            case AttributeType::Numeric:
                outcome = readNumber(i);
                break;
            case AttributeType::Nominal:
                outcome = readValue(i);
                break;
        }
        if (outcome != LineOutcome::Record) return outcome;
    }
    return LineOutcome::Record;
}

LineOutcome LineParser::fail(std::string message) {
    error_ = std::move(message);
    return LineOutcome::Failed;
}

// Splits the line into fields_ and checks their number.
LineOutcome LineParser::splitLine(std::string_view line) {
    std::string what;
    const std::size_t expected = layout_.fieldCount;
    if (!splitFields(line, fields_, quoted_, what, expected + kExtraFieldsCounted))
        return fail(what);
    if (fields_.size() != expected) return fail(fieldCountMessage(fields_.size(), expected));
    return LineOutcome::Record;
}

LineOutcome LineParser::readClass() {
    Cell& cell = cells_.back();
    cell.kind = CellKind::Missing;
    if (isMissingField(fields_.back(), quoted_.back())) return LineOutcome::Record;
    cell.code = coders_.back().code(fields_.back());
    if (cell.code < 0)
        return fail(quoteForMessage(fields_.back()) + " is not a class value listed in " +
                    layout_.namesName);
    cell.kind = CellKind::Code;
    return LineOutcome::Record;
}

LineOutcome LineParser::readNumber(std::size_t attribute) {
    const std::string_view field = fields_[attribute];
    Cell& cell = cells_[attribute];
    cell.kind = CellKind::Missing;
    if (isMissingField(field, quoted_[attribute])) return LineOutcome::Record;
    const NumberForm form =
        parseNumber(field, cell.decimal.mantissa, cell.decimal.fractionDigits, cell.number);
    if (form == NumberForm::Decimal) {
        cell.kind = CellKind::Decimal;
    } else if (form == NumberForm::Other) {
        cell.kind = CellKind::Number;
    } else if (!layout_.names) {
        restartColumn_ = attribute;
        return LineOutcome::Restart;
    } else {
        return fail(quoteForMessage(field) +
                    (isOutOfRangeNumber(field)
                         ? " is out of the range of numbers (about 1e-308 to 1e308 in size)"
                         : " is not a number") +
                    ", but attribute " + layout_.attributeNames[attribute] + " is continuous");
    }
    return LineOutcome::Record;
}

LineOutcome LineParser::readValue(std::size_t attribute) {
    const std::string_view field = fields_[attribute];
    Cell& cell = cells_[attribute];
    cell.kind = CellKind::Missing;
    if (isMissingField(field, quoted_[attribute])) return LineOutcome::Record;
    cell.code = coders_[attribute].code(field);
    if (cell.code < 0)
        return fail(quoteForMessage(field) + " is not a value of attribute " +
                    layout_.attributeNames[attribute] + " listed in " + layout_.namesName);
    cell.kind = CellKind::Code;
    return LineOutcome::Record;
}

}  // namespace mining
