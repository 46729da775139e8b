#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mining {

// Bytes [begin, end) of a text: a run of whole lines.
struct TextRange {
    std::size_t begin = 0;
    std::size_t end = 0;
};

// Returns the runs of whole lines a seeded sample of about `maxBytes` bytes of `text` reads, in
// text order, none overlapping another. The text is cut into equal strata (up to 4096, each
// window at least 4 KiB unless maxBytes is smaller); each stratum gets a window of maxBytes /
// strata bytes at an offset drawn from std::mt19937_64 seeded with `seed`, in stratum order, and
// its run holds the lines whose preceding line end lies in the window. The first stratum's window
// starts at the text's start and its run also holds the first line. `lineEnd` is the byte that
// ends lines ('\n', or '\r' in a text whose lines end with a carriage return alone). Only bytes
// near the windows are looked at. Requires 0 < maxBytes < text.size().
std::vector<TextRange> chooseSampleRanges(std::string_view text, std::uint64_t maxBytes,
                                          std::uint64_t seed, char lineEnd);

// The lines of some runs of a source text gathered into one text, each run ended by a line end,
// to be read as a whole .data text is.
class RecordSample {
public:
    // Copies `ranges` (in order, not overlapping) of `source`; `lineEnd` as chooseSampleRanges.
    RecordSample(std::string_view source, std::vector<TextRange> ranges, char lineEnd);

    std::string_view text() const { return text_; }
    // The bytes of the source the runs hold.
    std::uint64_t readBytes() const { return readBytes_; }

    // Names where line `line` (1-based) of text() lies in the source, for an error message:
    // "line N" when it is in a run that starts at the source's start (its lines are numbered as
    // in the source), else "the record at byte offset X", X counted from the source's start
    // plus `offsetBase` (a byte-order mark skipped before the source, say). `linesBefore` lines
    // of the file come before the source (a header line, say).
    std::string nameLine(std::size_t line, std::uint64_t offsetBase,
                         std::size_t linesBefore = 0) const;

private:
    std::size_t lineStart(std::size_t line) const;

    std::string text_;
    std::vector<TextRange> ranges_;
    std::vector<std::size_t> starts_;  // where each run begins in text_
    char lineEnd_;
    std::uint64_t readBytes_ = 0;
};

}  // namespace mining
