#include "util/text_table.h"

#include <algorithm>

#include "util/display_width.h"

namespace mining {

namespace {

constexpr std::size_t kGap = 2;

const std::string& cellOf(const std::vector<std::string>& row, std::size_t c) {
    static const std::string empty;
    return c < row.size() ? row[c] : empty;
}

}  // namespace

void TextTable::setHeader(std::vector<std::string> header) {
    for (std::string& cell : header)
        if (cell.size() > kCellLength) cell = shortForReport(cell, kCellLength);
    header_ = std::move(header);
}

void TextTable::addRow(std::vector<std::string> row) {
    for (std::string& cell : row)
        if (cell.size() > kCellLength) cell = shortForReport(cell, kCellLength);
    rows_.push_back(std::move(row));
}

std::size_t TextTable::columnCount() const {
    std::size_t columns = header_.size();
    for (const auto& row : rows_) columns = std::max(columns, row.size());
    return columns;
}

std::vector<std::size_t> TextTable::columnWidths(std::size_t columns, std::size_t room) const {
    std::vector<std::size_t> widths(columns, 0);
    for (std::size_t c = 0; c < columns; ++c) {
        widths[c] = displayWidth(cellOf(header_, c));
        for (const auto& row : rows_) widths[c] = std::max(widths[c], displayWidth(cellOf(row, c)));
    }
    if (columns == 1) {
        widths[0] = std::min(widths[0], room);
        return widths;
    }
    // Another column may take what the first leaves, or at least half the room; the first
    // then takes what the widest other column leaves.
    const std::size_t half = room / 2 > kGap ? room / 2 - kGap : 1;
    const std::size_t otherLimit =
        std::max(room > kGap + widths[0] ? room - kGap - widths[0] : 0, half);
    std::size_t widestOther = 0;
    for (std::size_t c = 1; c < columns; ++c) {
        widths[c] = std::min(widths[c], otherLimit);
        widestOther = std::max(widestOther, widths[c]);
    }
    widths[0] = std::min(widths[0], room > kGap + widestOther ? room - kGap - widestOther : 1);
    return widths;
}

std::vector<TextTable::Block> TextTable::blocks(const std::vector<std::size_t>& widths,
                                                std::size_t room) {
    const std::size_t columns = widths.size();
    std::vector<Block> out;
    if (columns == 1) out.emplace_back(1, 1);
    for (std::size_t begin = 1; begin < columns;) {
        std::size_t end = begin;
        std::size_t used = widths[0];
        while (end < columns && (end == begin || used + kGap + widths[end] <= room)) {
            used += kGap + widths[end];
            ++end;
        }
        out.emplace_back(begin, end);
        begin = end;
    }
    return out;
}

void TextTable::writeRow(std::ostream& out, const std::vector<std::string>& row,
                         const std::vector<std::size_t>& widths, Block block,
                         std::size_t indent) const {
    std::string line(indent, ' ');
    const std::string first = shortToWidth(cellOf(row, 0), widths[0]);
    line += first;
    line.append(widths[0] - displayWidth(first), ' ');
    for (std::size_t c = block.first; c < block.second; ++c) {
        const std::string text = shortToWidth(cellOf(row, c), widths[c]);
        line.append(kGap + widths[c] - displayWidth(text), ' ');
        line += text;
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    out << line << '\n';
}

void TextTable::write(std::ostream& out, std::size_t width, std::size_t indent) const {
    const std::size_t columns = columnCount();
    if (columns == 0) return;
    const std::size_t room = width > indent ? width - indent : 1;
    const std::vector<std::size_t> widths = columnWidths(columns, room);
    const std::vector<Block> parts = blocks(widths, room);
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) out << '\n';
        if (!header_.empty()) writeRow(out, header_, widths, parts[i], indent);
        for (const auto& row : rows_) writeRow(out, row, widths, parts[i], indent);
    }
}

}  // namespace mining
