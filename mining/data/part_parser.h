#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "data/line_parser.h"
#include "data/numeric_column.h"
#include "data/record_layout.h"
#include "data/value_coder.h"

namespace mining {

// Bytes a part reads before it lets the owner of the text drop them from memory again.
inline constexpr std::size_t kReleaseStep = std::size_t{16} << 20;

// Tells the owner of the text that a part is done with bytes [begin, end) and reads on from
// `end`, so it can drop the first from memory and map what follows ahead of use.
using ReleaseCallback = std::function<void(std::size_t begin, std::size_t end)>;

// The columns one part of the text fills, coded by that part's own value lists.
struct PartColumns {
    std::vector<NumericColumn> numeric;              // per attribute; numeric ones filled
    std::vector<std::vector<std::int32_t>> nominal;  // per attribute; nominal ones filled
    std::vector<std::vector<std::string>> values;    // per attribute: the nominal values
    std::vector<std::string> classValues;
    std::vector<std::int32_t> classes;
    std::size_t missingClassCount = 0;
};

enum class PartOutcome { Done, Restart, Failed };

// Reads one run of whole lines of a .data text into its own columns.
class PartParser {
public:
    // `text` is the run, starting `offset` bytes into the whole text (for the release
    // callback, which may be empty). Columns are reserved for `reserveFor` bytes of text: the
    // first part reserves for the whole file, so that the others are appended to it without
    // moving it (reserved memory costs nothing until it is written). Requires `layout` and
    // `release` to outlive the parser.
    PartParser(const RecordLayout& layout, std::string_view text, std::size_t offset,
               std::size_t reserveFor, const ReleaseCallback& release);
    PartParser(const PartParser&) = delete;
    PartParser& operator=(const PartParser&) = delete;

    // Reads the lines until the end of the run or the first that fails or restarts.
    void run();

    PartOutcome outcome() const { return outcome_; }
    // After Failed: the message without its file and line.
    const std::string& error() const { return lines_.error(); }
    // After Failed: the line within this part.
    std::size_t errorLine() const { return lineCount_; }
    // After Restart: the column that turned out not to be numeric.
    std::size_t restartColumn() const { return lines_.restartColumn(); }
    // Returns the lines read; when done, every line of the part.
    std::size_t lineCount() const { return lineCount_; }
    // The columns read, for the caller to take.
    PartColumns& columns() { return columns_; }

private:
    void reserve(std::size_t reserveFor);
    void keep(const std::vector<Cell>& cells);
    bool readLine(std::string_view line);

    const RecordLayout& layout_;
    std::string_view text_;
    std::size_t offset_;
    const ReleaseCallback& release_;
    PartColumns columns_;
    std::vector<ValueCoder> coders_;  // point into columns_.values and columns_.classValues
    LineParser lines_;
    PartOutcome outcome_ = PartOutcome::Done;
    std::size_t lineCount_ = 0;
};

// Returns up to `count` runs [begin, end) of whole lines that together cover `text` in order;
// one empty run for an empty text.
std::vector<std::pair<std::size_t, std::size_t>> splitAtLines(std::string_view text,
                                                              std::size_t count);

}  // namespace mining
