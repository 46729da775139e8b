#include "data/reader.h"

#include <sys/stat.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <functional>
#include <string_view>
#include <vector>

#include "data/arff.h"
#include "data/column_checks.h"
#include "data/column_choice.h"
#include "data/data_folder.h"
#include "data/dataset_builder.h"
#include "data/joined_text.h"
#include "data/mapped_file.h"
#include "data/names_file.h"
#include "data/read_notes.h"
#include "data/record_sample.h"
#include "data/text_fields.h"
#include "util/collective.h"
#include "util/parallel.h"

namespace mining {

namespace {

// The bytes of a text with carriage-return line ends whose lines a layout is guessed from: more
// than guessLayout() looks at.
constexpr std::size_t kGuessBytes = std::size_t{1} << 20;

// What the records of a text are read against, once its schema is settled.
struct Prepared {
    std::optional<NamesFile> names;  // the declared schema, if any
    RecordLayout layout;             // its `names` is set just before reading
    std::optional<GuessedLayout> guess;
    std::size_t start = 0;        // the bytes of the text before the records (a header)
    std::size_t linesBefore = 0;  // the lines of the text before the records
    // ARFF records that could not be read as they stand, rewritten as plain records, and the
    // file's line of each.
    std::optional<std::string> rewritten;
    std::vector<std::size_t> lineOfRecord;
    bool numericClass = false;  // an ARFF header declares the class numeric (or a date)
};

// Makes attribute `wanted` of `names` (see ColumnChoice) the class: its values become the class
// values, and the old class becomes the last attribute, "class". Returns the class's field, or
// the number of fields when `wanted` names no attribute. The class's field stays where it is in
// the records, so the layout tells where it lies. Sets `className` to the new class's name.
// Makes field `field` of a .names file's records the class (the attributes then the declared
// class, last), the declared class an attribute at the end. Returns the class column's name.
std::string moveClassTo(NamesFile& names, std::size_t field) {
    const std::string className = names.attributes[field].name;
    Attribute oldClass;
    oldClass.name = "class";
    oldClass.type = AttributeType::Nominal;
    oldClass.values = std::move(names.classValues);
    names.classValues = std::move(names.attributes[field].values);
    names.attributes.erase(names.attributes.begin() + static_cast<std::ptrdiff_t>(field));
    names.attributes.push_back(std::move(oldClass));
    return className;
}

// Settles the schema of a .data text with its .names text.
Result<Prepared> prepareWithNames(std::string_view namesText, const ReadOptions& options,
                                  const std::string& dataName, const std::string& namesName) {
    Result<NamesFile> parsed = parseNames(namesText, namesName);
    if (!parsed) return parsed.failureAs<Prepared>();
    Prepared p;
    p.names = std::move(parsed.value());
    const std::size_t attributes = p.names->attributes.size();
    std::vector<std::string> fields;
    for (const Attribute& a : p.names->attributes) fields.push_back(a.name);
    fields.push_back("class");
    const Result<ChosenColumns> chosen =
        chooseFields(fields, options.columns, dataName + " as " + namesName + " declares it");
    if (!chosen) return chosen.failureAs<Prepared>();
    for (std::size_t j = 0; j < attributes; ++j)
        if (chosen->ignored[j]) p.names->attributes[j].type = AttributeType::Ignored;
    std::size_t classField = attributes;
    std::string className = "class";
    if (!options.columns.classAbsent && chosen->classField < attributes) {
        classField = chosen->classField;
        className = moveClassTo(*p.names, classField);
        if (chosen->ignored[attributes]) p.names->attributes.back().type = AttributeType::Ignored;
    }
    Result<RecordLayout> layout = layoutFromNames(*p.names, namesName);
    if (!layout) return layout.failureAs<Prepared>();
    p.layout = std::move(layout.value());
    p.layout.classField = classField;
    p.layout.className = className;
    p.layout.classAbsent = options.columns.classAbsent;
    if (options.columns.delimiter != 0) p.layout.delimiter = options.columns.delimiter;
    return p;
}

// Settles the schema of an ARFF text (after a byte-order mark) from its header, and rewrites its
// records when the record reader cannot read them as they stand (dates, sparse lines, quotes).
Result<Prepared> prepareArff(std::string_view text, const ReadOptions& options,
                             const std::string& dataName) {
    using R = Result<Prepared>;
    if (options.columns.delimiter != 0)
        return R::failure("--delimiter does not apply to " + dataName +
                              ": an ARFF file's values are parted by commas",
                          ErrorKind::Usage);
    Result<ArffHeader> header = parseArffHeader(text, dataName);
    if (!header) return header.failureAs<Prepared>();
    std::vector<std::string> names;
    for (const ArffAttribute& a : header->attributes) names.push_back(a.name);
    const bool absent = options.columns.classAbsent;
    const Result<ChosenColumns> chosen = chooseFields(names, options.columns, dataName);
    if (!chosen) return chosen.failureAs<Prepared>();
    const std::size_t classField = chosen->classField;
    Prepared p;
    p.names.emplace();
    for (std::size_t j = 0; j < header->attributes.size(); ++j) {
        const ArffAttribute& a = header->attributes[j];
        const bool nominal = a.kind == ArffAttribute::Kind::Nominal;
        if (j == classField) {
            // A class of numbers or dates takes its values from the data.
            if (nominal) p.names->classValues = a.values;
            p.numericClass = !nominal && !absent;
            continue;
        }
        Attribute attribute;
        attribute.name = a.name;
        attribute.type = chosen->ignored[j] ? AttributeType::Ignored
                         : nominal          ? AttributeType::Nominal
                                            : AttributeType::Numeric;
        if (nominal) attribute.values = a.values;
        p.names->attributes.push_back(std::move(attribute));
    }
    Result<RecordLayout> layout = layoutFromNames(*p.names, dataName);
    if (!layout) return layout.failureAs<Prepared>();
    p.layout = std::move(layout.value());
    p.layout.classField = classField;
    if (!absent) p.layout.className = names[classField];
    p.layout.classAbsent = absent;
    p.start = header->dataOffset;
    p.linesBefore = header->dataLine - 1;
    const std::string_view data = text.substr(header->dataOffset);
    // The scan runs over runs of whole lines at once: on a large file it is most of what
    // reading ARFF costs beyond reading records.
    const auto runs = splitAtLines(data, coreCount() * 2);
    std::vector<char> needs(runs.size(), 0);
    runTasks(runs.size(), [&](std::size_t k) {
        needs[k] =
            arffNeedsRewrite(*header, data.substr(runs[k].first, runs[k].second - runs[k].first));
    });
    if (std::find(needs.begin(), needs.end(), 1) != needs.end()) {
        Result<std::string> records =
            arffRecords(data, *header, dataName, header->dataLine, p.lineOfRecord);
        if (!records) return R::failure(records.error());
        p.rewritten = std::move(records.value());
    }
    return p;
}

// Settles the schema of `text` (after a byte-order mark) in `format`.
Result<Prepared> prepare(std::string_view text, DataFormat format,
                         const std::optional<std::string_view>& namesText,
                         const ReadOptions& options, const std::string& dataName,
                         const std::string& namesName) {
    using R = Result<Prepared>;
    Prepared p;
    if (format == DataFormat::Records && namesText) {
        Result<Prepared> named = prepareWithNames(*namesText, options, dataName, namesName);
        if (!named) return named;
        p = std::move(named.value());
    } else if (format == DataFormat::Arff) {
        Result<Prepared> arff = prepareArff(text, options, dataName);
        if (!arff) return arff;
        p = std::move(arff.value());
        p.layout.dataName = dataName;
        p.layout.namesName = dataName;
        return p;
    } else {
        if (const std::size_t line = lineOfNulByte(text.substr(0, 1 << 16)); line != 0)
            return R::failure(dataName + ", line " + std::to_string(line) +
                              ": a NUL byte: this is not a plain text file (binary, or UTF-16 "
                              "rather than UTF-8)");
        // Lines ended by a carriage return alone are guessed from a copy of the first lines
        // with '\n' ends; it has the same length, so offsets hold in the file.
        std::string newlineCopy;
        std::string_view head = text;
        if (endsLinesWithCarriageReturns(text)) {
            newlineCopy = carriageReturnsToNewlines(text.substr(0, kGuessBytes));
            head = newlineCopy;
        }
        Result<GuessedLayout> guess =
            guessLayout(head, format == DataFormat::Records, options.columns, dataName,
                        MissingTokens(options.missingTokens));
        if (!guess) return guess.failureAs<Prepared>();
        p.layout = guess->layout;
        p.start = guess->headerEnd;
        p.linesBefore = guess->headerLines;
        p.guess = std::move(guess.value());
    }
    p.layout.hashComments = true;
    p.layout.dataName = dataName;
    p.layout.namesName = namesName;
    return p;
}

// Turns the rows' lines in the text read into the file's lines: `lineOf` maps one to the other.
template <class LineOf>
void toFileLines(Result<Dataset>& read, LineOf lineOf) {
    if (!read) return;
    for (std::uint64_t& line : read->recordLines()) line = lineOf(line);
}

// Records what part of a file of `fileBytes` bytes (after a byte-order mark) `read` holds.
void noteSample(Result<Dataset>& read, bool sampled, std::uint64_t fileBytes,
                std::uint64_t readBytes) {
    if (!read) return;
    const std::uint64_t records = read->recordCount() + read->missingClassCount();
    SampleInfo info{sampled, fileBytes, readBytes, records};
    if (readBytes > 0 && readBytes != fileBytes)
        info.estimatedRecords = static_cast<std::uint64_t>(
            std::llround(static_cast<double>(records) * static_cast<double>(fileBytes) /
                         static_cast<double>(readBytes)));
    read->setSample(info);
}

// Names line `line` of the records' text as the file's line.
LineNamer wholeTextNamer(std::size_t linesBefore) {
    if (linesBefore == 0) return {};
    return [linesBefore](std::size_t line) { return "line " + std::to_string(linesBefore + line); };
}

// Returns the bytes `ranges` hold.
std::uint64_t bytesOf(const std::vector<TextRange>& ranges) {
    std::uint64_t bytes = 0;
    for (const TextRange& range : ranges) bytes += range.end - range.begin;
    return bytes;
}

// Returns true when a double quote lies in one of `ranges` of `text`.
bool quoteIn(std::string_view text, const std::vector<TextRange>& ranges) {
    for (const TextRange& range : ranges)
        if (text.substr(range.begin, range.end - range.begin).find('"') != std::string_view::npos)
            return true;
    return false;
}

// Reads the sampled lines of `records`, a text whose lines end with a carriage return alone, from
// a copy of them gathered with '\n' ends. Sets `ranges` to the runs read.
Result<Dataset> readGatheredSample(const RecordLayout& layout, std::string_view records,
                                   const ReadLimits& limits, std::size_t skipped,
                                   std::size_t linesBefore, std::vector<TextRange>& ranges) {
    ranges = chooseSampleRanges(records, limits.maxBytes, limits.seed, '\r');
    const RecordSample sample(records, ranges, '\r');
    const LineNamer namer = [&sample, skipped, linesBefore](std::size_t line) {
        return sample.nameLine(line, skipped, linesBefore);
    };
    return DatasetBuilder::buildWith(sample.gather(), layout, 0, nullptr, namer);
}

// Returns the plan of a seeded sample of `records`, which lie `skipped` bytes into `file`, within
// `limits` and `deadline` (may be null), with the lines before the records `linesBefore`: each
// window brought in ahead of its reading and let go once read.
SampledText planSample(std::string_view records, std::size_t skipped, std::size_t linesBefore,
                       const MappedFile& file, const ReadLimits& limits, const Deadline* deadline) {
    SampledText sample;
    sample.windows = planSampleWindows(records.size(), limits.maxBytes, limits.seed);
    sample.deadline = deadline;
    sample.willNeed = [&file, skipped](std::size_t begin, std::size_t end) {
        file.willNeed(skipped + begin, skipped + end);
    };
    // The sample's records stay, not the file's pages.
    sample.release = [&file, skipped](std::size_t begin, std::size_t end) {
        file.release(skipped + begin, skipped + end, 0);
    };
    sample.offsetBase = skipped;
    sample.linesBefore = linesBefore;
    return sample;
}

// Reads a seeded sample of the records of `prepared`, `records`, which lie `skipped` bytes into
// `file`, within `limits`; a `deadline` (may be null) passed stops the reading before its next
// group of strata, with a note. Returns nothing when the file is to be read whole instead: a
// sample may cut a quoted field that goes over several lines, so a file with quotes whose sample
// fails is read whole, by a reader that follows the quotes.
std::optional<Result<Dataset>> readSample(const Prepared& prepared, std::string_view records,
                                          std::size_t skipped, const MappedFile& file,
                                          const ReadLimits& limits, const Deadline* deadline) {
    file.adviseScattered();
    SampledText sample = planSample(records, skipped, prepared.linesBefore, file, limits, deadline);
    Result<Dataset> read = endsLinesWithCarriageReturns(records)
                               ? readGatheredSample(prepared.layout, records, limits, skipped,
                                                    prepared.linesBefore, sample.ranges)
                               : DatasetBuilder::buildSample(records, prepared.layout, sample);
    if (!read && quoteIn(records, sample.ranges)) return std::nullopt;
    noteSample(read, true, prepared.start + records.size(),
               bytesOf(sample.ranges) + prepared.start);
    if (read && sample.cut)
        read->addReadNote(
            "the machine was slower than planned: " + std::to_string(sample.strataRead) +
            " of the sample's " + std::to_string(sample.windows.size()) + " strata were read");
    return read;
}

// Reads the records of `prepared` from `text` (after a byte-order mark of `bom` bytes): the
// whole of it, or a seeded sample when limits ask, from `file` when it is not null, within
// `deadline` (see readSample).
Result<Dataset> readRecords(Prepared& prepared, std::string_view text, std::size_t bom,
                            const MappedFile* file, const ReadOptions& options,
                            std::size_t threads) {
    prepared.layout.names = prepared.names ? &*prepared.names : nullptr;
    if (prepared.rewritten) {
        const std::vector<std::size_t>& lines = prepared.lineOfRecord;
        const LineNamer namer = [&lines](std::size_t line) {
            return "line " + std::to_string(line - 1 < lines.size() ? lines[line - 1] : line);
        };
        Result<Dataset> read =
            DatasetBuilder::buildWith(*prepared.rewritten, prepared.layout, threads, {}, namer);
        noteSample(read, false, text.size(), text.size());
        toFileLines(read, [&lines](std::uint64_t line) {
            return line - 1 < lines.size() ? lines[line - 1] : line;
        });
        return read;
    }
    const std::size_t skipped = bom + prepared.start;
    const std::string_view records = text.substr(prepared.start);
    const ReadLimits& limits = options.limits;
    if (file != nullptr && limits.maxBytes > 0 && text.size() > limits.maxBytes &&
        !prepared.layout.recordLines) {
        std::optional<Result<Dataset>> sampled =
            readSample(prepared, records, skipped, *file, limits, options.deadline);
        if (sampled) return std::move(*sampled);
    }
    ReleaseCallback release;
    if (file != nullptr)
        release = [file, skipped](std::size_t begin, std::size_t end) {
            file->release(skipped + begin, skipped + end, kReleaseStep);
        };
    Result<Dataset> read = DatasetBuilder::buildWith(records, prepared.layout, threads, release,
                                                     wholeTextNamer(prepared.linesBefore));
    noteSample(read, false, text.size(), text.size());
    const std::size_t linesBefore = prepared.linesBefore;
    toFileLines(read, [linesBefore](std::uint64_t line) { return line + linesBefore; });
    return read;
}

// Returns how the text was read, for the report: "" for records read the plain way.
std::string describeReading(const Prepared& p, DataFormat format) {
    std::vector<std::string> parts;
    if (format != DataFormat::Records) parts.push_back(formatName(format));
    if (p.guess) {
        std::string guessed =
            describeGuess(*p.guess, format == DataFormat::Delimited, p.layout.dataName);
        if (!guessed.empty()) parts.push_back(std::move(guessed));
    }
    std::string what;
    for (const std::string& part : parts) what += (what.empty() ? "" : ", ") + part;
    return what;
}

// Adds the notes on a data set whose schema a file declares: a class declared numeric that
// holds many numbers, and the missing values read beyond the usual marks.
void addDeclaredNotes(Dataset& read, bool numericClass, std::uint64_t records) {
    for (std::string note :
         {numericClass ? numericTargetNote(read, records) : "", missingValuesNote(read)})
        if (!note.empty()) read.addReadNote(std::move(note));
}

// Returns how checkColumns() is to settle the columns read from `text` against `prepared`.
ColumnCheckOptions checkOptions(const Prepared& prepared, std::string_view text,
                                const ReadOptions& options) {
    ColumnCheckOptions check;
    check.delimiter = prepared.layout.delimiter;
    check.keepIds = options.keepIds;
    check.dates = options.dates;
    check.nominal = options.columns.nominal;
    check.records = text.substr(prepared.start);
    check.linesBefore = prepared.linesBefore;
    return check;
}

// Settles the data set `read` from `prepared` (the records of `text`, after a byte-order mark)
// as the data of a file in `format` that `options` asked for: how it was read, the notes, and
// for guessed types the checks of the columns. Returns false when a guessed header turned out to
// be a record: the text is to be read again without one.
bool settleRead(Result<Dataset>& read, const Prepared& prepared, DataFormat format,
                std::string_view text, const ReadOptions& options, RecordFigures& figures,
                std::optional<std::string_view> records = std::nullopt) {
    if (!read || !prepared.guess) {
        if (read) {
            read->setReadAs(describeReading(prepared, format));
            addDeclaredNotes(*read, prepared.numericClass, figures.records(*read));
            if (options.classesByName) read->sortClassValues();
        }
        return true;
    }
    // A guessed header whose name turns up among its column's values was a record.
    if (prepared.guess->headerGuessed && headerNameIsAValue(*read, prepared.guess->headerNames))
        return false;
    read->setReadAs(describeReading(prepared, format));
    dropEmptyColumns(*read, *prepared.guess, options.keepIds, figures);
    ColumnCheckOptions check = checkOptions(prepared, text, options);
    if (records) check.records = *records;
    checkColumns(*read, check, figures);
    leaveOutRowNames(*read, *prepared.guess, options.keepIds);
    if (options.classesByName) read->sortClassValues();
    return true;
}

// Returns `prepared` ready for reading records as `options` ask.
void setRecordOptions(Prepared& prepared, const ReadOptions& options) {
    prepared.layout.keepMissingClass = options.keepMissingClass;
    prepared.layout.recordLines = options.recordLines;
    prepared.layout.missingTokens = MissingTokens(options.missingTokens);
}

// Reads `text` (the whole file, with its byte-order mark if any) in `format`.
Result<Dataset> readText(std::string_view whole, DataFormat format,
                         const std::optional<std::string_view>& namesText,
                         const ReadOptions& options, const std::string& dataName,
                         const std::string& namesName, std::size_t threads,
                         const MappedFile* file) {
    const std::string_view text = skipByteOrderMark(whole);
    const std::size_t bom = whole.size() - text.size();
    ReadOptions asked = options;
    while (true) {
        Result<Prepared> prepared = prepare(text, format, namesText, asked, dataName, namesName);
        if (!prepared) return prepared.failureAs<Dataset>();
        setRecordOptions(*prepared, options);
        Result<Dataset> read = readRecords(*prepared, text, bom, file, asked, threads);
        RecordFigures figures;
        if (settleRead(read, *prepared, format, text, options, figures)) return read;
        asked.columns.header = HeaderRule::Absent;
    }
}

// Returns "" when no process failed; else rank 0's own `error` when it failed, or the first
// failing process's, named ("process K: ..."), so that a failure only one process meets does not
// leave the others waiting.
std::string agreedError(Collective& collective, const std::string& error) {
    const std::string first = firstError(collective, error);
    if (first.empty()) return "";
    return collective.rank() == 0 && !error.empty() ? error : first;
}

// Returns `failed` at a process that failed itself (its kind kept), else the agreed `error`.
template <class T, class U>
Result<T> agreedFailure(const Result<U>& failed, const std::string& error) {
    if (!failed) return failed.template failureAs<T>();
    return Result<T>::failure(error);
}

// Brings in the bytes of a folder's joined text as they are read (see JoinedText::need); does
// nothing for a file, whose bytes are mapped. Offsets are into the records' text, which starts
// `base` bytes into the joined text.
struct TextLoads {
    static constexpr std::size_t kPiece = std::size_t{1} << 20;

