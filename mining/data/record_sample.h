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

// Where a sample looks within one stratum of a text: `length` bytes from `offset`.
struct SampleWindow {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
};

// Returns the windows of a seeded sample of about `maxBytes` bytes of a text of `size` bytes,
// one per stratum, in text order. The text is cut into equal strata (up to 4096, each window at
// least 4 KiB unless maxBytes is smaller); each stratum gets a window of maxBytes / strata bytes
// at an offset drawn from std::mt19937_64 seeded with `seed`, in stratum order; the first
// stratum's window starts at the text's start. Every window lies within its stratum. Reads
// nothing of the text. Requires 0 < maxBytes < size.
std::vector<SampleWindow> planSampleWindows(std::uint64_t size, std::uint64_t maxBytes,
                                            std::uint64_t seed);

// Returns the run of whole lines of `text` that `window` reads: the lines whose preceding line
// end lies in the window, and with `first` (the first stratum's window) also the first line.
// Empty (begin == end) when that holds no line. The windows of planSampleWindows() give runs
// that never overlap. `lineEnd` is the byte that ends lines ('\n', or '\r' in a text whose lines
// end with a carriage return alone). Only bytes near the window's ends are looked at.
TextRange sampleRange(std::string_view text, const SampleWindow& window, bool first, char lineEnd);

// Returns the non-empty runs of the windows of planSampleWindows(text.size(), maxBytes, seed),
// in text order. Requires 0 < maxBytes < text.size().
std::vector<TextRange> chooseSampleRanges(std::string_view text, std::uint64_t maxBytes,
                                          std::uint64_t seed, char lineEnd);

// Returns 0 .. count - 1 in an order whose every prefix is spread over the whole range: the
// bit-reversed order of the numbers below the next power of two, those from `count` on left out
// (0, 4, 2, 6, 1, 5, 3 for 7).
std::vector<std::size_t> spreadOrder(std::size_t count);

// The fewest bytes of windows a group of strata holds, and the most groups a sample is read in
// (see groupStrata).
inline constexpr std::uint64_t kSampleGroupBytes = std::uint64_t{4} << 20;
inline constexpr std::size_t kMaxSampleGroups = 64;

// Returns the groups of consecutive strata that `windows` (planSampleWindows) are read in, as
// the first stratum of each group followed by windows.size(): as many equal groups as give each
// at least `groupBytes` bytes of windows, at most kMaxSampleGroups, at least one. Each group is
// read by a reader of its own, whose value lists are joined at the end: few enough that the
// join stays small, enough that a deadline can stop the reading between them.
std::vector<std::size_t> groupStrata(const std::vector<SampleWindow>& windows,
                                     std::uint64_t groupBytes = kSampleGroupBytes);

// The lines of some runs of a source text, in order, as the reader reads them: one text of the
// runs' lines, each run ended by a line end.
class RecordSample {
public:
    // `ranges` (in order, not overlapping) of `source`, which must outlive the object; `lineEnd`
    // as sampleRange.
    RecordSample(std::string_view source, std::vector<TextRange> ranges, char lineEnd);

    const std::vector<TextRange>& ranges() const { return ranges_; }
    // The bytes of the source the runs hold.
    std::uint64_t readBytes() const { return readBytes_; }

    // Returns the runs' lines gathered into one text, each run ended by a line end.
    std::string gather() const;

    // Names where line `line` (1-based) of the gathered text lies in the source, for an error
    // message: "line N" when it is in a run that starts at the source's start (its lines are
    // numbered as in the source), else "the record at byte offset X", X counted from the
    // source's start plus `offsetBase` (a byte-order mark skipped before the source, say).
    // `linesBefore` lines of the file come before the source (a header line, say).
    std::string nameLine(std::size_t line, std::uint64_t offsetBase,
                         std::size_t linesBefore = 0) const;

private:
    // Where a line starts: run `range`, `offset` bytes into it.
    struct Place {
        std::size_t range = 0;
        std::size_t offset = 0;
    };
    Place lineStart(std::size_t line) const;
    bool endsWithLineEnd(const TextRange& range) const;

    std::string_view source_;
    std::vector<TextRange> ranges_;
    char lineEnd_;
    std::uint64_t readBytes_ = 0;
};

}  // namespace mining
