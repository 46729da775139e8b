#include "util/text_table.h"

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string_view>

namespace mining {

std::string shortForReport(std::string_view text, std::size_t length) {
    if (text.size() <= length) return std::string(text);
    std::size_t end = length - 4;
    // Back up over UTF-8 continuation bytes to the start of the character they belong to.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return std::string(text.substr(0, end)) + "...";
}

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

void TextTable::write(std::ostream& out, std::size_t width, std::size_t indent) const {
    std::size_t columns = header_.size();
    for (const auto& row : rows_) columns = std::max(columns, row.size());
    if (columns == 0) return;
    auto cell = [](const std::vector<std::string>& row, std::size_t c) -> const std::string& {
        static const std::string empty;
        return c < row.size() ? row[c] : empty;
    };
    std::vector<std::size_t> widths(columns, 0);
    for (std::size_t c = 0; c < columns; ++c) {
        widths[c] = cell(header_, c).size();
        for (const auto& row : rows_) widths[c] = std::max(widths[c], cell(row, c).size());
    }
    constexpr std::size_t kGap = 2;
    // Blocks of columns 1.. that fit beside the first column.
    std::vector<std::pair<std::size_t, std::size_t>> blocks;
    std::size_t begin = 1;
    const std::size_t firstWidth = indent + widths[0];
    if (columns == 1) blocks.emplace_back(1, 1);
    while (begin < columns) {
        std::size_t end = begin;
        std::size_t used = firstWidth;
        while (end < columns && (end == begin || used + kGap + widths[end] <= width)) {
            used += kGap + widths[end];
            ++end;
        }
        blocks.emplace_back(begin, end);
        begin = end;
    }
    auto writeRow = [&](const std::vector<std::string>& row, std::size_t b, std::size_t e) {
        std::string line(indent, ' ');
        const std::string& first = cell(row, 0);
        line += first;
        line.append(widths[0] - first.size(), ' ');
        for (std::size_t c = b; c < e; ++c) {
            const std::string& text = cell(row, c);
            line.append(kGap + widths[c] - text.size(), ' ');
            line += text;
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        out << line << '\n';
    };
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        if (i > 0) out << '\n';
        if (!header_.empty()) writeRow(header_, blocks[i].first, blocks[i].second);
        for (const auto& row : rows_) writeRow(row, blocks[i].first, blocks[i].second);
    }
}

std::string formatFixed(double value, int decimals) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    std::string s = buffer;
    if (s[0] == '-' && s.find_first_not_of("-0.") == std::string::npos) s.erase(0, 1);
    return s;
}

std::string formatGeneral(double value, int significant) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*g", significant, value);
    if (std::string_view(buffer) == "-0") return "0";
    return buffer;
}

std::string wrapWords(const std::string& text, std::size_t width) {
    std::string out;
    std::string line;
    std::istringstream words(text);
    for (std::string word; words >> word;) {
        if (!line.empty() && line.size() + 1 + word.size() > width) {
            out += line + '\n';
            line.clear();
        }
        if (!line.empty()) line += ' ';
        line += word;
    }
    if (!line.empty()) out += line + '\n';
    return out;
}

void writeWrappedList(std::ostream& out, const std::string& label,
                      const std::vector<std::string>& items, std::size_t width) {
    std::string line = label;
    const std::size_t indent = label.size();
    for (std::size_t i = 0; i < items.size(); ++i) {
        const std::string item = shortForReport(items[i]) + (i + 1 < items.size() ? "," : "");
        if (line.size() > indent && line.size() + 1 + item.size() > width) {
            out << line << '\n';
            line = std::string(indent, ' ');
        }
        if (line.size() > indent) line += ' ';
        line += item;
    }
    out << line << '\n';
}

}  // namespace mining
