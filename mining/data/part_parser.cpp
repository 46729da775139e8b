#include "data/part_parser.h"

#include <algorithm>
#include <cstring>

#include "data/text_fields.h"

namespace mining {

namespace {

// Returns the number of lines to reserve room for in `reserveFor` bytes, judged by the first
// lines of `text`.
std::size_t estimateLines(std::string_view text, std::size_t reserveFor) {
    const std::size_t sample = std::min<std::size_t>(text.size(), 1 << 16);
    const auto sampleLines = static_cast<std::size_t>(
        std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(sample), '\n'));
    if (sampleLines == 0) return 16;
    return reserveFor / std::max<std::size_t>(1, sample / sampleLines) * 21 / 20 + 16;
}

}  // namespace

PartParser::PartParser(const RecordLayout& layout, std::string_view text, std::size_t offset,
                       std::size_t reserveFor, const ReleaseCallback& release)
    : layout_(layout), text_(text), offset_(offset), release_(release), lines_(layout, coders_) {
    const std::size_t attributes = layout.fieldCount - 1;
    columns_.numeric.resize(attributes);
    columns_.nominal.resize(attributes);
    columns_.values.resize(attributes);
    coders_.reserve(attributes + 1);
    for (std::size_t i = 0; i < attributes; ++i) {
        const bool listed = layout.names && !layout.names->attributes[i].values.empty();
        if (listed) columns_.values[i] = layout.names->attributes[i].values;
        coders_.emplace_back(&columns_.values[i], listed);
    }
    if (layout.names) columns_.classValues = layout.names->classValues;
    coders_.emplace_back(&columns_.classValues, layout.names != nullptr);
    reserve(reserveFor);
}

void PartParser::reserve(std::size_t reserveFor) {
    const std::size_t estimate = estimateLines(text_, reserveFor);
    for (std::size_t i = 0; i + 1 < layout_.fieldCount; ++i) {
        if (layout_.types[i] == AttributeType::Numeric) columns_.numeric[i].reserve(estimate);
        if (layout_.types[i] == AttributeType::Nominal) columns_.nominal[i].reserve(estimate);
    }
    columns_.classes.reserve(estimate);
}

void PartParser::run() {
    std::size_t pos = 0;
    std::size_t released = 0;
    const std::size_t size = text_.size();
    if (release_) release_(offset_, offset_);
    while (pos < size) {
        const char* start = text_.data() + pos;
        const void* nl = std::memchr(start, '\n', size - pos);
        const std::size_t lineEnd =
            nl ? static_cast<std::size_t>(static_cast<const char*>(nl) - text_.data()) : size;
        const std::string_view line = text_.substr(pos, lineEnd - pos);
        pos = lineEnd + 1;
        ++lineCount_;
        if (release_ && pos - released > kReleaseStep) {
            release_(offset_ + released, offset_ + std::min(pos, size));
            released = pos;
        }
        if (!readLine(line)) return;
    }
    if (release_) release_(offset_ + released, offset_ + size);
}

// Reads one line, keeping its record. Returns false when the part must stop.
bool PartParser::readLine(std::string_view line) {
    if (lines_.parsePlain(line)) {
        keep(lines_.cells());
        return true;
    }
    if (trimBlanks(line).empty()) return true;
    switch (lines_.parse(line)) {
        case LineOutcome::Record:
            keep(lines_.cells());
            return true;
        case LineOutcome::Restart:
            outcome_ = PartOutcome::Restart;
            return false;
        case LineOutcome::Failed:
            outcome_ = PartOutcome::Failed;
            return false;
    }
    return false;
}

// Appends a record's cells to the columns, or counts it when its class is missing.
void PartParser::keep(const std::vector<Cell>& cells) {
    const Cell& cls = cells.back();
    if (cls.kind == CellKind::Missing) {
        ++columns_.missingClassCount;
        return;
    }
    for (std::size_t i = 0; i + 1 < cells.size(); ++i) {
        const Cell& cell = cells[i];
        if (layout_.types[i] == AttributeType::Numeric) {
            if (cell.kind == CellKind::Decimal)
                columns_.numeric[i].appendDecimal(cell.decimal.mantissa,
                                                  cell.decimal.fractionDigits);
            else if (cell.kind == CellKind::Number)
                columns_.numeric[i].appendDouble(cell.number);
            else
                columns_.numeric[i].appendMissing();
        } else if (layout_.types[i] == AttributeType::Nominal) {
            columns_.nominal[i].push_back(cell.kind == CellKind::Code ? cell.code : kMissingCode);
        }
    }
    columns_.classes.push_back(cls.code);
}

std::vector<std::pair<std::size_t, std::size_t>> splitAtLines(std::string_view text,
                                                              std::size_t count) {
    std::vector<std::pair<std::size_t, std::size_t>> parts;
    std::size_t begin = 0;
    for (std::size_t k = 1; k <= count && begin < text.size(); ++k) {
        std::size_t end = text.size();
        if (k < count) {
            end = std::max(begin, text.size() / count * k);
            const std::size_t nl = text.find('\n', end);
            end = nl == std::string_view::npos ? text.size() : nl + 1;
        }
        parts.emplace_back(begin, end);
        begin = end;
    }
    if (parts.empty()) parts.emplace_back(0, 0);
    return parts;
}

}  // namespace mining
