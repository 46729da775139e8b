#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "data/column_vector.h"
#include "data/line_parser.h"
#include "data/numeric_slice.h"
#include "data/record_layout.h"
#include "data/value_coder.h"

namespace mining {

// Bytes a part reads before it lets the owner of the text drop them from memory again.
inline constexpr std::size_t kReleaseStep = std::size_t{16} << 20;

// Tells the owner of the text that a part is done with bytes [begin, end) and reads on from
// `end`, so it can drop the first from memory and map what follows ahead of use.
using ReleaseCallback = std::function<void(std::size_t begin, std::size_t end)>;

// One column of codes that every part writes into: one byte a row, or four when its value
// list is known to hold more values than a byte tells apart.
struct SharedCodes {
    bool narrow = true;
    ColumnVector<std::uint8_t> bytes;
    ColumnVector<std::int32_t> wide;
};

// The columns every part of a text writes into, each part into its own run of rows: per
// attribute the mantissas of a numeric one, and per attribute and then for the class the codes
// of a nominal one (none for an ignored one).
struct SharedColumns {
    std::vector<ColumnVector<std::int32_t>> numbers;
    std::vector<SharedCodes> codes;
};

// Where one part writes one column of codes: its rows of the shared column, until a code in a
// narrow one does not fit a byte; then the part's codes so far move to four-byte codes of its
// own, and the join widens the column.
class PartCodes {
public:
    PartCodes() = default;
    // Rows [firstRow, firstRow + rows) of `shared`, or nowhere when `shared` is null.
    PartCodes(SharedCodes* shared, std::size_t firstRow, std::size_t rows);

    // Writes `code` (kMissingCode when missing) to row `row`; rows are written in order.
    void set(std::size_t row, std::int32_t code) {
        if (bytes_ != nullptr) {
            if (code < static_cast<std::int32_t>(CodeColumn::kMaxByteValues)) {
                bytes_[row] = codeByte(code);
                return;
            }
            widen(row);
        }
        wide_[row] = code;
    }

    // The first `kept` rows written.
    CodeSpan written(std::size_t kept) const;
    // The part's rows: one byte a row while they lie in a narrow shared column (else null), or
    // four (else null).
    const std::uint8_t* bytes() const { return bytes_; }
    const std::int32_t* wide() const { return wide_; }
    // Returns true when the part's codes no longer lie in the shared column.
    bool own() const { return !own_.empty(); }
    // Frees the part's own codes.
    void release() { own_ = ColumnVector<std::int32_t>(); }

private:
    void widen(std::size_t rowsWritten);

    std::uint8_t* bytes_ = nullptr;
    std::int32_t* wide_ = nullptr;
    std::size_t rows_ = 0;
    ColumnVector<std::int32_t> own_;
};

enum class PartOutcome { Done, Restart, Failed };

// A run of whole lines of a text, starting `offset` bytes into the text.
struct TextPiece {
    std::string_view text;
    std::size_t offset = 0;
};

// Reads one run of whole lines of a .data text straight into its rows of the shared columns:
// numbers as its own NumericSlice of each numeric column, nominal values and classes coded by
// its own value lists (which the caller joins, recoding the rows where the lists differ).
class PartParser {
public:
    // `text` is the run, starting `offset` bytes into the whole text (for the release
    // callback, which may be empty). The part writes rows [firstRow, firstRow + rows) of
    // `columns`, which must hold that many rows; `rows` must be at least rowsNeeded() of the
    // run. Requires `layout`, `columns` and `release` to outlive the parser.
    // With `quoteAware`, a line that leaves a double-quoted field open goes on over the next
    // lines until it is closed (a quoted field may hold line ends); the run must then start at a
    // record's start.
    PartParser(const RecordLayout& layout, std::string_view text, std::size_t offset,
               const ReleaseCallback& release, SharedColumns& columns, std::size_t firstRow,
               std::size_t rows, bool quoteAware = false);
    // As above, for runs of whole lines that lie apart in the text, read one after the other as
    // if they followed each other (a run that does not end with a line end ends a line).
    PartParser(const RecordLayout& layout, std::vector<TextPiece> pieces,
               const ReleaseCallback& release, SharedColumns& columns, std::size_t firstRow,
               std::size_t rows, bool quoteAware = false);
    PartParser(const PartParser&) = delete;
    PartParser& operator=(const PartParser&) = delete;

