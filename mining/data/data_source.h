#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "util/result.h"

namespace mining {

// How a data file is read, by its suffix (any case).
enum class DataFormat {
    Records,    // .data: one record a line, the class last; types from BASE.names or guessed
    Delimited,  // .csv, .tsv, .txt: delimited text, the delimiter found from the first lines
    Arff,       // .arff: types from its @attribute lines
};

// The data file a run reads and where its outputs go.
struct DataSource {
    std::string path;  // the data file
    DataFormat format = DataFormat::Records;
    std::string base;       // the path less its suffix: outputs go to base + "_..." names
    std::string namesPath;  // .data only: BASE.names, which is read when it exists
    // The argument names a folder: `path` and `base` are the folder (without a trailing '/'),
    // and listDataFolder() (data/data_folder.h) fills `shards` and settles the format and the
    // names file.
    bool folder = false;
    // A folder's data files, in byte order of their names, read as one table.
    std::vector<std::string> shards;
};

// Returns the format a file's suffix names, or false when it names none of them.
bool formatOfSuffix(std::string_view path, DataFormat& format);

// Returns `path` less a suffix that formatOfSuffix() knows, or `path` when it has none.
std::string baseOfPath(const std::string& path);

// Returns the source `argument` names: a file whose suffix names a format is read as that
// format; any other argument is a BASE, which names BASE.data when it exists, else the first of
// BASE.csv, BASE.tsv, BASE.txt and BASE.arff that exists, else BASE.data (whose reading then
// says it cannot be opened). A folder (a trailing '/' or not) is a source of its own: see
// DataSource::folder.
DataSource findDataSource(const std::string& argument);

// Returns one line on how the source is read, for the report: "UCI records", "delimited text",
// "ARFF".
std::string formatName(DataFormat format);

}  // namespace mining