    JoinedText* joined = nullptr;
    std::size_t base = 0;

    void need(std::size_t from, std::size_t to) const {
        if (joined != nullptr) joined->need(base + from, base + to);
    }
    // As text.find(c, from), bringing the bytes in a piece at a time.
    std::size_t find(std::string_view text, char c, std::size_t from) const {
        if (joined == nullptr) return text.find(c, from);
        for (std::size_t at = from; at < text.size(); at += kPiece) {
            need(at, at + kPiece);
            const std::size_t found = text.substr(0, at + kPiece).find(c, at);
            if (found != std::string_view::npos) return found;
        }
        return std::string_view::npos;
    }
    // Sets bytes [from, to) as this process's to count lines in; the first process counts the
    // header's lines too.
    void countLines(std::size_t from, std::size_t to, bool first) const {
        if (joined != nullptr) joined->countLines(first ? 0 : base + from, base + to);
    }
};

// Where the records of the text's share `rank` of `size` lie in `records`: the records whose
// lines start in bytes [n * rank / size, n * (rank + 1) / size) of its n bytes.
std::pair<std::size_t, std::size_t> shareOf(std::string_view records, int rank, int size,
                                            char lineEnd, const TextLoads& loads) {
    const auto lineStartFrom = [records, lineEnd, &loads](std::uint64_t at) -> std::size_t {
        if (at == 0) return 0;
        const std::size_t end = loads.find(records, lineEnd, static_cast<std::size_t>(at) - 1);
        return end == std::string_view::npos ? records.size() : end + 1;
    };
    const std::uint64_t n = records.size();
    const auto r = static_cast<std::uint64_t>(rank);
    const auto p = static_cast<std::uint64_t>(size);
    return {lineStartFrom(n / p * r + n % p * r / p),
            lineStartFrom(n / p * (r + 1) + n % p * (r + 1) / p)};
}

// What the checks of the columns count over the records of a text read by several processes,
// each holding its share of the records: counts summed, what counts cannot settle gathered.
class SharedFigures final : public RecordFigures {
public:
    // `records`, `read`: the whole text's records with a class, and with or without one;
    // `share`: the text of this process's records, `linesBefore` lines into the records' text;
    // `bringBack` brings in its bytes where they were let go as they were read.
    SharedFigures(Collective& collective, std::uint64_t records, std::uint64_t read,
                  std::string_view share, std::uint64_t linesBefore,
                  std::function<void()> bringBack)
        : collective_(collective),
          records_(records),
          read_(read),
          share_(share),
          linesBefore_(linesBefore),
          bringBack_(std::move(bringBack)) {}

