#include "data/data_folder.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <vector>

namespace mining {

namespace {

namespace fs = std::filesystem;

bool endsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

std::string lowered(std::string_view text) {
    std::string low(text);
    for (char& c : low) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return low;
}

// Returns the suffix of `name` that names a format, in lower case, or "" when none does.
std::string formatSuffix(const std::string& name) {
    DataFormat format = DataFormat::Records;
    if (!formatOfSuffix(name, format)) return "";
    return lowered(std::string_view(name).substr(baseOfPath(name).size()));
}

// The files of a folder sorted into data files and names files, by name.
struct FolderFiles {
    std::vector<std::string> data;
    std::vector<std::string> names;
};

// Lists the files of `folder` that listDataFolder() looks at.
Status listFiles(const std::string& folder, FolderFiles& files) {
    std::error_code error;
    fs::directory_iterator it(folder, error);
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
        const std::string name = it->path().filename().string();
        std::error_code ignored;
        if (name.empty() || name[0] == '.' || !it->is_regular_file(ignored) ||
            isRunOutputName(name))
            continue;
        (endsWith(lowered(name), ".names") ? files.names : files.data).push_back(name);
    }
    if (error)
        return Status::failure("cannot read " + folder + ": " + error.message(), ErrorKind::Io);
    std::sort(files.data.begin(), files.data.end());
    std::sort(files.names.begin(), files.names.end());
    return Status();
}

// Returns the names file of a folder of .data files (see listDataFolder).
Result<std::string> namesFileOf(const std::string& folder, const std::vector<std::string>& names) {
    std::vector<std::string> candidates;
    for (const std::string& name : names) candidates.push_back(folder + "/" + name);
    std::error_code error;
    if (fs::is_regular_file(folder + ".names", error)) candidates.push_back(folder + ".names");
    if (candidates.size() > 1)
        return Result<std::string>::failure("two names files for the data files of " + folder +
                                                ": " + candidates[0] + " and " + candidates[1] +
                                                "; keep one",
                                            ErrorKind::Usage);
    return candidates.empty() ? std::string() : candidates.front();
}

}  // namespace

bool isRunOutputName(std::string_view name) {
    if (name.find(".tmp-") != std::string_view::npos) return true;
    const std::string low = lowered(name);
    for (const std::string_view end : {".output", ".model", ".sql", "_predictions.csv"})
        if (endsWith(low, end)) return true;
    return false;
}

Status listDataFolder(DataSource& source) {
    FolderFiles files;
    if (Status listed = listFiles(source.path, files); !listed) return listed;
    const auto known =
        std::find_if(files.data.begin(), files.data.end(),
                     [](const std::string& name) { return !formatSuffix(name).empty(); });
    if (known == files.data.end())
        return Status::failure(
            source.path + ": the folder holds no data file (.data, .csv, .tsv, .txt or .arff)");
    const std::string suffix = formatSuffix(*known);
    for (const std::string& name : files.data)
        if (formatSuffix(name) != suffix)
            return Status::failure(
                source.path + " holds files of different kinds: " + std::min(name, *known) +
                    " and " + std::max(name, *known) +
                    "; the data files of a folder must all be .data, or all .csv, .tsv, .txt "
                    "or .arff",
                ErrorKind::Usage);
    formatOfSuffix(files.data.front(), source.format);
    source.shards.clear();
    for (const std::string& name : files.data) source.shards.push_back(source.path + "/" + name);
    source.namesPath.clear();
    if (source.format == DataFormat::Records) {
        Result<std::string> names = namesFileOf(source.path, files.names);
        if (!names) return Status::failure(names.error(), names.kind());
        source.namesPath = std::move(names.value());
    }
    return Status();
}

bool sourceBytes(const DataSource& source, std::uint64_t& bytes) {
    bytes = 0;
    std::error_code error;
    if (!source.folder) {
        bytes = fs::file_size(source.path, error);
        return !error;
    }
    for (const std::string& shard : source.shards) {
        bytes += fs::file_size(shard, error);
        if (error) return false;
    }
    return true;
}

}  // namespace mining
