#include "data/record_sample.h"

#include <algorithm>
#include <bit>
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

std::vector<SampleWindow> planSampleWindows(std::uint64_t size, std::uint64_t maxBytes,
                                            std::uint64_t seed) {
    const std::uint64_t strata =
        std::clamp<std::uint64_t>(maxBytes / kMinWindowBytes, 1, kMaxStrata);
    const std::uint64_t window = maxBytes / strata;
    std::mt19937_64 random(seed);
    std::vector<SampleWindow> windows;
    windows.reserve(strata);
    for (std::uint64_t k = 0; k < strata; ++k) {
        const std::uint64_t low = stratumStart(size, strata, k);
        const std::uint64_t span = stratumStart(size, strata, k + 1) - low;
        const std::uint64_t length = std::min(window, span);
        // A plain modulo rather than a distribution, whose results differ between standard
        // libraries; its bias is below 2^-20 for any file size.
        const std::uint64_t offset = k == 0 ? 0 : low + random() % (span - length + 1);
        windows.push_back({offset, length});
    }
    return windows;
}

TextRange sampleRange(std::string_view text, const SampleWindow& window, bool first, char lineEnd) {
    // A window ends where its stratum does at the latest and the next one starts no earlier,
    // so a run ends at or before the next run begins.
    const std::size_t begin = first ? 0 : afterLineEnd(text, window.offset, lineEnd);
    const std::size_t end = afterLineEnd(text, window.offset + window.length, lineEnd);
    return {begin, std::max(begin, end)};
}

std::vector<TextRange> chooseSampleRanges(std::string_view text, std::uint64_t maxBytes,
                                          std::uint64_t seed, char lineEnd) {
    const std::vector<SampleWindow> windows = planSampleWindows(text.size(), maxBytes, seed);
    std::vector<TextRange> ranges;
    for (std::size_t k = 0; k < windows.size(); ++k) {
        const TextRange range = sampleRange(text, windows[k], k == 0, lineEnd);
        if (range.begin < range.end) ranges.push_back(range);
    }
    return ranges;
}

std::vector<std::size_t> spreadOrder(std::size_t count) {
    std::vector<std::size_t> order;
    order.reserve(count);
    const std::size_t all = std::bit_ceil(std::max<std::size_t>(count, 1));
    const int bits = std::countr_zero(all);
    for (std::size_t i = 0; i < all; ++i) {
        std::size_t reversed = 0;
        for (int b = 0; b < bits; ++b) reversed |= ((i >> b) & 1) << (bits - 1 - b);
        if (reversed < count) order.push_back(reversed);
    }
    return order;
}

std::vector<std::size_t> groupStrata(const std::vector<SampleWindow>& windows,
                                     std::uint64_t groupBytes) {
    std::uint64_t bytes = 0;
    for (const SampleWindow& w : windows) bytes += w.length;
    const std::uint64_t most = std::min<std::uint64_t>(kMaxSampleGroups, windows.size());
    const std::uint64_t groups = std::clamp<std::uint64_t>(
        bytes / std::max<std::uint64_t>(groupBytes, 1), 1, std::max<std::uint64_t>(most, 1));
    std::vector<std::size_t> firsts;
    for (std::uint64_t g = 0; g < groups; ++g)
        firsts.push_back(static_cast<std::size_t>(stratumStart(windows.size(), groups, g)));
    firsts.push_back(windows.size());
    return firsts;
}

RecordSample::RecordSample(std::string_view source, std::vector<TextRange> ranges, char lineEnd)
    : source_(source), ranges_(std::move(ranges)), lineEnd_(lineEnd) {
    for (const TextRange& range : ranges_) readBytes_ += range.end - range.begin;
}

bool RecordSample::endsWithLineEnd(const TextRange& range) const {
    return range.end > range.begin && source_[range.end - 1] == lineEnd_;
}

std::string RecordSample::gather() const {
    std::string text;
    text.reserve(readBytes_ + ranges_.size());
    for (const TextRange& range : ranges_) {
        text.append(source_.substr(range.begin, range.end - range.begin));
        if (!endsWithLineEnd(range)) text.push_back(lineEnd_);
    }
    return text;
}

// Line ends are counted as the reader counts them in the gathered text: '\n', and in a text
// whose lines end with a carriage return alone also a '\r' not followed by '\n'. Each run is
// read where it lies, with the line end gather() adds after a run that lacks one.
RecordSample::Place RecordSample::lineStart(std::size_t line) const {
    std::size_t seen = 1;
    for (std::size_t k = 0; k < ranges_.size() && seen < line; ++k) {
        const std::string_view run =
            source_.substr(ranges_[k].begin, ranges_[k].end - ranges_[k].begin);
        const std::size_t size = run.size() + (endsWithLineEnd(ranges_[k]) ? 0 : 1);
        const char following = k + 1 < ranges_.size() ? source_[ranges_[k + 1].begin] : '\0';
        for (std::size_t i = 0; i < size; ++i) {
            if (lineEnd_ == '\n' && i < run.size()) {
                const void* nl = std::memchr(run.data() + i, '\n', run.size() - i);
                i = nl ? static_cast<std::size_t>(static_cast<const char*>(nl) - run.data())
                       : run.size();
                if (i == size) break;
            }
            const char c = i < run.size() ? run[i] : lineEnd_;
            const char next = i + 1 < run.size() ? run[i + 1] : i + 1 < size ? lineEnd_ : following;
            const bool lone = lineEnd_ == '\r' && c == '\r' && next != '\n';
            if (c != '\n' && !lone) continue;
            if (++seen == line) return i + 1 < size ? Place{k, i + 1} : Place{k + 1, 0};
        }
    }
    return {};
}

std::string RecordSample::nameLine(std::size_t line, std::uint64_t offsetBase,
                                   std::size_t linesBefore) const {
    const Place at = lineStart(line);
    if (ranges_.empty() || at.range >= ranges_.size() || ranges_[at.range].begin == 0)
        return "line " + std::to_string(linesBefore + line);
    const std::uint64_t offset = offsetBase + ranges_[at.range].begin + at.offset;
    return "the record at byte offset " + std::to_string(offset);
}

}  // namespace mining