    std::uint64_t records(const Dataset&) override { return records_; }
    std::uint64_t recordsRead(const Dataset&) override { return read_; }

    std::vector<std::uint64_t> valueCounts(const Dataset& data, std::size_t a,
                                           std::uint64_t& present) override {
        std::vector<std::uint64_t> counts = RecordFigures::valueCounts(data, a, present);
        counts.push_back(present);
        collective_.sum(counts);
        present = counts.back();
        counts.pop_back();
        return counts;
    }

    bool noNumber(const Dataset& data, std::size_t a) override {
        std::vector<std::uint64_t> numbers{RecordFigures::noNumber(data, a) ? 0u : 1u};
        collective_.sum(numbers);
        return numbers[0] == 0;
    }

    Numbering numbering(const Dataset& data, std::size_t a) override {
        const double limit =
            2.0 * static_cast<double>(std::max(read_, data.sample().estimatedRecords));
        const NumberingPart own = numberingPart(data.numeric(a), limit);
        std::string bytes = partBytes(own);
        std::string all;
        for (const std::string& part : collective_.gather(bytes)) all += part;
        collective_.broadcast(all);
        std::vector<NumberingPart> parts;
        for (std::size_t at = 0; at + kPartBytes <= all.size(); at += kPartBytes)
            parts.push_back(partOf(std::string_view(all).substr(at, kPartBytes)));
        return numberingOf(parts, read_, [&] { return distinctOverall(data.numeric(a)); });
    }

