#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "data/data_source.h"
#include "util/result.h"

namespace mining {

// Returns true when `name` (a file name, no folder) is one that a run writes rather than reads:
// a report (*.output), a saved model (*.model), an SQL script (*.sql), a predictions table
// (*_predictions.csv), or the temporary file of one of them (NAME.tmp-...).
bool isRunOutputName(std::string_view name);

// Lists the data files of the folder `source` names (source.folder): its regular files, in byte
// order of their names, leaving out hidden files (a leading '.'), the files a run writes
// (isRunOutputName) and .names files; subfolders are not looked into. Sets source.shards, the
// format their suffix names and, for .data files, source.namesPath: the one .names file in the
// folder, else FOLDER.names beside the folder when it exists, else "".
// Fails with a usage error naming two files when the data files are not all of one suffix (any
// case) or when there are two candidates for the names file; with a data error when the folder
// holds no data file; with an I/O error when it cannot be listed.
Status listDataFolder(DataSource& source);

// Returns the bytes of the data a source holds: the file's size, or the sum of the sizes of a
// folder's data files; false when a size cannot be had.
bool sourceBytes(const DataSource& source, std::uint64_t& bytes);

}  // namespace mining
