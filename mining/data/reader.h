#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "data/dataset.h"
#include "util/result.h"

namespace mining {

// Reads BASE.data and, when it exists, BASE.names.
//
// .data: one record a line, fields separated by commas with surrounding spaces and tabs ignored,
// the class in the last field; '...' or "..." quote a value that holds commas; '?' is missing;
// blank lines are skipped; CR LF, lines ended by a carriage return alone and a leading UTF-8
// byte-order mark are accepted; a NUL byte is an error (a binary or UTF-16 file); at most 100000
// attributes.
// .names (C4.5): first the class values, then one line per attribute: `name: continuous.`,
// `name: v1, v2, v3.` or `name: ignore.`; '|' starts a comment.
// Without .names: the class is the last field, a column whose every present value is a number is
// numeric and any other nominal, attributes are named a1, a2, ..., and nominal and class values
// are coded in order of first appearance.
//
// Returns the data set, or an error naming the file and, for a bad record, its line number:
// a record with the wrong number of fields, a non-number in a numeric attribute, a value not
// listed in .names, an unreadable file, a file with no records. Records whose class is missing
// are left out and counted. Never crashes, whatever the bytes.
Result<Dataset> readDataset(const std::string& base);

// As readDataset, but from text in memory: `data` is the .data content, `names` the .names
// content or nullopt when there is none. `dataName` and `namesName` name the sources in error
// messages and in Dataset::dataPath()/namesPath(). `threads` parts of the text are parsed at
// once (0: as many as the size and the machine suit); the result does not depend on it.
Result<Dataset> parseDataset(std::string_view data, std::optional<std::string_view> names,
                             const std::string& dataName = "data",
                             const std::string& namesName = "names", std::size_t threads = 0);

}  // namespace mining