    std::vector<std::uint64_t> linesHolding(std::string_view, char delimiter, std::size_t field,
                                            const std::vector<std::string>& values,
                                            std::size_t limit) override {
        if (bringBack_) bringBack_();
        std::vector<std::uint64_t> lines =
            mining::linesHolding(share_, delimiter, field, values, limit);
        for (std::uint64_t& line : lines) line += linesBefore_;
        const std::string bytes(reinterpret_cast<const char*>(lines.data()),
                                lines.size() * sizeof(std::uint64_t));
        const std::vector<std::string> parts = collective_.gather(bytes);
        if (collective_.rank() != 0) return lines;
        lines.clear();
        for (const std::string& part : parts)
            for (std::size_t at = 0; at + sizeof(std::uint64_t) <= part.size();
                 at += sizeof(std::uint64_t)) {
                std::uint64_t line = 0;
                std::memcpy(&line, part.data() + at, sizeof line);
                lines.push_back(line);
            }
        std::sort(lines.begin(), lines.end());
        if (lines.size() > limit) lines.resize(limit);
        return lines;
    }

private:
    static constexpr std::size_t kPartBytes = 6 * sizeof(std::uint64_t);

    static std::string partBytes(const NumberingPart& part) {
        const std::uint64_t words[6] = {part.fits,
                                        part.distinct,
                                        part.rising,
                                        std::bit_cast<std::uint64_t>(part.first),
                                        std::bit_cast<std::uint64_t>(part.last),
                                        part.rows};
        return std::string(reinterpret_cast<const char*>(words), sizeof words);
    }

    static NumberingPart partOf(std::string_view bytes) {
        std::uint64_t words[6] = {};
        std::memcpy(words, bytes.data(), sizeof words);
        NumberingPart part;
        part.fits = words[0] != 0;
        part.distinct = words[1] != 0;
        part.rising = words[2] != 0;
        part.first = std::bit_cast<double>(words[3]);
        part.last = std::bit_cast<double>(words[4]);
        part.rows = words[5];
        return part;
    }

    // Whether no two values of the column are alike over every process's rows: each process's
    // distinct already, they are gathered at rank 0 (a column that numbers the records, rare).
    bool distinctOverall(const NumericColumn& column) {
        std::vector<double> values = column.toVector();
        const std::string bytes(reinterpret_cast<const char*>(values.data()),
                                values.size() * sizeof(double));
        std::string verdict;
        const std::vector<std::string> parts = collective_.gather(bytes);
        if (collective_.rank() == 0) {
            values.clear();
            for (const std::string& part : parts) {
                const std::size_t n = part.size() / sizeof(double);
                const std::size_t at = values.size();
                values.resize(at + n);
                std::memcpy(values.data() + at, part.data(), n * sizeof(double));
            }
            std::sort(values.begin(), values.end());
            verdict = std::adjacent_find(values.begin(), values.end()) == values.end() ? "1" : "";
        }
        collective_.broadcast(verdict);
        return !verdict.empty();
    }

