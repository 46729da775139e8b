#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/data_source.h"
#include "data/dataset.h"
#include "data/mapped_file.h"
#include "data/number_styles.h"
#include "data/table_layout.h"
#include "util/collective.h"
#include "util/deadline.h"
#include "util/result.h"

namespace mining {

// How much of a .data file to read.
struct ReadLimits {
    // 0: read the whole file. Else, when the file's text (after a byte-order mark) is larger,
    // read a seeded sample of about this many bytes of whole lines spread over the whole file,
    // the file's first lines among them (see chooseSampleRanges in data/record_sample.h).
    std::uint64_t maxBytes = 0;
    // The sample's seed: the same file, maxBytes and seed give the same records on every run.
    std::uint64_t seed = 1;
};

// How a run reads its data file.
struct ReadOptions {
    ReadLimits limits;
    ColumnChoice columns;  // the class, the columns left out, the header
    bool keepIds = false;  // keep identifier and row-number columns (else left out, with a note)
    // For scoring records with a saved model: keep the records whose class is missing (their
    // class code kMissingCode), and note the file line where each record starts
    // (Dataset::recordLines()). With recordLines the whole file is read, never a sample.
    bool keepMissingClass = false;
    bool recordLines = false;
    // Code the class values in the order of their names (see Dataset::sortClassValues), not as
    // the file declares or first shows them, so that every format of the same records gives the
    // same folds and ties.
    bool classesByName = false;
    // Tokens read as missing values in every column, beside '?', NA, NULL and the rest.
    std::vector<std::string> missingTokens;
    // The order of day and month in dates written with '.' or '/' (Guess: as the values tell).
    DateOrder dates = DateOrder::Guess;
    // When not null, the reading of a sample stops before its next group of strata once this
    // has passed, and goes on with what was read, with a note (Dataset::readNotes).
    const Deadline* deadline = nullptr;
};

// Reads the data file `source` names, by its format:
// - .data with BASE.names: as readDataset() says;
// - .data without .names, and delimited text: the delimiter, the header and the types found
//   from the data (see guessLayout); then columns empty at the end of the lines are left out
//   (see dropEmptyColumns), columns of numbers as people write them are read as
//   numbers (see readAsNumbers), and unless options.keepIds, a nominal column with a different
//   value in every record (an identifier), a numeric one that counts the records in file order
//   and row names are left out, each with a note; a class of numbers with many values gets a
//   note;
// - ARFF: the types its header declares; a delimiter asked for is a usage error.
// In .data and delimited text a line that starts with '#' and is no record is a comment (see
// isCommentLine), skipped and counted in a note; the delimiter asked for
// (options.columns.delimiter) holds with a .names file too.
// In every format '?', an empty field, NA, NaN and the other marks of missing values (see
// data/missing_marks.h) are missing values (unless declared values list them), and so are the
// tokens of options.missingTokens (--missing); the report's notes say which marks beyond '?', an
// empty field, NA and NaN were read, where. Double-quoted fields may hold "" for one quote. The
// class and the columns left out are named the same way in every format (see chooseFields);
// naming no column is a usage error (ErrorKind::Usage). A data file that changes while it is read
// (cut short or rewritten by another process) gives the error "PATH: the data file changed while
// it was read".
Result<Dataset> readData(const DataSource& source, const ReadOptions& options);

// As readData, by the processes of `collective` together, each reading the records whose lines
// start in its share of the file's bytes (a folder's: of its files joined), the shares joined at
// rank 0 in process order: the same data set, notes and errors as readData on one process reads
// from the whole file, at rank 0; an empty data set at the other processes. A failure only one
// process meets (a file it cannot open) fails every process: rank 0's message, or else the
// first failing process's named ("process K: ..."). Reads every record, never a sample: the
// read limit and the deadline of `options` do not apply.
Result<Dataset> readData(const DataSource& source, const ReadOptions& options,
                         Collective& collective);

// One process's share of a data set that the processes of a run read together: its own records,
// in file order, with the schema, notes and figures of the whole data set. Each numeric column
// is stored as one process reading every record stores it (the same scale of decimals in every
// share, or doubles in all), so that the shares' values compare and sum alike.
struct DataShare {
    Dataset data;             // this process's records, rows 0..data.recordCount()-1
    std::uint64_t first = 0;  // its first record's number among every process's, from 0
    std::uint64_t total = 0;  // every process's records
};

// Appends every process's `data` (of one schema, numbers stored alike) to rank 0's, in process
// order; the others' are emptied. Throws std::invalid_argument when what a process sent is cut or
// malformed.
void gatherRows(Dataset& data, Collective& collective);

// As readData with `collective`, each process keeping its own share (see DataShare): rows are
// not sent anywhere. With one process, the whole data set that readData reads.
Result<DataShare> readDataShare(const DataSource& source, const ReadOptions& options,
                                Collective& collective);

// As readData, from `file`, the data file `source` names, opened already.
Result<Dataset> readData(const DataSource& source, const MappedFile& file,
                         const ReadOptions& options);

// The columns of a data file as its schema names them, before any record is read.
struct FileColumns {
    // In file order: a header's names, an ARFF file's attributes, or a1, a2, ...; with a .names
    // file, the attributes it declares (the class, last in each record, not among them).
    std::vector<std::string> names;
    bool named = false;     // a header line, an ARFF header or a .names file names the columns
    bool declared = false;  // a .names file declares them
};

// Returns the columns of the data file `source` names, guessing a header as readData() does
// unless `header` says, and the delimiter unless `delimiter` (see ColumnChoice) says. Fails as
// readData() does on a file that cannot be opened or whose first lines cannot be read.
Result<FileColumns> readColumns(const DataSource& source, HeaderRule header, char delimiter = 0);

// As readData, from text in memory of format `format`; `names` is the .names text for Records.
Result<Dataset> parseData(std::string_view text, DataFormat format,
                          std::optional<std::string_view> names, const ReadOptions& options,
                          const std::string& dataName, const std::string& namesName,
                          std::size_t threads);

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
//
// With `limits` the file may be sampled: the sampled lines, in file order, are read by the same
// rules as a whole file, and Dataset::sample() tells how much was read. A bad record among the
// file's first lines is named by its line number as above; one further on, where the lines before
// it were not counted, by its byte offset: "FILE, the record at byte offset N: ...", N counted
// from the file's first byte.
// Columns are kept whatever they hold (ReadOptions::keepIds).
Result<Dataset> readDataset(const std::string& base, const ReadLimits& limits = {});

// As readDataset, but from text in memory: `data` is the .data content, `names` the .names
// content or nullopt when there is none. `dataName` and `namesName` name the sources in error
// messages and in Dataset::dataPath()/namesPath(). `threads` parts of the text are parsed at
// once (0: as many as the size and the machine suit); the result does not depend on it. Columns
// are kept whatever they hold (ReadOptions::keepIds).
Result<Dataset> parseDataset(std::string_view data, std::optional<std::string_view> names,
                             const std::string& dataName = "data",
                             const std::string& namesName = "names", std::size_t threads = 0);

}  // namespace mining
