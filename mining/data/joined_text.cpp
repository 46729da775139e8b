#include "data/joined_text.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <new>

#include "data/arff.h"
#include "data/table_layout.h"
#include "data/text_fields.h"
#include "util/report_text.h"

namespace mining {

namespace {

// The bytes of a text with carriage-return line ends whose lines a layout is guessed from.
constexpr std::size_t kGuessBytes = std::size_t{1} << 20;

char lineEndOf(std::string_view text) { return endsLinesWithCarriageReturns(text) ? '\r' : '\n'; }

// The first lines of a text, each without its line end (and a '\r' before it), and their bytes.
struct FirstLines {
    std::size_t bytes = 0;
    std::vector<std::string_view> lines;
};

FirstLines firstLines(std::string_view text, std::size_t count) {
    const char end = lineEndOf(text);
    FirstLines first;
    while (first.lines.size() < count && first.bytes < text.size()) {
        const std::size_t at = std::min(text.find(end, first.bytes), text.size());
        std::string_view line = text.substr(first.bytes, at - first.bytes);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        first.lines.push_back(line);
        first.bytes = std::min(at + 1, text.size());
    }
    return first;
}

std::string shown(const FirstLines& first) {
    std::string text;
    for (const std::string_view line : first.lines)
        text += (text.empty() ? "" : " ") + std::string(line);
    return "\"" + shortForReport(text) + "\"";
}

// Returns the layout guessed from the first lines of `text`, as the reader guesses it.
Result<GuessedLayout> guessOf(std::string_view text, bool dataFile, const ColumnChoice& choice,
                              const ReadOptions& options, const std::string& name) {
    std::string copy;
    std::string_view head = text;
    if (endsLinesWithCarriageReturns(text)) {
        copy = carriageReturnsToNewlines(text.substr(0, kGuessBytes));
        head = copy;
    }
    return guessLayout(head, dataFile, choice, name, MissingTokens(options.missingTokens));
}

// Returns true when `text`, whose first lines are not `header`, starts with a header of its own.
bool startsWithOtherHeader(std::string_view text, bool dataFile, const ReadOptions& options,
                           const std::string& name) {
    if (firstLines(text, 2).lines.size() < 2) return false;
    ColumnChoice choice = options.columns;
    choice.header = HeaderRule::Guess;
    const Result<GuessedLayout> guess = guessOf(text, dataFile, choice, options, name);
    return guess && guess->header;
}

// Returns "" when `b` declares the attributes `a` does, else what differs.
std::string arffDifference(const ArffHeader& a, const ArffHeader& b) {
    if (a.attributes.size() != b.attributes.size())
        return std::to_string(b.attributes.size()) + " attributes against " +
               std::to_string(a.attributes.size());
    for (std::size_t j = 0; j < a.attributes.size(); ++j) {
        const ArffAttribute& x = a.attributes[j];
        const ArffAttribute& y = b.attributes[j];
        if (x.name != y.name || x.kind != y.kind || x.values != y.values ||
            x.dateFormat != y.dateFormat)
            return "attribute " + std::to_string(j + 1) + " (" + shortForReport(y.name) +
                   ") is declared otherwise";
    }
    return "";
}

// Returns the number of line ends `end` in `text`.
std::size_t lineEndCount(std::string_view text, char end) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), end));
}

// The bytes of a page of memory.
std::size_t pageBytes() { return static_cast<std::size_t>(sysconf(_SC_PAGESIZE)); }

}  // namespace

JoinedText::~JoinedText() = default;

void JoinedText::Unmap::operator()(char* at) const { munmap(at, size); }