    Collective& collective_;
    std::uint64_t records_;
    std::uint64_t read_;
    std::string_view share_;
    std::uint64_t linesBefore_;
    std::function<void()> bringBack_;
};

// What one process holds of a text read by several: the records of its share, coded by the
// whole text's value lists, with what is said of the whole text; the text they were read from,
// and its lines before them in the records' text; the whole text's records.
struct ProcessShare {
    Result<Dataset> data = Result<Dataset>::failure("not read");
    std::string_view text;
    std::uint64_t linesBefore = 0;
    std::uint64_t records = 0;
    std::uint64_t read = 0;
};

// What rank 0 tells every process once the shares are read: the run's error, or the whole
// text's schema and whether rank 0 read the whole text alone.
std::string verdictOf(const Result<ShareRead>& whole, bool alone) {
    std::string bytes;
    if (!whole) {
        bytes = std::string("E") + static_cast<char>(whole.kind()) + whole.error();
        return bytes;
    }
    bytes = alone ? "A" : "S";
    whole->save(bytes);
    return bytes;
}

// Returns, at rank 0, what the shares read (`schemas`, in text order) come to: the verdict the
// processes go on with (verdictOf: the first error, or the joined schema), "Q" when a quoted
// field went over a line end and the shares are to be read again following quotes, or "A" when
// rank 0 is to read the whole text alone (its records need rewriting, or the quotes still cut a
// share).
std::string judgeShares(const std::vector<std::string>& schemas, const RecordLayout& layout,
                        const Prepared& prepared, bool quoteAware, bool alone) {
    if (alone) return "A";
    try {
        std::vector<ShareRead> loaded;
        std::uint64_t recordsBefore = 0;
        for (const std::string& bytes : schemas) {
            loaded.push_back(ShareRead::load(bytes));
            const ShareRead& s = loaded.back();
            if (s.error.empty()) {
                recordsBefore += s.records();
                continue;
            }
            if (s.quoteLeftOpen && s.firstRecordError.empty()) return quoteAware ? "A" : "Q";
            return verdictOf(
                Result<ShareRead>::failure(recordsBefore == 0 && !s.firstRecordError.empty()
                                               ? s.firstRecordError
                                               : s.error),
                false);
        }
        return verdictOf(DatasetBuilder::joinSchemas(layout, loaded), false);
    } catch (const std::invalid_argument& e) {
        return verdictOf(Result<ShareRead>::failure(prepared.layout.dataName + ": " + e.what()),
                         false);
    }
}

// As shareOf, each share starting after the first line end that is outside double quotes by
// their count from the text's start (each process counts those of its bytes; the counts are
// summed): where quoted fields hold line ends, a share then starts at a record's start unless
// quotes stand inside unquoted fields, which the reading of the shares shows (a share that ends
// inside quotes).
std::pair<std::size_t, std::size_t> quotedShareOf(std::string_view records, Collective& collective,
                                                  char lineEnd, const TextLoads& loads) {
    const auto size = static_cast<std::size_t>(collective.size());
    const auto rank = static_cast<std::size_t>(collective.rank());
    const std::uint64_t n = records.size();
    const auto rawStart = [n, size](std::size_t r) -> std::size_t {
        return static_cast<std::size_t>(n / size * r + n % size * r / size);
    };
    loads.need(rawStart(rank), rawStart(rank + 1));
    const std::string_view own =
        records.substr(rawStart(rank), rawStart(rank + 1) - rawStart(rank));
    std::vector<std::uint64_t> quotes(size, 0);
    quotes[rank] = static_cast<std::uint64_t>(std::count(own.begin(), own.end(), '"'));
    collective.sum(quotes);
    bool inside = false;
    for (std::size_t r = 0; r < rank; ++r) inside = inside != (quotes[r] % 2 == 1);
    std::size_t start = rank == 0 ? 0 : records.size();
    for (std::size_t at = rawStart(rank); rank > 0 && at < records.size(); ++at) {
        if ((at - rawStart(rank)) % TextLoads::kPiece == 0) loads.need(at, at + TextLoads::kPiece);
        if (records[at] == '"') {
            inside = !inside;
        } else if (records[at] == lineEnd && !inside) {
            start = at + 1;
            break;
        }
    }
    std::vector<std::uint64_t> starts(size + 1, 0);
    starts[rank] = start;
    collective.sum(starts);
    starts[size] = records.size();
    return {static_cast<std::size_t>(starts[rank]), static_cast<std::size_t>(starts[rank + 1])};
}

// Returns the line ends in `share`, which lies `offset` bytes into `file` (may be null), letting
// go of the file's pages as it counts, so that they never stand all at once beside the rows read
// from them.
std::uint64_t countShareLines(std::string_view share, char lineEnd, const MappedFile* file,
                              std::size_t offset) {
    std::uint64_t count = 0;
    for (std::size_t at = 0; at < share.size(); at += kReleaseStep) {
        const std::string_view piece = share.substr(at, kReleaseStep);
        count += static_cast<std::uint64_t>(std::count(piece.begin(), piece.end(), lineEnd));
        if (file != nullptr) file->release(offset + at, offset + at + piece.size(), 0);
    }
    return count;
}

// Reads this process's share of the records of `prepared` in `text` (after a byte-order mark):
// the records whose lines start in its share of the records' bytes; a column that any process
// finds not numeric is read as nominal by all; rank 0 joins the value lists in process order, so
// that every value has the code one process reading the whole text gives it. Where quoted fields
// go over line ends, the shares are read again from line ends outside quotes, following quotes
// over line ends. ARFF records that need rewriting, and a text whose shares the quotes still
// cut, are read by rank 0 alone, as one process reads them; the others then hold no records.
// `file` (may be null) is the mapped file that `text` lies in: its pages are let go as parts of
// the share are read. `lazyText` (may be null) is the lazy joined text that `text` is: the bytes
// read are brought in first, and each process counts its share's lines.
ProcessShare readShares(Prepared& prepared, std::string_view text, std::size_t bom,
                        const ReadOptions& options, Collective& collective, const MappedFile* file,
                        JoinedText* lazyText) {
    const int rank = collective.rank();
    const int size = collective.size();
    prepared.layout.names = prepared.names ? &*prepared.names : nullptr;
    const std::string_view records = text.substr(prepared.start);
    const TextLoads loads{lazyText, bom + prepared.start};
    bool alone = prepared.rewritten.has_value();
    ProcessShare out;
    std::vector<std::uint64_t> linesBefore(static_cast<std::size_t>(size), 0);
    RecordLayout layout = prepared.layout;
    ShareRead read;
    const bool carriageReturns = endsLinesWithCarriageReturns(records);
    const char lineEnd = carriageReturns ? '\r' : '\n';
    // First each share from its first line start; when a quoted field goes over a line end,
    // again, each from a line end outside quotes, following quotes over line ends.
    bool quoteAware = false;
    std::string bytes;
    std::optional<Result<Dataset>> whole;  // rank 0, reading alone
    while (true) {
        if (!alone) {
            const auto [begin, end] = quoteAware
                                          ? quotedShareOf(records, collective, lineEnd, loads)
                                          : shareOf(records, rank, size, lineEnd, loads);
            loads.need(begin, end);
            loads.countLines(begin, end, rank == 0);
            out.text = records.substr(begin, end - begin);
            std::vector<std::uint64_t> lines(static_cast<std::size_t>(size), 0);
            lines[static_cast<std::size_t>(rank)] =
                countShareLines(out.text, lineEnd, file, bom + prepared.start + begin);
            collective.sum(lines);
            for (std::size_t k = 1; k < lines.size(); ++k)
                linesBefore[k] = linesBefore[k - 1] + lines[k - 1];
            out.linesBefore = linesBefore[static_cast<std::size_t>(rank)];
            // The file's pages of each part read are let go, as on one machine.
            ReleaseCallback release;
            if (file != nullptr)
                release = [file, at = bom + prepared.start + begin](std::size_t from,
                                                                    std::size_t to) {
                    file->release(at + from, at + to, kReleaseStep);
                };
            ReleaseCallback bringIn;
            if (lazyText != nullptr) {
                release = [lazyText, at = loads.base + begin](std::size_t from, std::size_t to) {
                    lazyText->release(at + from, at + to);
                };
                bringIn = [lazyText, at = loads.base + begin](std::size_t from, std::size_t to) {
                    lazyText->need(at + from, at + to);
                };
            }
            const std::uint64_t before = prepared.linesBefore + out.linesBefore;
            const LineNamer namer = [before](std::size_t line) {
                return "line " + std::to_string(before + line);
            };
            for (bool reread = true;;) {
                if (reread) {
                    loads.need(begin, end);  // again, where a reading before let it go
                    read = DatasetBuilder::readShare(out.text, layout, carriageReturns, 0, namer,
                                                     quoteAware, release, bringIn);
                }
                std::vector<std::uint64_t> nominal(layout.types.size(), 0);
                for (std::size_t a = 0; a < nominal.size(); ++a)
                    nominal[a] = read.types[a] != layout.types[a] ? 1 : 0;
                collective.sum(nominal);
                bool changed = false;
                for (std::size_t a = 0; a < nominal.size(); ++a)
                    if (nominal[a] > 0 && layout.types[a] != AttributeType::Nominal) {
                        layout.types[a] = AttributeType::Nominal;
                        changed = true;
                    }
                if (!changed) break;
                reread = read.types != layout.types;
            }
        }
        bytes.clear();
        if (!alone) DatasetBuilder::schemaOf(read).save(bytes);
        const std::vector<std::string> schemas = collective.gather(bytes);
        bytes.clear();
        if (rank == 0) bytes = judgeShares(schemas, layout, prepared, quoteAware, alone);
        collective.broadcast(bytes);
        if (bytes != "Q") break;
        // The quotes' columns are read again from the start.
        quoteAware = true;
        layout = prepared.layout;
    }
    if (bytes == "A") {
        alone = true;
        // The first process reads every record, and counts every line.
        if (rank == 0) loads.need(0, records.size());
        loads.countLines(0, rank == 0 ? records.size() : 0, rank == 0);
        if (rank == 0) {
            Result<ShareRead> joined = Result<ShareRead>::failure("");
            whole = readRecords(prepared, text, bom, nullptr, options, 0);
            if (!*whole) {
                joined = Result<ShareRead>::failure(whole->error(), whole->kind());
            } else {
                ShareRead all;
                all.kept = (*whole)->recordCount();
                all.missingClass = (*whole)->missingClassCount();
                all.data = std::move(whole->value());
                joined = DatasetBuilder::schemaOf(all);
                whole = std::move(*all.data);
            }
            bytes = verdictOf(joined, true);
        }
        collective.broadcast(bytes);
    }
    if (bytes.empty() || bytes[0] == 'E') {
        const auto kind = bytes.size() > 1 ? static_cast<ErrorKind>(bytes[1]) : ErrorKind::Data;
        out.data = Result<Dataset>::failure(bytes.size() > 1 ? bytes.substr(2) : "", kind);
        return out;
    }
    const ShareRead schema = ShareRead::load(std::string_view(bytes).substr(1));
    out.records = schema.kept;
    out.read = schema.records();
    if (bytes[0] == 'A') {
        out.text = rank == 0 ? records : std::string_view();
        out.linesBefore = 0;
        out.data = rank == 0 ? std::move(*whole)
                             : Result<Dataset>(DatasetBuilder::localise(
                                   nullptr, schema, layout, prepared.linesBefore, text.size()));
        return out;
    }
    out.data = DatasetBuilder::localise(&read, schema, layout,
                                        prepared.linesBefore + out.linesBefore, text.size());
    return out;
}

// Stores each numeric column of this process's rows as one process reading every record stores
// it: as decimals at the finest scale of any process's, or as doubles where any process's are
// doubles or a value does not fit that scale.
void storeNumbersAlike(Dataset& data, Collective& collective) {
    constexpr std::size_t kSlots = kMaxScaledFractionDigits + 2;  // each scale, then doubles
    std::vector<std::size_t> numeric;
    for (std::size_t a = 0; a < data.attributeCount(); ++a)
        if (data.attribute(a).type == AttributeType::Numeric) numeric.push_back(a);
    std::vector<std::uint64_t> stored(numeric.size() * kSlots, 0);
    for (std::size_t i = 0; i < numeric.size(); ++i) {
        const NumericColumn& column = data.numeric(numeric[i]);
        const std::size_t slot =
            column.decimals() ? static_cast<std::size_t>(column.fractionDigits()) : kSlots - 1;
        stored[i * kSlots + slot] = 1;
    }
    collective.sum(stored);
    std::vector<std::uint64_t> doubles(numeric.size(), 0);
    for (std::size_t i = 0; i < numeric.size(); ++i) {
        std::size_t finest = kSlots - 1;
        while (stored[i * kSlots + finest] == 0) --finest;
        doubles[i] =
            finest == kSlots - 1 || !data.storeNumbers(numeric[i], static_cast<int>(finest));
    }
    collective.sum(doubles);
    for (std::size_t i = 0; i < numeric.size(); ++i)
        if (doubles[i] > 0) data.storeNumbers(numeric[i], -1);
}

// As readText, from every process's share of the text (see readShares), the columns checked
// over every process's records: each process ends with its own rows, their numbers stored alike
// (storeNumbersAlike), and the whole text's schema and notes. `file`, `lazyText`: see
// readShares.
Result<Dataset> readTextShares(std::string_view whole, DataFormat format,
                               const std::optional<std::string_view>& namesText,
                               const ReadOptions& options, const std::string& dataName,
                               const std::string& namesName, Collective& collective,
                               const MappedFile* file, JoinedText* lazyText) {
    if (lazyText != nullptr) lazyText->needFirstLines();  // the byte-order mark's bytes
    const std::string_view text = skipByteOrderMark(whole);
    const std::size_t bom = whole.size() - text.size();
    ReadOptions asked = options;
    asked.limits.maxBytes = 0;
    while (true) {
        // The layout is guessed from the first lines, the same at every process (again when a
        // header turned out to be a record: the first share's reading let them go).
        if (lazyText != nullptr) lazyText->needFirstLines();
        Result<Prepared> prepared = prepare(text, format, namesText, asked, dataName, namesName);
        if (const std::string error = agreedError(collective, prepared ? "" : prepared.error());
            !error.empty())
            return agreedFailure<Dataset>(prepared, error);
        setRecordOptions(*prepared, options);
        ProcessShare share = readShares(*prepared, text, bom, asked, collective, file, lazyText);
        if (!share.data) return std::move(share.data);
        std::function<void()> bringBack;
        if (lazyText != nullptr && !share.text.empty())
            bringBack = [lazyText, share = share.text, text = lazyText->text()] {
                const auto at = static_cast<std::size_t>(share.data() - text.data());
                lazyText->need(at, at + share.size());
            };
        SharedFigures figures(collective, share.records, share.read, share.text, share.linesBefore,
                              std::move(bringBack));
        if (!settleRead(share.data, *prepared, format, text, options, figures, share.text)) {
            asked.columns.header = HeaderRule::Absent;
            continue;
        }
        storeNumbersAlike(*share.data, collective);
        return std::move(share.data);
    }
}

}  // namespace

void gatherRows(Dataset& data, Collective& collective) {
    std::string bytes;
    if (collective.rank() != 0) {
        ShareRead own;
        own.data = std::move(data);
        own.save(bytes);
        data = Dataset();
    }
    std::vector<std::string> parts = collective.gather(bytes);
    if (collective.rank() != 0) return;
    for (std::size_t k = 1; k < parts.size(); ++k) {
        ShareRead share = ShareRead::load(parts[k]);
        std::string().swap(parts[k]);
        DatasetBuilder::appendRows(data, *share.data);
    }
}

Result<Dataset> parseData(std::string_view text, DataFormat format,
                          std::optional<std::string_view> names, const ReadOptions& options,
                          const std::string& dataName, const std::string& namesName,
                          std::size_t threads) {
    return readText(text, format, names, options, dataName, namesName, threads, nullptr);
}

namespace {

// Reads the names file of `source` into `namesText` when the source has one that exists.
// Returns an error message, or "" on success (with or without a names file).
std::string readNamesText(const DataSource& source, std::optional<std::string>& namesText) {
    struct stat info {};
    if (source.format != DataFormat::Records || source.namesPath.empty() ||
        stat(source.namesPath.c_str(), &info) != 0)
        return "";
    std::string content;
    std::string error;
    if (!readWholeFile(source.namesPath, content, error)) return error;
    namesText = std::move(content);
    return "";
}

// Returns the error of a data file that changed while it was read: what was read of it may be
// neither the old file nor the new one.
std::string changedWhileRead(const std::string& path) {
    return path + ": the data file changed while it was read";
}

// The bytes at each end of a file that two processes' copies of it are compared by: more than a
// layout is guessed from, and the end where the last share lies.
constexpr std::size_t kCompareHeadBytes = std::size_t{1} << 20;
constexpr std::size_t kCompareTailBytes = std::size_t{1} << 16;

// Returns what one process's copy of a text is compared by: its size and a hash of its first and
// last bytes. Reading the whole of every copy would undo the sharing of the reading.
std::string copyPrint(std::string_view text) {
    const std::size_t head = std::min(text.size(), kCompareHeadBytes);
    const std::size_t tail = std::min(text.size() - head, kCompareTailBytes);
    const std::size_t hash = std::hash<std::string_view>{}(text.substr(0, head)) ^
                             (std::hash<std::string_view>{}(text.substr(text.size() - tail)) << 1);
    return std::to_string(text.size()) + ' ' + std::to_string(hash);
}

// Returns "" when this process's copies of the data (`text`, whose name is `name`) and of the
// names file (`names`, if any) are the first process's, as far as copyPrint tells, else why not.
// Every process must read the same files: copies that differ would be read into one table of
// records that no file holds, and could split the text where no line starts.
std::string copiesDiffer(Collective& collective, const std::string& name, std::string_view text,
                         const std::optional<std::string>& names, const std::string& namesName) {
    const std::string own = copyPrint(text) + '\n' + (names ? copyPrint(*names) : "none");
    std::string first = own;
    collective.broadcast(first);
    if (first == own) return "";
    const std::size_t cut = first.find('\n');
    const bool dataDiffers = first.substr(0, cut) != own.substr(0, own.find('\n'));
    const std::string& path = dataDiffers ? name : namesName;
    const std::string firstPrint = dataDiffers ? first.substr(0, cut) : first.substr(cut + 1);
    const std::string ownPrint = dataDiffers ? copyPrint(text) : names ? copyPrint(*names) : "";
    const std::string firstSize = firstPrint.substr(0, firstPrint.find(' '));
    const std::string ownSize = ownPrint.substr(0, ownPrint.find(' '));
    std::string how;
    if (firstPrint == "none")
        how = "the first process has none";
    else if (ownPrint.empty())
        how = "this process has none";
    else if (firstSize != ownSize)
        how = ownSize + " bytes against " + firstSize;
    else
        how = "as long, other bytes";
    return path + ": this copy differs from the first process's (" + how +
           "); every process must read the same files, on a file system they share";
}

// Reads the records of `file`, the data file `source` names, with `namesText`.
Result<Dataset> readOpened(const DataSource& source, const MappedFile& file,
                           const std::optional<std::string>& namesText,
                           const ReadOptions& options) {
    std::optional<std::string_view> namesView;
    if (namesText) namesView = *namesText;
    Result<Dataset> read = readText(file.text(), source.format, namesView, options, source.path,
                                    source.namesPath, 0, &file);
    if (file.changed()) return Result<Dataset>::failure(changedWhileRead(source.path));
    return read;
}

// Sets how `read`, the joined text of a folder's files, was read: the folder's name, how many
// files, the sample, and its messages naming the files rather than the joined text.
void describeFolder(Dataset& read, const DataSource& source, const JoinedText& joined,
                    std::uint64_t records) {
    read.setSource(source.path + "/", source.namesPath);
    const std::string files = std::to_string(joined.fileCount()) +
                              (joined.fileCount() == 1 ? " file" : " files") +
                              " joined in name order";
    read.setReadAs(files + (read.readAs().empty() ? "" : ", " + joined.named(read.readAs())));
    for (std::string& note : read.readNotes()) note = joined.named(note);
    SampleInfo info{joined.sampled(), joined.fileBytes(), joined.readBytes(), records};
    info.files = joined.fileCount();
    if (joined.readBytes() > 0 && joined.sampled())
        info.estimatedRecords = static_cast<std::uint64_t>(
            std::llround(static_cast<double>(records) * static_cast<double>(joined.fileBytes()) /
                         static_cast<double>(joined.readBytes())));
    read.setSample(info);
}

// Reads the data files of the folder `source` names as one table (see JoinedText).
Result<Dataset> readFolder(DataSource source, const ReadOptions& options) {
    using R = Result<Dataset>;
    if (source.shards.empty())
        if (const Status listed = listDataFolder(source); !listed)
            return R::failure(listed.error(), listed.kind());
    std::optional<std::string> namesText;
    if (const std::string error = readNamesText(source, namesText); !error.empty())
        return R::failure(error);
    const Result<JoinedText> joined = JoinedText::join(source, options);
    if (!joined) return joined.failureAs<Dataset>();
    std::optional<std::string_view> namesView;
    if (namesText) namesView = *namesText;
    ReadOptions asked = options;
    asked.limits.maxBytes = 0;  // each file is sampled as it is joined
    Result<Dataset> read = readText(joined->text(), source.format, namesView, asked,
                                    joined->readName(), source.namesPath, 0, nullptr);
    if (const std::string changed = joined->changedFile(); !changed.empty())
        return R::failure(changedWhileRead(changed));
    if (!read) return R::failure(joined->named(read.error()), read.kind());
    describeFolder(*read, source, *joined, read->recordCount() + read->missingClassCount());
    return read;
}

}  // namespace

Result<Dataset> readData(const DataSource& source, const ReadOptions& options) {
    if (source.folder) return readFolder(source, options);
    std::optional<std::string> namesText;
    if (const std::string error = readNamesText(source, namesText); !error.empty())
        return Result<Dataset>::failure(error);
    MappedFile file;
    std::string error;
    if (!file.open(source.path, error)) return Result<Dataset>::failure(error);
    return readOpened(source, file, namesText, options);
}

Result<DataShare> readDataShare(const DataSource& source, const ReadOptions& asked,
                                Collective& collective) {
    using R = Result<DataShare>;
    ReadOptions options = asked;
    options.limits.maxBytes = 0;
    options.deadline = nullptr;
    // Every process counts, failed or not, so that none waits on another.
    const auto shared = [&collective](Result<Dataset>& read) -> R {
        std::vector<std::uint64_t> counts(static_cast<std::size_t>(collective.size()), 0);
        counts[static_cast<std::size_t>(collective.rank())] = read ? read->recordCount() : 0;
        collective.sum(counts);
        if (!read) return read.failureAs<DataShare>();
        DataShare share;
        for (int k = 0; k < collective.rank(); ++k)
            share.first += counts[static_cast<std::size_t>(k)];
        for (const std::uint64_t c : counts) share.total += c;
        share.data = std::move(read.value());
        return share;
    };
    if (collective.size() == 1) {
        Result<Dataset> read = readData(source, options);
        return shared(read);
    }
    std::optional<std::string> namesText;
    std::string error = readNamesText(source, namesText);
    std::optional<std::string_view> namesView;
    if (namesText) namesView = *namesText;
    if (const std::string agreed = agreedError(collective, error); !agreed.empty())
        return R::failure(agreed);
    if (source.folder) {
        DataSource listed = source;
        const Status status = listed.shards.empty() ? listDataFolder(listed) : Status();
        // Each process brings in only the bytes it reads of the joined files.
        Result<JoinedText> joined = status ? JoinedText::join(listed, options, true)
                                           : Result<JoinedText>::failure(status.error());
        error = joined ? "" : joined.error();
        if (const std::string agreed = agreedError(collective, error); !agreed.empty())
            return !status ? R::failure(agreed, status.kind())
                           : agreedFailure<DataShare>(joined, agreed);
        joined->needFirstLines();
        const std::size_t size = joined->text().size();
        joined->need(size - std::min(size, kCompareTailBytes), size);
        if (const std::string agreed =
                agreedError(collective, copiesDiffer(collective, listed.path + "/", joined->text(),
                                                     namesText, source.namesPath));
            !agreed.empty())
            return R::failure(agreed);
        Result<Dataset> read =
            readTextShares(joined->text(), source.format, namesView, options, joined->readName(),
                           source.namesPath, collective, nullptr, &joined.value());
        joined->combineLines(collective);
        const std::string changed = joined->changedFile();
        if (const std::string agreed =
                agreedError(collective, changed.empty() ? "" : changedWhileRead(changed));
            !agreed.empty())
            return R::failure(agreed);
        Result<DataShare> share = shared(read);
        if (!share) return R::failure(joined->named(share.error()), share.kind());
        describeFolder(share->data, listed, *joined,
                       share->total + share->data.missingClassCount());
        return share;
    }
    MappedFile file;
    error.clear();
    file.open(source.path, error);
    if (const std::string agreed = agreedError(collective, error); !agreed.empty())
        return R::failure(agreed);
    if (const std::string agreed = agreedError(
            collective,
            copiesDiffer(collective, source.path, file.text(), namesText, source.namesPath));
        !agreed.empty())
        return R::failure(agreed);
    Result<Dataset> read =
        readTextShares(file.text(), source.format, namesView, options, source.path,
                       source.namesPath, collective, &file, nullptr);
    if (const std::string agreed =
            agreedError(collective, file.changed() ? changedWhileRead(source.path) : "");
        !agreed.empty())
        return R::failure(agreed);
    return shared(read);
}

Result<Dataset> readData(const DataSource& source, const ReadOptions& options,
                         Collective& collective) {
    Result<DataShare> share = readDataShare(source, options, collective);
    if (!share) return share.failureAs<Dataset>();
    Dataset data = std::move(share->data);
    if (collective.size() > 1) {
        try {
            gatherRows(data, collective);
        } catch (const std::invalid_argument& e) {
            return Result<Dataset>::failure(data.dataPath() + ": " + e.what());
        }
    }
    return data;
}

Result<Dataset> readData(const DataSource& source, const MappedFile& file,
                         const ReadOptions& options) {
    std::optional<std::string> namesText;
    if (const std::string error = readNamesText(source, namesText); !error.empty())
        return Result<Dataset>::failure(error);
    return readOpened(source, file, namesText, options);
}

Result<FileColumns> readColumns(const DataSource& given, HeaderRule header, char delimiter) {
    using R = Result<FileColumns>;
    // A folder's columns are those of its first data file.
    DataSource source = given;
    if (source.folder) {
        if (source.shards.empty())
            if (const Status listed = listDataFolder(source); !listed)
                return R::failure(listed.error(), listed.kind());
        source.path = source.shards.front();
        source.folder = false;
    }
    std::optional<std::string> namesText;
    if (const std::string error = readNamesText(source, namesText); !error.empty())
        return R::failure(error);
    MappedFile file;
    std::string error;
    if (!file.open(source.path, error)) return R::failure(error);
    ReadOptions options;
    options.columns.classAbsent = true;
    options.columns.header = header;
    options.columns.delimiter = delimiter;
    std::optional<std::string_view> namesView;
    if (namesText) namesView = *namesText;
    const Result<Prepared> prepared = prepare(skipByteOrderMark(file.text()), source.format,
                                              namesView, options, source.path, source.namesPath);
    if (file.changed()) return R::failure(changedWhileRead(source.path));
    if (!prepared) return prepared.failureAs<FileColumns>();
    FileColumns columns;
    columns.declared = prepared->names && source.format == DataFormat::Records;
    columns.named = !prepared->guess || prepared->guess->header;
    columns.names = prepared->layout.attributeNames;
    return columns;
}

Result<Dataset> parseDataset(std::string_view data, std::optional<std::string_view> names,
                             const std::string& dataName, const std::string& namesName,
                             std::size_t threads) {
    ReadOptions options;
    options.keepIds = true;
    return parseData(data, DataFormat::Records, names, options, dataName, namesName, threads);
}

Result<Dataset> readDataset(const std::string& base, const ReadLimits& limits) {
    DataSource source;
    source.path = base + ".data";
    source.base = base;
    source.namesPath = base + ".names";
    ReadOptions options;
    options.limits = limits;
    options.keepIds = true;
    return readData(source, options);
}

}  // namespace mining
