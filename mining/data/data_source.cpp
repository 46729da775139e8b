#include "data/data_source.h"

#include <sys/stat.h>

#include <array>
#include <cctype>
#include <utility>

namespace mining {

namespace {

// The suffixes the programs read, in the order a BASE looks for them.
constexpr std::array<std::pair<std::string_view, DataFormat>, 5> kSuffixes = {{
    {".data", DataFormat::Records},
    {".csv", DataFormat::Delimited},
    {".tsv", DataFormat::Delimited},
    {".txt", DataFormat::Delimited},
    {".arff", DataFormat::Arff},
}};

bool endsWithIgnoringCase(std::string_view text, std::string_view suffix) {
    if (text.size() < suffix.size()) return false;
    const std::string_view end = text.substr(text.size() - suffix.size());
    for (std::size_t i = 0; i < suffix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(end[i])) != suffix[i]) return false;
    return true;
}

// Returns the length of the known suffix `path` ends with (0 when none). A suffix alone, with
// no name before it in its folder, is a name rather than a suffix.
std::size_t suffixLength(std::string_view path, DataFormat* format) {
    for (const auto& [suffix, f] : kSuffixes) {
        if (!endsWithIgnoringCase(path, suffix)) continue;
        const std::size_t stem = path.size() - suffix.size();
        if (stem == 0 || path[stem - 1] == '/') return 0;
        if (format != nullptr) *format = f;
        return suffix.size();
    }
    return 0;
}

bool isFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

bool isFolder(const std::string& path) {
    struct stat info {};
    return !path.empty() && stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Returns `path` without the '/' at its end ("/" stays as it is).
std::string withoutTrailingSlashes(const std::string& path) {
    std::size_t end = path.size();
    while (end > 1 && path[end - 1] == '/') --end;
    return path.substr(0, end);
}

}  // namespace

bool formatOfSuffix(std::string_view path, DataFormat& format) {
    return suffixLength(path, &format) > 0;
}

std::string baseOfPath(const std::string& path) {
    return path.substr(0, path.size() - suffixLength(path, nullptr));
}

DataSource findDataSource(const std::string& argument) {
    DataSource source;
    DataFormat format = DataFormat::Records;
    if (isFolder(argument)) {
        source.folder = true;
        source.path = withoutTrailingSlashes(argument);
        source.base = baseOfPath(source.path);
        return source;
    }
    if (formatOfSuffix(argument, format)) {
        source.path = argument;
        source.format = format;
        source.base = baseOfPath(argument);
    } else {
        source.base = argument;
        source.path = argument + ".data";
        if (!isFile(source.path)) {
            for (const auto& [suffix, f] : kSuffixes) {
                if (isFile(argument + std::string(suffix))) {
                    source.path = argument + std::string(suffix);
                    source.format = f;
                    break;
                }
            }
        }
    }
    if (source.format == DataFormat::Records) source.namesPath = source.base + ".names";
    return source;
}

std::string formatName(DataFormat format) {
    switch (format) {
        case DataFormat::Records:
            return "records, one a line";
        case DataFormat::Delimited:
            return "delimited text";
        case DataFormat::Arff:
            return "ARFF";
    }
    return "";
}

}  // namespace mining