Result<JoinedText> JoinedText::join(const DataSource& source, const ReadOptions& options,
                                    bool lazy) {
    using R = Result<JoinedText>;
    JoinedText joined;
    if (Status opened = joined.open(source); !opened)
        return R::failure(opened.error(), opened.kind());
    Result<std::vector<Start>> starts = joined.starts(source, options);
    if (!starts) return starts.failureAs<JoinedText>();
    const std::uint64_t maxBytes = options.limits.maxBytes;
    const bool whole = maxBytes == 0 || joined.fileBytes_ <= maxBytes || options.recordLines;
    lazy = lazy && whole && source.format != DataFormat::Arff;
    joined.size_ = lazy ? 1 : 0;  // append() sets the pieces' places rather than copying
    bool first = true;
    for (std::size_t k = 0; k < joined.texts_.size(); ++k) {
        const std::string_view text = joined.texts_[k];
        if (text.empty()) continue;
        const Start start = (*starts)[k];
        if (first && start.bytes > 0) joined.append(k, text.substr(0, start.bytes), 1);
        first = false;
        const std::string_view body = text.substr(start.bytes);
        const auto share = static_cast<std::uint64_t>(static_cast<double>(maxBytes) *
                                                      static_cast<double>(text.size()) /
                                                      static_cast<double>(joined.fileBytes_));
        if (!whole && share > 0 && body.size() > share)
            joined.appendSample(k, body, start, share, options.limits.seed + k);
        else
            joined.append(k, body, start.lines + 1);
        joined.files_[k]->release(0, joined.files_[k]->text().size(), 0);
    }
    if (lazy) {
        joined.size_ = 0;
        for (const Piece& piece : joined.pieces_)
            joined.size_ = piece.at + piece.bytes + (piece.endAdded ? 1 : 0);
        if (joined.size_ == 0) return joined;
        void* at = mmap(nullptr, joined.size_, PROT_NONE,
                        MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (at == MAP_FAILED)
            return R::failure("cannot join the files of " + source.path +
                                  ": no room in memory for their text (" +
                                  std::to_string(joined.size_) + " bytes)",
                              ErrorKind::Io);
        joined.pages_ = std::unique_ptr<char, Unmap>(static_cast<char*>(at), Unmap{joined.size_});
        joined.brought_.assign((joined.size_ + pageBytes() - 1) / pageBytes(), 0);
        joined.counted_.assign(joined.pieces_.size(), 0);
    }
    return joined;
}

std::string_view JoinedText::text() const {
    return lazy() ? std::string_view(pages_.get(), size_) : std::string_view(text_);
}

void JoinedText::need(std::size_t from, std::size_t to) {
    if (!lazy()) return;
    to = std::min(to, size_);
    if (from >= to) return;
    const std::size_t page = pageBytes();
    const std::size_t last = (to - 1) / page + 1;
    for (std::size_t p = from / page; p < last;) {
        if (brought_[p]) {
            ++p;
            continue;
        }
        std::size_t q = p;
        while (q < last && !brought_[q]) ++q;
        if (mprotect(pages_.get() + p * page, (q - p) * page, PROT_READ | PROT_WRITE) != 0)
            throw std::bad_alloc();
        fill(p * page, std::min(q * page, size_));
        std::fill(brought_.begin() + static_cast<std::ptrdiff_t>(p),
                  brought_.begin() + static_cast<std::ptrdiff_t>(q), 1);
        p = q;
    }
}

void JoinedText::release(std::size_t from, std::size_t to) {
    if (!lazy()) return;
    to = std::min(to, size_);
    const std::size_t page = pageBytes();
    const std::size_t first = (from + page - 1) / page;
    // The last page, shorter than the others, is let go with the text's end.
    const std::size_t last = to == size_ ? brought_.size() : to / page;
    if (first >= last) return;
    char* at = pages_.get() + first * page;
    const std::size_t bytes = (last - first) * page;
    // Unreadable first: a page whose bytes were dropped must not read as zeros.
    if (mprotect(at, bytes, PROT_NONE) != 0) return;
    madvise(at, bytes, MADV_DONTNEED);
    std::fill(brought_.begin() + static_cast<std::ptrdiff_t>(first),
              brought_.begin() + static_cast<std::ptrdiff_t>(last), 0);
}

void JoinedText::needFirstLines() {
    if (!lazy()) return;
    constexpr std::size_t kPiece = std::size_t{1} << 16;
    constexpr std::size_t kBytes = std::size_t{1} << 20;
    constexpr std::size_t kLines = 300;
    std::size_t at = 0;
    std::size_t newlines = 0;
    std::size_t returns = 0;
    while (at < size_ && (at < kBytes || std::max(newlines, returns) < kLines)) {
        const std::size_t to = std::min(size_, at + kPiece);
        need(at, to);
        const std::string_view piece(pages_.get() + at, to - at);
        newlines += static_cast<std::size_t>(std::count(piece.begin(), piece.end(), '\n'));
        returns += static_cast<std::size_t>(std::count(piece.begin(), piece.end(), '\r'));
        at = to;
    }
    need(at, at + kPiece);
    firstLinesEnd_ = std::min(size_, at + kPiece);
}

std::size_t JoinedText::broughtIn() const {
    if (!lazy()) return text_.size();
    const auto pages = static_cast<std::size_t>(std::count(brought_.begin(), brought_.end(), 1));
    const bool lastIn = !brought_.empty() && brought_.back() != 0;
    return pages * pageBytes() - (lastIn ? brought_.size() * pageBytes() - size_ : 0);
}

void JoinedText::fill(std::size_t from, std::size_t to) {
    auto it = std::upper_bound(pieces_.begin(), pieces_.end(), from,
                               [](std::size_t at, const Piece& piece) { return at < piece.at; });
    if (it != pieces_.begin()) --it;
    for (; it != pieces_.end() && it->at < to; ++it) {
        const Piece& piece = *it;
        const std::size_t end = piece.at + piece.bytes;
        const std::size_t low = std::max(from, piece.at);
        const std::size_t high = std::min(to, end);
        if (low < high) {
            const std::size_t inText = piece.fileOffset + (low - piece.at);
            std::memcpy(pages_.get() + low, texts_[piece.file].data() + inText, high - low);
            const std::size_t bom = files_[piece.file]->text().size() - texts_[piece.file].size();
            files_[piece.file]->release(bom + inText, bom + inText + (high - low), 0);
        }
        if (piece.endAdded && end >= from && end < to)
            pages_.get()[end] = lineEndOf(texts_[piece.file]);
    }
}

std::size_t JoinedText::countOf(const Piece& piece, std::size_t from, std::size_t to) const {
    const std::size_t low = std::max(from, piece.at);
    const std::size_t high = std::min(to, piece.at + piece.bytes);
    if (low >= high) return 0;
    // From the bytes brought in: reading the file again would hold its pages too.
    return lineEndCount(std::string_view(pages_.get() + low, high - low),
                        lineEndOf(texts_[piece.file]));
}

void JoinedText::countLines(std::size_t from, std::size_t to) {
    if (!lazy()) return;
    for (std::size_t k = 0; k < pieces_.size(); ++k) counted_[k] = countOf(pieces_[k], from, to);
    counting_ = true;
}

void JoinedText::combineLines(Collective& collective) {
    if (!lazy()) return;
    if (!counting_ && collective.rank() == 0) countLines(0, firstLinesEnd_);
    std::vector<std::uint64_t> counts(counted_.begin(), counted_.end());
    collective.sum(counts);
    lines_ = 0;
    for (std::size_t k = 0; k < pieces_.size(); ++k) {
        Piece& piece = pieces_[k];
        piece.firstLine = lines_ + 1;
        piece.lines = static_cast<std::size_t>(counts[k]) + (piece.endless ? 1 : 0);
        lines_ += piece.lines;
    }
}

Status JoinedText::open(const DataSource& source) {
    folder_ = source.path;
    const std::string& first = source.shards.front();
    readName_ = "\x1f" + folder_ + "\x1f" + first.substr(baseOfPath(first).size());
    for (const std::string& path : source.shards) {
        auto file = std::make_unique<MappedFile>();
        std::string error;
        if (!file->open(path, error)) return Status::failure(error, ErrorKind::Io);
        texts_.push_back(skipByteOrderMark(file->text()));
        fileBytes_ += texts_.back().size();
        paths_.push_back(path);
        files_.push_back(std::move(file));
    }
    return Status();
}

Result<std::vector<JoinedText::Start>> JoinedText::starts(const DataSource& source,
                                                          const ReadOptions& options) const {
    if (source.format == DataFormat::Arff) return arffStarts();
    if (source.format == DataFormat::Records && !source.namesPath.empty())
        return std::vector<Start>(texts_.size());
    return delimitedStarts(source, options);
}

Result<std::vector<JoinedText::Start>> JoinedText::delimitedStarts(
    const DataSource& source, const ReadOptions& options) const {
    using R = Result<std::vector<Start>>;
    std::vector<Start> starts(texts_.size());
    const bool dataFile = source.format == DataFormat::Records;
    const auto first = std::find_if(texts_.begin(), texts_.end(),
                                    [](std::string_view text) { return !text.empty(); });
    if (first == texts_.end()) return starts;
    const std::size_t f = static_cast<std::size_t>(first - texts_.begin());
    // A layout that cannot be guessed fails when the joined text is read, naming its line.
    const Result<GuessedLayout> guess =
        guessOf(*first, dataFile, options.columns, options, readName_);
    if (!guess || !guess->header) return starts;
    const FirstLines header = firstLines(*first, guess->headerLines);
    starts[f] = {header.bytes, header.lines.size()};
    bool seen = false;       // a later file that is not empty was looked at
    bool everyFile = false;  // ... and it starts with the header
    for (std::size_t k = f + 1; k < texts_.size(); ++k) {
        if (texts_[k].empty()) continue;
        const FirstLines own = firstLines(texts_[k], header.lines.size());
        if (own.lines == header.lines) {
            starts[k] = {own.bytes, own.lines.size()};
            everyFile = everyFile || !seen;
        } else if (everyFile || startsWithOtherHeader(texts_[k], dataFile, options, paths_[k])) {
            return R::failure(paths_[k] + ": its header " + shown(own) + " differs from that of " +
                              paths_[f] + ", " + shown(header));
        }
        seen = true;
    }
    return starts;
}

Result<std::vector<JoinedText::Start>> JoinedText::arffStarts() const {
    using R = Result<std::vector<Start>>;
    std::vector<Start> starts(texts_.size());
    std::optional<ArffHeader> firstHeader;
    std::size_t f = 0;
    for (std::size_t k = 0; k < texts_.size(); ++k) {
        if (texts_[k].empty()) continue;
        Result<ArffHeader> header = parseArffHeader(texts_[k], paths_[k]);
        if (!header) return header.failureAs<std::vector<Start>>();
        starts[k] = {header->dataOffset, header->dataLine - 1};
        if (!firstHeader) {
            firstHeader = std::move(header.value());
            f = k;
        } else if (const std::string differs = arffDifference(*firstHeader, *header);
                   !differs.empty()) {
            return R::failure(paths_[k] + ": its attributes differ from those of " + paths_[f] +
                              ": " + differs);
        }
    }
    return starts;
}

void JoinedText::append(std::size_t file, std::string_view part, std::size_t firstFileLine) {
    if (part.empty()) return;
    const char end = lineEndOf(texts_[file]);
    Piece piece;
    piece.file = file;
    piece.endAdded = part.back() != '\n' && part.back() != '\r';
    piece.endless = part.back() != end;
    piece.fileLine = firstFileLine;
    if (size_ > 0) {
        // Lazy: the piece's place in the text, its bytes and lines left in the file for now.
        piece.at = pieces_.empty() ? 0
                                   : pieces_.back().at + pieces_.back().bytes +
                                         (pieces_.back().endAdded ? 1 : 0);
        piece.bytes = part.size();
        piece.fileOffset = static_cast<std::size_t>(part.data() - texts_[file].data());
    } else {
        text_ += part;
        if (piece.endAdded) text_ += end;
        piece.firstLine = lines_ + 1;
        piece.lines = lineEndCount(part, end) + (piece.endless ? 1 : 0);
        lines_ += piece.lines;
    }
    readBytes_ += part.size();
    pieces_.push_back(std::move(piece));
}

void JoinedText::appendSample(std::size_t file, std::string_view body, const Start& start,
                              std::uint64_t share, std::uint64_t seed) {
    const char end = lineEndOf(texts_[file]);
    const std::string_view whole = files_[file]->text();
    Piece piece;
    piece.file = file;
    piece.firstLine = lines_ + 1;
    piece.sample.emplace(body, chooseSampleRanges(body, share, seed, end), end);
    const std::string gathered = piece.sample->gather();
    piece.lines = lineEndCount(gathered, end);
    piece.offsetBase = whole.size() - texts_[file].size() + start.bytes;
    piece.linesBefore = start.lines;
    text_ += gathered;
    lines_ += piece.lines;
    readBytes_ += piece.sample->readBytes();
    sampled_ = true;
    pieces_.push_back(std::move(piece));
}

std::string JoinedText::nameLine(std::size_t line) const {
    const auto after =
        std::upper_bound(pieces_.begin(), pieces_.end(), line,
                         [](std::size_t l, const Piece& piece) { return l < piece.firstLine; });
    if (after == pieces_.begin()) return folder_ + ", line " + std::to_string(line);
    const Piece& piece = *(after - 1);
    const std::size_t within = line - piece.firstLine;
    return paths_[piece.file] + ", " +
           (piece.sample ? piece.sample->nameLine(within + 1, piece.offsetBase, piece.linesBefore)
                         : "line " + std::to_string(piece.fileLine + within));
}

std::string JoinedText::named(const std::string& message) const {
    constexpr std::string_view kLine = ", line ";
    std::string out;
    std::size_t at = 0;
    for (std::size_t found; (found = message.find(readName_, at)) != std::string::npos;) {
        out += message.substr(at, found - at);
        std::size_t next = found + readName_.size();
        std::size_t digits = next + kLine.size();
        if (message.compare(next, kLine.size(), kLine) == 0 && digits < message.size() &&
            std::isdigit(static_cast<unsigned char>(message[digits]))) {
            std::size_t line = 0;
            for (; digits < message.size() &&
                   std::isdigit(static_cast<unsigned char>(message[digits]));
                 ++digits)
                line = line * 10 + static_cast<std::size_t>(message[digits] - '0');
            out += nameLine(line);
            next = digits;
        } else {
            out += folder_;
        }
        at = next;
    }
    return out + message.substr(at);
}

std::string JoinedText::changedFile() const {
    for (std::size_t k = 0; k < files_.size(); ++k)
        if (files_[k]->changed()) return paths_[k];
    return "";
}

}  // namespace mining
