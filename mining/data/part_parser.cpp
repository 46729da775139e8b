#include "data/part_parser.h"

#include <algorithm>
#include <cstring>

#include "data/text_fields.h"

namespace mining {

// Hands the fields of a plain line straight to the part's row `row` of each column.
struct PartParser::RowWriter {
    PartParser& part;
    std::size_t row;
    bool classMissing = false;

    bool number(std::size_t i, const PlainDecimal& d) {
        return part.slices_[i].setQuickly(row, d.mantissa, d.fractionDigits);
    }
    void missingNumber(std::size_t i) { part.slices_[i].setMissing(row); }
    void code(std::size_t i, std::int32_t code) { part.codes_[i].set(row, code); }
    void missingValue(std::size_t i) { part.codes_[i].set(row, kMissingCode); }
    void classCode(std::int32_t code) {
        part.codes_.back().set(row, code);
        classMissing = false;
    }
    void missingClass() { classMissing = true; }
};

PartCodes::PartCodes(SharedCodes* shared, std::size_t firstRow, std::size_t rows) : rows_(rows) {
    if (shared == nullptr) return;
    if (shared->narrow)
        bytes_ = shared->bytes.data() + firstRow;
    else
        wide_ = shared->wide.data() + firstRow;
}

CodeSpan PartCodes::written(std::size_t kept) const {
    if (bytes_ != nullptr) return CodeSpan(std::span<const std::uint8_t>(bytes_, kept));
    return CodeSpan(std::span<const std::int32_t>(wide_, kept));
}

void PartCodes::widen(std::size_t rowsWritten) {
    own_.resize(rows_);
    for (std::size_t r = 0; r < rowsWritten; ++r)
        own_[r] = bytes_[r] == CodeSpan::kMissingByte ? kMissingCode : bytes_[r];
    wide_ = own_.data();
    bytes_ = nullptr;
}

PartParser::PartParser(const RecordLayout& layout, std::string_view text, std::size_t offset,
                       const ReleaseCallback& release, SharedColumns& columns, std::size_t firstRow,
                       std::size_t rows, bool quoteAware)
    : PartParser(layout, {TextPiece{text, offset}}, release, columns, firstRow, rows, quoteAware) {}

PartParser::PartParser(const RecordLayout& layout, std::vector<TextPiece> pieces,
                       const ReleaseCallback& release, SharedColumns& columns, std::size_t firstRow,
                       std::size_t rows, bool quoteAware)
    : layout_(layout),
      pieces_(std::move(pieces)),
      release_(release),
      firstRow_(firstRow),
      rows_(rows),
      values_(layout.fieldCount),
      lines_(layout, coders_),
      quoteAware_(quoteAware) {
    const std::size_t attributes = layout.fieldCount - 1;
    slices_.reserve(attributes);
    coders_.reserve(attributes + 1);
    for (std::size_t i = 0; i < attributes; ++i) {
        const bool numeric = layout.types[i] == AttributeType::Numeric;
        slices_.emplace_back(numeric ? columns.numbers[i].data() + firstRow : nullptr,
                             numeric ? rows : 0);
        const bool nominal = layout.types[i] == AttributeType::Nominal;
        codes_.emplace_back(nominal ? &columns.codes[i] : nullptr, firstRow, rows);
        const bool listed = layout.names && !layout.names->attributes[i].values.empty();
        if (listed) values_[i] = layout.names->attributes[i].values;
        coders_.emplace_back(&values_[i], listed);
    }
    codes_.emplace_back(&columns.codes.back(), firstRow, rows);
    const bool classListed = layout.names && !layout.names->classValues.empty();
    if (classListed) values_.back() = layout.names->classValues;
    coders_.emplace_back(&values_.back(), classListed);
}

void PartParser::run() {
    for (const TextPiece& piece : pieces_) {
        text_ = piece.text;
        offset_ = piece.offset;
        if (!runPiece()) return;
    }
}

// Reads the lines of the piece in text_. Returns false when the part must stop.
bool PartParser::runPiece() {
    std::size_t pos = 0;
    std::size_t released = 0;
    const std::size_t size = text_.size();
    if (release_) release_(offset_, offset_);
    while (pos < size) {
        const char* start = text_.data() + pos;
        const void* nl = std::memchr(start, '\n', size - pos);
        std::size_t lineEnd =
            nl ? static_cast<std::size_t>(static_cast<const char*>(nl) - text_.data()) : size;
        const std::size_t firstLine = lineCount_ + 1;
        ++lineCount_;
        // A comment's quotes open no field.
        if (quoteAware_ && lineEnd < size && !isComment(text_.substr(pos, lineEnd - pos)))
            lineEnd = recordEnd(pos, lineEnd);
        const std::string_view line = text_.substr(pos, lineEnd - pos);
        // The bytes before this line are done with (a text brought in part by part may not be
        // read once let go).
        if (release_ && pos - released > kReleaseStep) {
            release_(offset_ + released, offset_ + pos);
            released = pos;
        }
        pos = lineEnd + 1;
        if (!readLine(line, firstLine)) {
            // A failing record is named by the line it starts on.
            lineCount_ = firstLine;
            return false;
        }
    }
    if (release_) release_(offset_ + released, offset_ + size);
    return true;
}

// A double-quoted field over several lines makes one record of them: returns where the record
// that starts at `pos`, whose first line ends at `lineEnd`, ends. The quotes are followed line by
// line, so a long field costs its length once. Counts the further lines.
std::size_t PartParser::recordEnd(std::size_t pos, std::size_t lineEnd) {
    QuoteTracker quotes(layout_.delimiter);
    bool open = quotes.add(text_.substr(pos, lineEnd - pos));
    while (open && lineEnd < text_.size()) {
        const std::size_t next = std::min(text_.find('\n', lineEnd + 1), text_.size());
        open = quotes.add(text_.substr(lineEnd, next - lineEnd));
        lineEnd = next;
        ++lineCount_;
    }
    return lineEnd;
}

// Returns true when `line` is a comment: only a line that starts with '#' is looked at.
bool PartParser::isComment(std::string_view line) const {
    return layout_.hashComments && !line.empty() && line[0] == '#' &&
           isCommentLine(line, layout_.delimiter, layout_.fieldsInLine());
}

// Reads one line, keeping its record. Returns false when the part must stop.
bool PartParser::readLine(std::string_view line, std::size_t firstLine) {
    if (isComment(line)) {
        ++commentCount_;
        return true;
    }
    if (kept_ == rows_ && !isBlankLine(line, layout_.delimiter)) {
        // The rows were counted from the same bytes: only a text that changed since (a file
        // rewritten while it is mapped) holds more records.
        outcome_ = PartOutcome::Failed;
        overflow_ = "more records than lines: the text changed while it was read";
        return false;
    }
    RowWriter writer{*this, kept_};
    if (lines_.parsePlainInto(line, writer)) {
        if (writer.classMissing && !layout_.keepMissingClass) {
            ++missingClassCount_;
            return true;
        }
        if (writer.classMissing) codes_.back().set(kept_, kMissingCode);
        noteLine(firstLine);
        ++kept_;
        return true;
    }
    if (isBlankLine(line, layout_.delimiter)) return true;
    switch (lines_.parse(line)) {
        case LineOutcome::Record:
            keep(lines_.cells(), firstLine);
            return true;
        case LineOutcome::Restart:
            outcome_ = PartOutcome::Restart;
            return false;
        case LineOutcome::Failed:
            outcome_ = PartOutcome::Failed;
            quoteLeftOpen_ = leavesQuoteOpen(line, layout_.delimiter);
            return false;
    }
    return false;
}

// Writes a record's cells to the next row, or counts it when its class is missing.
void PartParser::keep(const std::vector<Cell>& cells, std::size_t firstLine) {
    const Cell& cls = cells.back();
    if (cls.kind == CellKind::Missing && !layout_.keepMissingClass) {
        ++missingClassCount_;
        return;
    }
    noteLine(firstLine);
    const std::size_t row = kept_++;
    for (std::size_t i = 0; i + 1 < cells.size(); ++i) {
        const Cell& cell = cells[i];
        if (layout_.types[i] == AttributeType::Numeric) {
            if (cell.kind == CellKind::Decimal)
                slices_[i].setDecimal(row, cell.decimal.mantissa, cell.decimal.fractionDigits);
            else if (cell.kind == CellKind::Number)
                slices_[i].setDouble(row, cell.number);
            else
                slices_[i].setMissing(row);
        } else if (layout_.types[i] == AttributeType::Nominal) {
            codes_[i].set(row, cell.kind == CellKind::Code ? cell.code : kMissingCode);
        }
    }
    codes_.back().set(row, cls.kind == CellKind::Code ? cls.code : kMissingCode);
}

void PartParser::noteLine(std::size_t line) {
    if (layout_.recordLines) rowLines_.push_back(line);
}

std::size_t rowsNeeded(std::size_t lines, std::size_t bytes, std::size_t fields) {
    return std::min(lines, bytes / std::max<std::size_t>(fields, 1) + 1);
}

std::size_t countLineEnds(std::string_view text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
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
