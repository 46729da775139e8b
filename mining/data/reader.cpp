#include "data/reader.h"

#include <sys/stat.h>

#include <cmath>
#include <vector>

#include "data/dataset_builder.h"
#include "data/mapped_file.h"
#include "data/names_file.h"
#include "data/record_sample.h"
#include "data/text_fields.h"

namespace mining {

namespace {

Result<Dataset> parseWith(std::string_view data, const std::optional<std::string_view>& namesText,
                          const std::string& dataName, const std::string& namesName,
                          std::size_t threads, const ReleaseCallback& release,
                          const LineNamer& namer = {}) {
    std::optional<NamesFile> names;
    if (namesText) {
        Result<NamesFile> parsed = parseNames(*namesText, namesName);
        if (!parsed) return Result<Dataset>::failure(parsed.error());
        names = std::move(parsed.value());
    }
    return DatasetBuilder::build(data, names ? &*names : nullptr, dataName, namesName, threads,
                                 release, namer);
}

// Records what part of a file of `fileBytes` bytes (after a byte-order mark) `read` holds.
void noteSample(Result<Dataset>& read, bool sampled, std::uint64_t fileBytes,
                std::uint64_t readBytes) {
    if (!read) return;
    const std::uint64_t records = read->recordCount() + read->missingClassCount();
    SampleInfo info{sampled, fileBytes, readBytes, records};
    if (readBytes > 0 && readBytes != fileBytes)
        info.estimatedRecords = static_cast<std::uint64_t>(
            std::llround(static_cast<double>(records) * static_cast<double>(fileBytes) /
                         static_cast<double>(readBytes)));
    read->setSample(info);
}

// Reads a seeded sample of about limits.maxBytes bytes of `text`, the file's bytes after the
// `skipped` bytes of a byte-order mark. Only the pages near the sampled lines are touched.
Result<Dataset> readSample(const MappedFile& file, std::size_t skipped,
                           const std::optional<std::string_view>& namesText,
                           const std::string& dataPath, const std::string& namesPath,
                           const ReadLimits& limits) {
    const std::string_view text = file.text().substr(skipped);
    const char lineEnd = endsLinesWithCarriageReturns(text) ? '\r' : '\n';
    file.adviseScattered();
    std::vector<TextRange> ranges = chooseSampleRanges(text, limits.maxBytes, limits.seed, lineEnd);
    for (const TextRange& range : ranges) file.willNeed(skipped + range.begin, skipped + range.end);
    const RecordSample sample(text, std::move(ranges), lineEnd);
    // The sampled lines are copied out: the file's pages can go before they are parsed.
    file.release(0, file.text().size(), 0);
    const LineNamer namer = [&sample, skipped](std::size_t line) {
        return sample.nameLine(line, skipped);
    };
    Result<Dataset> read =
        parseWith(sample.text(), namesText, dataPath, namesPath, 0, nullptr, namer);
    noteSample(read, true, text.size(), sample.readBytes());
    return read;
}

}  // namespace

Result<Dataset> parseDataset(std::string_view data, std::optional<std::string_view> names,
                             const std::string& dataName, const std::string& namesName,
                             std::size_t threads) {
    Result<Dataset> read = parseWith(data, names, dataName, namesName, threads, nullptr);
    const std::uint64_t size = skipByteOrderMark(data).size();
    noteSample(read, false, size, size);
    return read;
}

Result<Dataset> readDataset(const std::string& base, const ReadLimits& limits) {
    const std::string dataPath = base + ".data";
    const std::string namesPath = base + ".names";
    std::optional<std::string> namesText;
    struct stat info {};
    if (stat(namesPath.c_str(), &info) == 0) {
        std::string content;
        std::string error;
        if (!readWholeFile(namesPath, content, error)) return Result<Dataset>::failure(error);
        namesText = std::move(content);
    }
    MappedFile file;
    std::string error;
    if (!file.open(dataPath, error)) return Result<Dataset>::failure(error);
    std::optional<std::string_view> namesView;
    if (namesText) namesView = *namesText;
    const std::string_view text = file.text();
    // Offsets reported by the parser are within the text after a byte-order mark.
    const std::size_t skipped = text.size() - skipByteOrderMark(text).size();
    const std::uint64_t size = text.size() - skipped;
    if (limits.maxBytes > 0 && size > limits.maxBytes)
        return readSample(file, skipped, namesView, dataPath, namesPath, limits);
    Result<Dataset> read = parseWith(text, namesView, dataPath, namesPath, 0,
                                     [&file, skipped](std::size_t begin, std::size_t end) {
                                         file.release(skipped + begin, skipped + end, kReleaseStep);
                                     });
    noteSample(read, false, size, size);
    return read;
}

}  // namespace mining
