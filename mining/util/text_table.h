#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "util/number_format.h"
#include "util/report_text.h"

namespace mining {

// A table of text cells laid out in columns for a plain-text report.
//
// Columns are as wide as their widest cell in display columns (display_width.h), so "café" and
// "東京" line up with plain ASCII; the first column is left-aligned, the others right-aligned,
// two spaces apart. When the table is wider than `width`, the first column is repeated and the
// other columns are written in consecutive blocks that each fit, so 60 attributes or 10 classes
// stay readable. A column too wide to fit beside the first even alone has its widest cells
// shortened with "..." (the first column too, when it takes more than its share), so every line
// fits the width.
class TextTable {
public:
    // Sets the header row (may be left empty for a table without one). A cell of it or of the
    // rows longer than kCellLength is shortened as shortForReport() does.
    void setHeader(std::vector<std::string> header);
    // Appends a row; rows shorter than the widest row are padded with empty cells.
    void addRow(std::vector<std::string> row);
    // Writes the table, each line indented by `indent` spaces, lines at most `width` columns,
    // each ending in '\n' (a width under indent + 20 leaves little of any cell).
    void write(std::ostream& out, std::size_t width = kReportWidth, std::size_t indent = 2) const;

private:
    using Block = std::pair<std::size_t, std::size_t>;  // columns [first, second)

    std::size_t columnCount() const;
    // Returns each column's width, after limiting them so that the first column and any other
    // fit in `room` columns.
    std::vector<std::size_t> columnWidths(std::size_t columns, std::size_t room) const;
    static std::vector<Block> blocks(const std::vector<std::size_t>& widths, std::size_t room);
    void writeRow(std::ostream& out, const std::vector<std::string>& row,
                  const std::vector<std::size_t>& widths, Block block, std::size_t indent) const;

    std::vector<std::string> header_;
    std::vector<std::vector<std::string>> rows_;
};

}  // namespace mining