    // Reads the lines until the end of the run or the first that fails or restarts.
    void run();

    PartOutcome outcome() const { return outcome_; }
    // After Failed: the message without its file and line.
    const std::string& error() const { return overflow_.empty() ? lines_.error() : overflow_; }
    // After Failed: the fields of a record of the wrong number of them, else 0.
    std::size_t wrongFieldCount() const { return lines_.wrongFieldCount(); }
    // After Failed: the line within this part.
    std::size_t errorLine() const { return lineCount_; }
    // After Failed: true when a line left a double-quoted field open, which a quote-aware read
    // may find closed on a later line.
    bool quoteLeftOpen() const { return quoteLeftOpen_; }
    // After Restart: the column that turned out not to be numeric.
    std::size_t restartColumn() const { return lines_.restartColumn(); }
    // Returns the lines read; when done, every line of the part.
    std::size_t lineCount() const { return lineCount_; }
    // Returns the comment lines skipped (see RecordLayout::hashComments).
    std::size_t commentCount() const { return commentCount_; }

    // What the part read, for the caller to join: records kept (rows [firstRow, firstRow +
    // kept()) hold them), records left out for a missing class, each numeric attribute's slice
    // and each nominal attribute's and the class's values in code order.
    std::size_t firstRow() const { return firstRow_; }
    std::size_t kept() const { return kept_; }
    std::size_t missingClassCount() const { return missingClassCount_; }
    NumericSlice& slice(std::size_t attribute) { return slices_[attribute]; }
    std::vector<std::string>& values(std::size_t attribute) { return values_[attribute]; }
    std::vector<std::string>& classValues() { return values_.back(); }
    // The codes the part wrote for nominal attribute `column` (the class: fieldCount - 1).
    PartCodes& codes(std::size_t column) { return codes_[column]; }
    // The missing marks other than the quiet ones that the part's records held, by column.
    const MarkTally& marks() const { return lines_.marks(); }
    // With layout.recordLines: the line within the part where each kept record starts.
    const std::vector<std::size_t>& rowLines() const { return rowLines_; }

private:
    struct RowWriter;

    bool runPiece();
    std::size_t recordEnd(std::size_t pos, std::size_t lineEnd);
    bool isComment(std::string_view line) const;
    bool readLine(std::string_view line, std::size_t firstLine);
    void keep(const std::vector<Cell>& cells, std::size_t firstLine);
    void noteLine(std::size_t line);

    const RecordLayout& layout_;
    std::vector<TextPiece> pieces_;
    std::string_view text_;  // the piece being read, `offset_` bytes into the text
    std::size_t offset_ = 0;
    const ReleaseCallback& release_;
    std::size_t firstRow_;
    std::size_t rows_;
    std::vector<NumericSlice> slices_;  // per attribute; numeric ones write
    std::vector<PartCodes> codes_;      // per attribute, then the class: the part's rows
    std::vector<std::vector<std::string>> values_;  // per attribute, then the class
    std::vector<ValueCoder> coders_;                // over values_
    LineParser lines_;
    PartOutcome outcome_ = PartOutcome::Done;
    bool quoteAware_ = false;
    bool quoteLeftOpen_ = false;
    std::size_t lineCount_ = 0;
    std::size_t commentCount_ = 0;
    std::size_t kept_ = 0;
    std::size_t missingClassCount_ = 0;
    std::vector<std::size_t> rowLines_;
    std::string overflow_;  // why the part stopped when its rows ran out
};

// Returns the rows a part of `bytes` bytes holding `lines` lines may need: no more than its
// lines, nor than the records of `fields` fields a line it could hold (each takes fields - 1
// delimiters and a line end), so that a text of blank lines cannot claim memory far beyond its
// size. Rows beyond those a part writes are never touched and cost no memory.
std::size_t rowsNeeded(std::size_t lines, std::size_t bytes, std::size_t fields);

// Returns the number of '\n' in `text`.
std::size_t countLineEnds(std::string_view text);

// Returns up to `count` runs [begin, end) of whole lines that together cover `text` in order;
// one empty run for an empty text.
std::vector<std::pair<std::size_t, std::size_t>> splitAtLines(std::string_view text,
                                                              std::size_t count);

}  // namespace mining
