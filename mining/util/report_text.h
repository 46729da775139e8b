#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace mining {

// Lines of report text: shortened values, wrapped words and lists. Widths are display columns
// (display_width.h), so wide characters count twice and combining marks not at all.

// The longest value or name a report shows whole.
inline constexpr std::size_t kShownLength = 60;
// The longest table cell written whole: room for a shortened name and a few words around it.
inline constexpr std::size_t kCellLength = 80;
// The most display columns a report line takes: a line of fixed layout (the split line, the
// tree) may fill it.
inline constexpr std::size_t kReportColumns = 80;
// The width a report's wrapped text and tables keep to, two columns inside kReportColumns.
inline constexpr std::size_t kReportWidth = kReportColumns - 2;

// Returns `text` as a report shows a value or a name: unchanged when at most `length` bytes
// long, else its first `length` - 4 bytes (never ending inside a UTF-8 character) and "...",
// so that no value in the data can make a report line unreadably long. Requires length >= 4.
std::string shortForReport(std::string_view text, std::size_t length = kShownLength);

// Returns `text` shortened to at most `columns` display columns: unchanged when it fits, else
// the longest prefix that leaves room for "..." and then "..." (below 3 columns, the prefix
// alone).
std::string shortToWidth(std::string_view text, std::size_t columns);

// Returns `text` broken at spaces into lines of at most `width` columns, each ending in '\n'.
// A word longer than the width stands alone on its line.
std::string wrapWords(const std::string& text, std::size_t width = kReportWidth);

// Writes `label` followed by `items` separated by ", ", wrapped at `width` columns, continuation
// lines indented under the first item. Each item is shortened as shortForReport() does.
void writeWrappedList(std::ostream& out, const std::string& label,
                      const std::vector<std::string>& items, std::size_t width = kReportWidth);

// Returns `pieces` laid out in lines of at most `width` columns, pieces one space apart; the
// first line starts with `lead`, the others with `continuation` (each followed directly by the
// first piece on its line). A line breaks between pieces;
// a piece too wide for a line of its own breaks at its spaces, and a word too wide for a line
// at a character boundary, so every line fits as long as the leads leave a column free.
std::vector<std::string> wrapPieces(const std::vector<std::string>& pieces, std::string_view lead,
                                    std::string_view continuation,
                                    std::size_t width = kReportWidth);

// Writes each of `lines` followed by '\n'.
void writeLines(std::ostream& out, const std::vector<std::string>& lines);

}  // namespace mining
