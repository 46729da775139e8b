#include "data/reader.h"

#include <sys/stat.h>

#include "data/dataset_builder.h"
#include "data/mapped_file.h"
#include "data/names_file.h"
#include "data/text_fields.h"

namespace mining {

namespace {

Result<Dataset> parseWith(std::string_view data, const std::optional<std::string_view>& namesText,
                          const std::string& dataName, const std::string& namesName,
                          std::size_t threads, const ReleaseCallback& release) {
    std::optional<NamesFile> names;
    if (namesText) {
        Result<NamesFile> parsed = parseNames(*namesText, namesName);
        if (!parsed) return Result<Dataset>::failure(parsed.error());
        names = std::move(parsed.value());
    }
    return DatasetBuilder::build(data, names ? &*names : nullptr, dataName, namesName, threads,
                                 release);
}

}  // namespace

Result<Dataset> parseDataset(std::string_view data, std::optional<std::string_view> names,
                             const std::string& dataName, const std::string& namesName,
                             std::size_t threads) {
    return parseWith(data, names, dataName, namesName, threads, nullptr);
}

Result<Dataset> readDataset(const std::string& base) {
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
    return parseWith(text, namesView, dataPath, namesPath, 0,
                     [&file, skipped](std::size_t begin, std::size_t end) {
                         file.release(skipped + begin, skipped + end, kReleaseStep);
                     });
}

}  // namespace mining
