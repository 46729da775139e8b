#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace mining {

// A table of text cells laid out in columns for a plain-text report.
//
// Columns are as wide as their widest cell; the first column is left-aligned, the others
// right-aligned, two spaces apart. When the table is wider than `width`, the first column is
// repeated and the other columns are written in consecutive blocks that each fit (a single
// column wider than the width stands alone), so 60 attributes or 10 classes stay readable.
class TextTable {
public:
    // Sets the header row (may be left empty for a table without one). A cell of it or of the
    // rows longer than kCellLength is shortened as shortForReport() does.
    void setHeader(std::vector<std::string> header);
    // Appends a row; rows shorter than the widest row are padded with empty cells.
    void addRow(std::vector<std::string> row);
    // Writes the table, each line indented by `indent` spaces, lines at most `width` columns
    // where possible, each ending in '\n'.
    void write(std::ostream& out, std::size_t width = 78, std::size_t indent = 2) const;

private:
    std::vector<std::string> header_;
    std::vector<std::vector<std::string>> rows_;
};

// The longest value or name a report shows whole.
inline constexpr std::size_t kShownLength = 60;
// The longest table cell written whole: room for a shortened name and a few words around it.
inline constexpr std::size_t kCellLength = 80;

// Returns `text` as a report shows a value or a name: unchanged when at most `length` bytes
// long, else its first `length` - 4 bytes (never ending inside a UTF-8 character) and "...",
// so that no value in the data can make a report line unreadably long. Requires length >= 4.
std::string shortForReport(std::string_view text, std::size_t length = kShownLength);

// The width a report's lines keep to.
inline constexpr std::size_t kReportWidth = 78;

// Returns `text` broken at spaces into lines of at most `width` columns, each ending in '\n'.
// A word longer than the width stands alone on its line.
std::string wrapWords(const std::string& text, std::size_t width = kReportWidth);

// Writes `label` followed by `items` separated by ", ", wrapped at `width` columns, continuation
// lines indented under the first item. Each item is shortened as shortForReport() does.
void writeWrappedList(std::ostream& out, const std::string& label,
                      const std::vector<std::string>& items, std::size_t width = kReportWidth);

// Returns `value` formatted with `decimals` fraction digits ("%.*f"), "-0.00" written "0.00".
std::string formatFixed(double value, int decimals);

// Returns `value` in at most `significant` significant digits ("%.*g").
std::string formatGeneral(double value, int significant = 6);

}  // namespace mining
