#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/data_source.h"
#include "data/mapped_file.h"
#include "data/reader.h"
#include "data/record_sample.h"
#include "util/collective.h"
#include "util/result.h"

namespace mining {

// The data files of a folder (DataSource::shards) as the one text their concatenation would be,
// to be read as one file, and the means to name each of its lines as the line of its own file.
//
// - An empty file adds nothing; a file that ends without a line end is read as if it had one.
// - Delimited text (and .data without a .names file): the layout is guessed from the first
//   file that is not empty, as for one file. When its first line is a header, a later file that
//   starts with the same line (compared as text, its line end dropped) has it left out. The
//   second file that is not empty decides whether every file has the header: when it does, a
//   later file that starts otherwise is an error; when it does not, a later file whose own
//   first line is guessed a header (of a file of more than one line) that differs is one.
// - ARFF: every file has its header; each must declare the attributes of the first, and the
//   files' data sections are joined under the first file's header.
// - With ReadLimits::maxBytes smaller than the files' bytes (and no ReadOptions::recordLines),
//   each file is read as a seeded sample of its lines (see chooseSampleRanges) of a share of
//   maxBytes in proportion to its size, its header whole.
//
// Read by one of several processes (join with `lazy`), the text is not copied whole: its bytes
// lie in pages that can be read only once need() has brought them in from the files, so that a
// process holds the parts of the text it reads (the first lines, its share, the last bytes), not
// every file; a byte read before it is brought in ends the process (the page cannot be read)
// rather than reading as something the files do not hold. Its line numbers are settled once
// every process has counted the lines of its share (countLines, combineLines).
class JoinedText {
public:
    JoinedText() = default;
    JoinedText(JoinedText&&) noexcept = default;
    JoinedText& operator=(JoinedText&&) noexcept = default;
    ~JoinedText();

    // Opens every data file of `source` and joins them as the class comment says. Fails with
    // the error of a file that cannot be read, a header that differs, or ARFF headers that do
    // not agree; each names the file. `lazy`: brings the bytes in as need() asks, when the files
    // are read whole and are not ARFF (whose header and records are read all through anyway).
    static Result<JoinedText> join(const DataSource& source, const ReadOptions& options,
                                   bool lazy = false);

    // The joined text, with no byte-order mark.
    std::string_view text() const;

    // Whether the bytes are brought in as need() asks.
    bool lazy() const { return pages_ != nullptr; }
    // Brings bytes [from, to) of text() in (and whole pages around them), where lazy().
    void need(std::size_t from, std::size_t to);
    // Lets go of the whole pages of bytes [from, to) of text(), where lazy(): they can be read
    // again only once need() brings them in again. Calls for ranges without a page in common
    // may run at once.
    void release(std::size_t from, std::size_t to);
    // Brings in the bytes of text() that the layout is guessed from and every reading of the
    // first lines reads: the first 1 MiB and 64 KiB more, and at least 300 lines and 64 KiB
    // more.
    void needFirstLines();
    // Returns how many bytes of text() have been brought in.
    std::size_t broughtIn() const;
    // Sets the bytes [from, to) of text() as this process's to count lines in (for a lazy text,
    // where the other processes count the rest; see combineLines). The header's lines count
    // with the process that starts at 0. Requires need(from, to) first.
    void countLines(std::size_t from, std::size_t to);
    // Settles the lines of each file in the text from every process's countLines (the same call
    // at every process), so that named() names lines; does nothing where !lazy(). Where no
    // countLines came first (the layout could not be read), the first process counts the first
    // lines, which such a failure names.
    void combineLines(Collective& collective);
    // The name under which the joined text is to be read: messages that name it are made plain
    // by named().
    const std::string& readName() const { return readName_; }

    // Returns `message` with every "NAME, line N" (NAME being readName()) written as the file
    // and line where line N of the joined text lies ("shard-2.csv, line 17", or for a sampled
    // line "shard-2.csv, the record at byte offset 5120"), and every other mention of NAME as the
    // folder.
    std::string named(const std::string& message) const;

    // Returns the path of a file that changed while it was read, or "" when none did.
    std::string changedFile() const;

    std::size_t fileCount() const { return files_.size(); }
    // The bytes of the files (after their byte-order marks), the bytes of the lines read, and
    // whether some file was sampled.
    std::uint64_t fileBytes() const { return fileBytes_; }
    std::uint64_t readBytes() const { return readBytes_; }
    bool sampled() const { return sampled_; }

private:
    // A run of lines of one file in the joined text.
    struct Piece {
        std::size_t file = 0;
        std::size_t firstLine = 0;  // the joined text's line (1-based) of its first line
        std::size_t lines = 0;
        std::size_t at = 0;          // where it starts in the joined text
        std::size_t bytes = 0;       // its bytes in the file, from fileOffset
        std::size_t fileOffset = 0;  // in the file's text (after its byte-order mark)
        bool endAdded = false;       // a line end follows its bytes, which end without one
        bool endless = false;        // its bytes end otherwise than with its file's line end
        std::size_t fileLine = 0;    // read whole: the file's line of its first line
        std::optional<RecordSample> sample;  // sampled: the runs read
        std::uint64_t offsetBase = 0;        // sampled: the file's bytes before the runs' text
        std::size_t linesBefore = 0;         // sampled: the file's lines before it
    };
    // Where a file's records start: the bytes and lines of its header.
    struct Start {
        std::size_t bytes = 0;
        std::size_t lines = 0;
    };

    Status open(const DataSource& source);
    Result<std::vector<Start>> starts(const DataSource& source, const ReadOptions& options) const;
    Result<std::vector<Start>> delimitedStarts(const DataSource& source,
                                               const ReadOptions& options) const;
    Result<std::vector<Start>> arffStarts() const;
    void append(std::size_t file, std::string_view part, std::size_t firstFileLine);
    void appendSample(std::size_t file, std::string_view body, const Start& start,
                      std::uint64_t share, std::uint64_t seed);
    std::string nameLine(std::size_t line) const;
    void fill(std::size_t from, std::size_t to);
    std::size_t countOf(const Piece& piece, std::size_t from, std::size_t to) const;

    // An anonymous mapping that stands for the text, its pages unreadable until brought in.
    struct Unmap {
        std::size_t size;
        void operator()(char* at) const;
    };

    std::string folder_;
    std::string readName_;
    std::vector<std::string> paths_;
    std::vector<std::unique_ptr<MappedFile>> files_;
    std::vector<std::string_view> texts_;  // each file's text after its byte-order mark
    std::string text_;
    std::unique_ptr<char, Unmap> pages_;  // lazy: the text's bytes
    std::size_t size_ = 0;                // lazy: the text's size
    std::vector<char> brought_;           // lazy: each page's bytes are in
    std::vector<std::size_t> counted_;    // lazy: this process's line ends in each piece
    bool counting_ = false;               // lazy: countLines() was called
    std::size_t firstLinesEnd_ = 0;       // lazy: what needFirstLines() brought in
    std::vector<Piece> pieces_;
    std::size_t lines_ = 0;
    std::uint64_t fileBytes_ = 0;
    std::uint64_t readBytes_ = 0;
    bool sampled_ = false;
};

}  // namespace mining
