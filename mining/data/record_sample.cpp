#include "data/record_sample.h"

#include <algorithm>
#include <cstring>
#include <random>

namespace mining {

namespace {

constexpr std::uint64_t kMinWindowBytes = 4096;
constexpr std::uint64_t kMaxStrata = 4096;

// Returns the position just after the first `lineEnd` at or after `from`, or the text's size.
std::size_t afterLineEnd(std::string_view text, std::size_t from, char lineEnd) {
    if (from >= text.size()) return text.size();
    const void* found = std::memchr(text.data() + from, lineEnd, text.size() - from);
    if (!found) return text.size();
    return static_cast<std::size_t>(static_cast<const char*>(found) - text.data()) + 1;
}

// Returns where stratum k of `strata` equal strata of `size` bytes begins, without overflow.
std::uint64_t stratumStart(std::uint64_t size, std::uint64_t strata, std::uint64_t k) {
    return k * (size / strata) + k * (size % strata) / strata;
}

}  // namespace

std::vector<TextRange> chooseSampleRanges(std::string_view text, std::uint64_t maxBytes,
                                          std::uint64_t seed, char lineEnd) {
    const std::uint64_t size = text.size();
    const std::uint64_t strata =
        std::clamp<std::uint64_t>(maxBytes / kMinWindowBytes, 1, kMaxStrata);
    const std::uint64_t window = maxBytes / strata;
    std::mt19937_64 random(seed);
    std::vector<TextRange> ranges;
    std::size_t covered = 0;
    for (std::uint64_t k = 0; k < strata; ++k) {
        const std::uint64_t low = stratumStart(size, strata, k);
        const std::uint64_t span = stratumStart(size, strata, k + 1) - low;
        const std::uint64_t length = std::min(window, span);
        // A plain modulo rather than a distribution, whose results differ between standard
        // libraries; its bias is below 2^-20 for any file size.
        const std::uint64_t offset = k == 0 ? 0 : low + random() % (span - length + 1);
        std::size_t begin = k == 0 ? 0 : afterLineEnd(text, offset, lineEnd);
        const std::size_t end = afterLineEnd(text, offset + length, lineEnd);
        begin = std::max(begin, covered);
        if (begin >= end) continue;
        ranges.push_back({begin, end});
        covered = end;
    }
    return ranges;
}

RecordSample::RecordSample(std::string_view source, std::vector<TextRange> ranges, char lineEnd)
    : ranges_(std::move(ranges)), lineEnd_(lineEnd) {
    for (const TextRange& range : ranges_) readBytes_ += range.end - range.begin;
    text_.reserve(readBytes_ + ranges_.size());
    for (const TextRange& range : ranges_) {
        starts_.push_back(text_.size());
        text_.append(source.substr(range.begin, range.end - range.begin));
        if (text_.empty() || text_.back() != lineEnd_) text_.push_back(lineEnd_);
    }
}

// Line ends are counted as the reader counts them: '\n', and in a text whose lines end with a
// carriage return alone also a '\r' not followed by '\n'.
std::size_t RecordSample::lineStart(std::size_t line) const {
    std::size_t seen = 1;
    for (std::size_t i = 0; i < text_.size() && seen < line; ++i) {
        const bool lone =
            lineEnd_ == '\r' && text_[i] == '\r' && (i + 1 == text_.size() || text_[i + 1] != '\n');
        if (text_[i] == '\n' || lone) {
            ++seen;
            if (seen == line) return i + 1;
        }
    }
    return 0;
}

std::string RecordSample::nameLine(std::size_t line, std::uint64_t offsetBase,
                                   std::size_t linesBefore) const {
    const std::size_t at = lineStart(line);
    const auto next = std::upper_bound(starts_.begin(), starts_.end(), at);
    const std::size_t k =
        next == starts_.begin() ? 0 : static_cast<std::size_t>(next - starts_.begin()) - 1;
    if (ranges_.empty() || ranges_[k].begin == 0)
        return "line " + std::to_string(linesBefore + line);
    const std::uint64_t offset = offsetBase + ranges_[k].begin + (at - starts_[k]);
    return "the record at byte offset " + std::to_string(offset);
}

}  // namespace mining
