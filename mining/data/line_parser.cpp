#include "data/line_parser.h"

#include "data/text_fields.h"

namespace mining {

namespace {

// A line with more fields than expected is split this far only; its message says "more than".
constexpr std::size_t kExtraFieldsCounted = 1000;

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
    // Fills cells_ in place of the columns a part parser writes to.
    struct CellSink {
        std::vector<Cell>& cells;
        bool number(std::size_t i, const PlainDecimal& decimal) {
            cells[i].kind = CellKind::Decimal;
            cells[i].decimal = decimal;
            return true;
        }
        void missingNumber(std::size_t i) { cells[i].kind = CellKind::Missing; }
        void missingValue(std::size_t i) { cells[i].kind = CellKind::Missing; }
        void code(std::size_t i, std::int32_t code) {
            cells[i].kind = CellKind::Code;
            cells[i].code = code;
        }
        void missingClass() { cells.back().kind = CellKind::Missing; }
        void classCode(std::int32_t code) { this->code(cells.size() - 1, code); }
    };
    CellSink sink{cells_};
    return parsePlainInto(line, sink);
}

LineOutcome LineParser::parse(std::string_view line) {
    lineMarks_.clear();
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
    countLineMarks(cells_.back().kind == CellKind::Missing);
    return LineOutcome::Record;
}

LineOutcome LineParser::fail(std::string message) {
    error_ = std::move(message);
    return LineOutcome::Failed;
}

// Splits the line into fields_ and checks their number.
LineOutcome LineParser::splitLine(std::string_view line) {
    std::string what;
    const std::size_t expected = layout_.fieldsInLine();
    if (!splitDelimited(line, layout_.delimiter, fields_, quoted_, unescaped_, what,
                        expected + kExtraFieldsCounted))
        return fail(what);
    if (fields_.size() != expected) {
        wrongFieldCount_ = fields_.size();
        return fail(fieldCountMessage(fields_.size(), expected));
    }
    return LineOutcome::Record;
}

// Returns the missing mark the field of column `column` holds, or kNoMark: a built-in mark
// unquoted that the column's declared values do not list, or one of the run's tokens.
MarkId LineParser::missingMark(std::size_t column) const {
    const std::size_t f = layout_.fieldOf(column);
    if (!quoted_[f]) {
        const MarkId mark = builtInMark(fields_[f]);
        if (mark != kNoMark && !layout_.listsMark(column, mark)) return mark;
    }
    if (layout_.missingTokens.empty()) return kNoMark;
    return layout_.missingTokens.markOf(fields_[f]);
}

LineOutcome LineParser::readClass() {
    Cell& cell = cells_.back();
    cell.kind = CellKind::Missing;
    const std::size_t column = cells_.size() - 1;
    if (layout_.classAbsent) return LineOutcome::Record;
    if (const MarkId mark = missingMark(column); mark != kNoMark) {
        noteMark(column, mark);
        return LineOutcome::Record;
    }
    const std::string_view field = fields_[layout_.classField];
    cell.code = coders_.back().code(field);
    if (cell.code < 0)
        return fail(quoteForMessage(field) + " is not a class value listed in " +
                    layout_.namesName);
    cell.kind = CellKind::Code;
    return LineOutcome::Record;
}

LineOutcome LineParser::readNumber(std::size_t attribute) {
    const std::string_view field = fields_[layout_.fieldOf(attribute)];
    Cell& cell = cells_[attribute];
    cell.kind = CellKind::Missing;
    MarkId mark = missingMark(attribute);
    if (mark == kNoMark && !quoted_[layout_.fieldOf(attribute)]) mark = numberGapMark(field);
    if (mark != kNoMark) {
        noteMark(attribute, mark);
        return LineOutcome::Record;
    }
    const NumberForm form =
        parseNumber(field, cell.decimal.mantissa, cell.decimal.fractionDigits, cell.number);
    if (form != NumberForm::NotNumber && layout_.missingTokens.anyNumber()) {
        const double value =
            form == NumberForm::Decimal
                ? decimalToDouble(cell.decimal.mantissa, cell.decimal.fractionDigits)
                : cell.number;
        if (const MarkId token = layout_.missingTokens.markOfNumber(value); token != kNoMark) {
            noteMark(attribute, token);
            return LineOutcome::Record;
        }
    }
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
    const std::string_view field = fields_[layout_.fieldOf(attribute)];
    Cell& cell = cells_[attribute];
    cell.kind = CellKind::Missing;
    if (const MarkId mark = missingMark(attribute); mark != kNoMark) {
        noteMark(attribute, mark);
        return LineOutcome::Record;
    }
    cell.code = coders_[attribute].code(field);
    if (cell.code < 0)
        return fail(quoteForMessage(field) + " is not a value of attribute " +
                    layout_.attributeNames[attribute] + " listed in " + layout_.namesName);
    cell.kind = CellKind::Code;
    return LineOutcome::Record;
}

}  // namespace mining
