#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "data/dataset.h"
#include "util/result.h"

// Checks shared by the fuzz targets. A failed check prints what was wrong and aborts, so that
// the fuzzer keeps the input as a crash.

namespace fuzz {

// Prints "fuzz check failed: <what>" and `detail` on stderr and aborts.
[[noreturn]] void fail(const std::string& what, const std::string& detail = "");

// Aborts unless `message` is one non-empty line of printable text (no byte below 0x20 and no
// DEL), as the programs' error contract promises: it becomes the report's first line.
void checkMessage(const std::string& message);

// Aborts unless `data` is consistent: every kept column has recordCount() entries, every code
// indexes its value list (or is kMissingCode for an attribute), every class code indexes the
// class values, no present numeric value is NaN, and there is at least one record.
void checkDataset(const mining::Dataset& data);

// Aborts unless `a` and `b` are the same outcome: the same error message, or data sets with the
// same attributes, values, classes, codes and numbers (NaN equal to NaN). `what` names the two
// in the failure message.
void checkSame(const mining::Result<mining::Dataset>& a, const mining::Result<mining::Dataset>& b,
               const std::string& what);

// Reads `text` as a file of `format` (mining::DataFormat) with default options on one thread
// and on several: each read must give a consistent data set or a one-line error, and both the
// same.
void checkFormatRead(std::string_view text, int format);

// Aborts unless the two paths of the line parser agree: every line of `text` that the plain
// path accepts, the full rules read as a record with the same cells (the layout guessed from the
// first record, value lists open, each line read afresh). Checks the first lines only, up to
// about 100000 fields in all.
void checkLinePaths(std::string_view text);

// The fuzz input cut at its first NUL byte: the text before it, and the text after it when
// there is a NUL.
struct Parts {
    std::string_view first;
    std::optional<std::string_view> second;
};
Parts splitAtNul(const std::uint8_t* bytes, std::size_t size);

}  // namespace fuzz
