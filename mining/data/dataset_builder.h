#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "data/dataset.h"
#include "data/names_file.h"
#include "data/part_parser.h"
#include "data/record_layout.h"
#include "util/result.h"

namespace mining {

// Fills a Dataset from the text of a .data file and the parsed .names file, if any: settles the
// layout, then reads the text in parts at once, each part straight into its rows of the final
// columns, and joins the parts' value lists.
class DatasetBuilder {
public:
    // Returns the data set `text` holds, read against `names` when it is not null (else with
    // types guessed from the data), or the first error in file order, naming `dataName` and the
    // line. A leading byte-order mark is skipped and lines ended by a carriage return alone are
    // accepted. `threads` parts of the text are read at once (0: as many as the size and the
    // machine suit); the result does not depend on it. `release` (may be empty) is told which
    // bytes, counted after a byte-order mark, each part is done with. `namer` (may be empty:
    // "line N") names where a failing line lies in the file.
    static Result<Dataset> build(std::string_view text, const NamesFile* names,
                                 const std::string& dataName, const std::string& namesName,
                                 std::size_t threads, const ReleaseCallback& release,
                                 const LineNamer& namer = {});

    // As build(), for a text without byte-order mark read against `layout` (whose names, when
    // not null, must outlive the call).
    static Result<Dataset> buildWith(std::string_view text, RecordLayout layout,
                                     std::size_t threads, const ReleaseCallback& release,
                                     const LineNamer& namer = {});

private:
    using Parts = std::vector<std::unique_ptr<PartParser>>;

    static Result<Dataset> readParts(std::string_view text, RecordLayout& layout,
                                     std::size_t threads, const ReleaseCallback& release,
                                     const LineNamer& namer);
    static Result<Dataset> finish(const RecordLayout& layout, Parts& parts, SharedColumns& columns);
    static void joinColumn(const RecordLayout& layout, std::size_t column, Parts& parts,
                           SharedColumns& columns, Dataset& data);
};

}  // namespace mining
