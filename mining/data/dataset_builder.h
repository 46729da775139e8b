#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/dataset.h"
#include "data/names_file.h"
#include "data/part_parser.h"
#include "data/record_layout.h"
#include "data/record_sample.h"
#include "util/deadline.h"
#include "util/result.h"

namespace mining {

// A seeded sample of a text to be read where its lines lie (DatasetBuilder::buildSample): what
// the reading is told, and what it tells of itself.
struct SampledText {
    std::vector<SampleWindow> windows;  // the plan, one window a stratum (planSampleWindows)
    std::uint64_t groupBytes = kSampleGroupBytes;  // see groupStrata
    std::size_t threads = 0;  // groups read at once (0: as many as the machine has cores)
    // When not null, checked before each group of strata but the first; once passed, no further
    // group is read.
    const Deadline* deadline = nullptr;
    // Asked, ahead of the reading and in its order, to bring in bytes [begin, end) of the text
    // (may be empty; `end` may lie past the text's end).
    ReleaseCallback willNeed;
    // Told of the bytes each run of lines is done with (may be empty).
    ReleaseCallback release;
    // How a failing line is named (see RecordSample::nameLine).
    std::uint64_t offsetBase = 0;
    std::size_t linesBefore = 0;

    // Set by the reading: the runs read, in text order; the strata they come from; whether the
    // deadline stopped the reading before its end.
    std::vector<TextRange> ranges;
    std::size_t strataRead = 0;
    bool cut = false;
};

// What one process of a run read of its share of a text: the records whose lines start in the
// share, read as buildWith() reads them, less what needs the whole text (the value lists
// joined, the checks that the text holds records, the notes): DatasetBuilder::joinSchemas joins
// the shares' value lists, and localise() codes each share's records by them.
struct ShareRead {
    std::optional<Dataset> data;       // the share's records, with the share's own value lists
    std::vector<AttributeType> types;  // the attributes' types the share was read with
    // The share's first failure, its line named as the whole text's; then no data. When the
    // failing record is the share's first, `firstRecordError` is the message for the text's
    // first record (see buildWith), which it is when no share before holds a record.
    std::string error;
    std::string firstRecordError;
    bool quoteLeftOpen = false;      // the failing line left a double-quoted field open
    MarkTally marks;                 // the missing marks other than the quiet ones, by column
    std::size_t comments = 0;        // the comment lines skipped
    std::uint64_t kept = 0;          // the records kept (with a class)
    std::uint64_t missingClass = 0;  // the records left out for a missing class

    // Returns the records the share read (with a class or not).
    std::uint64_t records() const { return kept + missingClass; }
    // Appends the share to `bytes`, for sending to another process; load() reads it back, for
    // the layout it was read with, and throws std::invalid_argument on bytes cut or malformed.
    void save(std::string& bytes) const;
    static ShareRead load(std::string_view bytes);
};

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

    // Returns the data set that the lines of `text` the windows of `sample` read hold (see
    // sampleRange; `text` without byte-order mark, its lines ended by '\n', with or without '\r'
    // before it), read against `layout`: the same records, in text order, as buildWith() reads
    // from those lines gathered into one text (RecordSample::gather), and the same failures,
    // naming a line as RecordSample::nameLine does. The lines are read where they lie, each group
    // of strata (groupStrata) straight into its rows of the final columns, the groups in
    // spreadOrder(), so that what a deadline lets be read is spread over the whole text (a
    // sample whose lines leave a quoted field open is read from the lines gathered). Sets what
    // `sample` says of the reading.
    static Result<Dataset> buildSample(std::string_view text, RecordLayout layout,
                                       SampledText& sample);

    // Reads `share`, a run of whole lines of a text (without byte-order mark; `carriageReturns`:
    // the text's lines end with a carriage return alone), against `layout`, as buildWith()
    // would read those lines within the whole text: a column taken as numeric that turns out
    // not to be is read as nominal (ShareRead::types says which). With `quoteAware`, a quoted
    // field is followed over line ends (the share must start at a record's start), else not.
    // `namer` names the share's lines as the text's. `release` (may be empty) is told which
    // bytes of the share each part is done with, when its lines end with '\n'; `bringIn` (may be
    // empty) is then asked to bring the share's bytes in again before the lines are read again
    // (a column that turned out not numeric).
    static ShareRead readShare(std::string_view share, RecordLayout layout, bool carriageReturns,
                               std::size_t threads, const LineNamer& namer, bool quoteAware = false,
                               const ReleaseCallback& release = {},
                               const ReleaseCallback& bringIn = {});

    // Returns `share` without its records: its value lists and figures, for the process that
    // joins the lists (joinSchemas).
    static ShareRead schemaOf(const ShareRead& share);
    // Returns the whole text's schema from every share's (schemaOf), in text order: the value
    // lists joined in share order, as one reader of the whole text lists its values (in order of
    // first appearance), the records, marks and comments summed; or the
    // error of a text that holds no record.
    static Result<ShareRead> joinSchemas(const RecordLayout& layout,
                                         const std::vector<ShareRead>& schemas);
    // Returns the data set of one share's records (`share`, or none when null) within the whole
    // text of `whole` (joinSchemas): the whole text's value lists, its records coded by them,
    // each row's line `linesBefore` on from the share's, and what is said of the whole text (the
    // missing marks, the comment note, the records left out for a missing class, the size).
    static Dataset localise(ShareRead* share, const ShareRead& whole, const RecordLayout& layout,
                            std::uint64_t linesBefore, std::uint64_t textBytes);
    // Appends the rows of `from`, a data set of the same columns and value lists, to `into`'s,
    // and empties `from`.
    static void appendRows(Dataset& into, Dataset& from);

private:
    using Parts = std::vector<std::unique_ptr<PartParser>>;

    static Result<Dataset> readParts(std::string_view text, RecordLayout& layout,
                                     std::size_t threads, const ReleaseCallback& release,
                                     const LineNamer& namer);
    static Result<Dataset> finish(const RecordLayout& layout, Parts& parts, SharedColumns& columns);
    static Dataset assemble(const RecordLayout& layout, Parts& parts, SharedColumns& columns,
                            std::size_t total);
    static void joinColumn(const RecordLayout& layout, std::size_t column, Parts& parts,
                           SharedColumns& columns, Dataset& data);
};

}  // namespace mining
