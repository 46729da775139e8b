#include "data/dataset_builder.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <optional>
#include <type_traits>

#include "data/text_fields.h"
#include "util/parallel.h"

namespace mining {

namespace {

// Below this size one thread reads the whole text.
constexpr std::size_t kMinBytesPerThread = std::size_t{8} << 20;
constexpr std::size_t kMaxThreads = 4;

std::size_t chooseThreads(std::size_t threads, std::size_t textSize) {
    if (threads != 0) return threads;
    return std::min(
        {coreCount(), kMaxThreads, std::max<std::size_t>(1, textSize / kMinBytesPerThread)});
}

// What reading every part came to: the first failure in file order, or whether a column taken
// as numeric turned out not to be, which means reading again.
struct PartsVerdict {
    std::optional<std::string> error;
    bool quoteLeftOpen = false;  // the failing line left a double-quoted field open
    bool restart = false;
    // Where the parts need not start the text: the error as it reads when the failing record is
    // the text's first (a record of another number of fields than a .names file declares).
    std::string firstRecordError;
};

// A failure counts only when no earlier part had to restart: a restart would have stopped a
// single reader before it reached the failing line.
// The first record of a text read against a .names file that has another number of fields
// than the .names file declares shows the .names file at fault, not the data.
PartsVerdict judgeParts(const std::vector<std::unique_ptr<PartParser>>& parts,
                        const RecordLayout& layout, const LineNamer& namer, bool textStart = true) {
    PartsVerdict verdict;
    std::size_t linesBefore = 0;
    std::size_t recordsBefore = 0;
    for (const auto& part : parts) {
        if (part->outcome() == PartOutcome::Restart) {
            verdict.restart = true;
        } else if (part->outcome() == PartOutcome::Failed && !verdict.restart) {
            const std::string line = nameLine(namer, linesBefore + part->errorLine());
            const bool firstRecord =
                recordsBefore == 0 && part->kept() == 0 && part->missingClassCount() == 0;
            if (layout.names != nullptr && firstRecord && part->wrongFieldCount() > 0) {
                const std::size_t declared = layout.fieldCount - 1;
                std::string& error = textStart ? verdict.error.emplace() : verdict.firstRecordError;
                error = layout.namesName + " declares " + std::to_string(declared) +
                        (declared == 1 ? " attribute" : " attributes") + " and the class (" +
                        std::to_string(layout.fieldCount) + " fields), but the first record of " +
                        layout.dataName + ", " + line + ", has " +
                        std::to_string(part->wrongFieldCount()) + " fields";
                if (textStart) return verdict;
            }
            verdict.error = layout.dataName + ", " + line + ": " + part->error();
            verdict.quoteLeftOpen = part->quoteLeftOpen();
            return verdict;
        }
        linesBefore += part->lineCount();
        recordsBefore += part->kept() + part->missingClassCount();
    }
    return verdict;
}

// Returns why a text of `total` records with a class and `missing` without one cannot be read,
// or "".
std::string emptyTextError(const RecordLayout& layout, std::size_t total, std::size_t missing) {
    if (total == 0 && missing == 0) return layout.dataName + " holds no records";
    if (total == 0)
        return layout.dataName + " holds no record with a class value (" + std::to_string(missing) +
               " records have '?' as class)";
    if (total > 0xFFFFFFFFull)
        return layout.dataName + " holds more records than can be handled (4294967295)";
    return "";
}

// Adds to `data` the missing marks its records held beyond the quiet ones, and the note on the
// comment lines skipped.
void noteMarksAndComments(const RecordLayout& layout, const MarkTally& marks, std::size_t comments,
                          Dataset& data) {
    for (const MarkCount& m : marks.counts())
        data.addMissingCount({m.column, layout.missingTokens.text(m.mark), m.count, {}});
    if (comments > 0)
        data.addReadNote("skipped " + std::to_string(comments) +
                         (comments == 1 ? " comment line" : " comment lines") +
                         " starting with '#'");
}

// Returns, for each run of `text`, the rows its part may need. Only the rows before the last
// part decide where a part starts, so only the earlier runs' lines are counted, each in `pieces`
// pieces at once; the last part is given rows for as many records as its bytes could hold.
std::vector<std::size_t> rowsOfRuns(std::string_view text,
                                    const std::vector<std::pair<std::size_t, std::size_t>>& runs,
                                    std::size_t fieldsInLine, std::size_t pieces) {
    const std::size_t counted = runs.size() - 1;
    std::vector<std::size_t> lines(counted * pieces);
    runTasks(lines.size(), [&](std::size_t t) {
        const auto [begin, end] = runs[t / pieces];
        const std::size_t step = (end - begin) / pieces + 1;
        const std::size_t from = std::min(end, begin + t % pieces * step);
        lines[t] = countLineEnds(text.substr(from, std::min(end, from + step) - from));
    });
    std::vector<std::size_t> rows(runs.size());
    for (std::size_t k = 0; k < runs.size(); ++k) {
        const std::size_t bytes = runs[k].second - runs[k].first;
        std::size_t n = bytes;  // more than the records the last run could hold
        if (k < counted) {
            n = 0;
            for (std::size_t p = 0; p < pieces; ++p) n += lines[k * pieces + p];
        }
        rows[k] = rowsNeeded(n, bytes, fieldsInLine);
    }
    return rows;
}

// Returns the shared codes of `rows` unset rows for a column of `listed` values known ahead
// (0 when its list is open): one byte a row unless more are listed than a byte tells apart.
SharedCodes allocateCodes(std::size_t listed, std::size_t rows) {
    SharedCodes codes;
    codes.narrow = listed <= CodeColumn::kMaxByteValues;
    if (codes.narrow)
        codes.bytes.resize(rows);
    else
        codes.wide.resize(rows);
    return codes;
}

// Returns columns of `rows` unset rows for the attributes `layout` keeps and the class.
SharedColumns allocateColumns(const RecordLayout& layout, std::size_t rows) {
    SharedColumns columns;
    const std::size_t attributes = layout.fieldCount - 1;
    columns.numbers.resize(attributes);
    columns.codes.resize(attributes + 1);
    for (std::size_t i = 0; i < attributes; ++i) {
        if (layout.types[i] == AttributeType::Numeric) columns.numbers[i].resize(rows);
        if (layout.types[i] == AttributeType::Nominal)
            columns.codes[i] =
                allocateCodes(layout.names ? layout.names->attributes[i].values.size() : 0, rows);
    }
    columns.codes.back() = allocateCodes(layout.names ? layout.names->classValues.size() : 0, rows);
    return columns;
}

// Moves `n` codes from `from` down to `to` (to <= from), each recoded by `recode` unless
// `same`; a missing code stays missing. Reading and writing in order is safe.
template <class Code>
void moveCodes(const Code* from, Code* to, std::size_t n, const std::vector<std::int32_t>& recode,
               bool same) {
    if (same) {
        if (from != to) std::memmove(to, from, n * sizeof(Code));
        return;
    }
    for (std::size_t r = 0; r < n; ++r) {
        if constexpr (std::is_same_v<Code, std::uint8_t>)
            to[r] = from[r] == CodeSpan::kMissingByte ? from[r] : codeByte(recode[from[r]]);
        else
            to[r] = from[r] < 0 ? from[r] : recode[static_cast<std::size_t>(from[r])];
    }
}

// Joins one nominal column (or the class) of the parts: `values` becomes the first part's value
// list followed by the values later parts add, in order, and each part's kept rows move to their
// place in the result, recoded where its own list differs. The codes stay in `shared` when they
// fit its width; else (a part's codes outgrew one byte, or the joined list did) they are widened
// into a new column. `valuesOf` picks the column's value list from a part.
template <class ValuesOf>
CodeColumn joinCodes(SharedCodes& shared, std::size_t column, std::vector<std::string>& values,
                     std::vector<std::unique_ptr<PartParser>>& parts, ValuesOf valuesOf,
                     std::size_t total) {
    values = std::move(valuesOf(*parts[0]));
    ValueCoder coder(&values, false);
    std::vector<std::vector<std::int32_t>> recodes(parts.size());
    std::vector<bool> same(parts.size(), true);
    bool own = parts[0]->codes(column).own();
    for (std::size_t k = 1; k < parts.size(); ++k) {
        const std::vector<std::string>& partValues = valuesOf(*parts[k]);
        recodes[k].resize(partValues.size());
        same[k] = partValues.size() <= values.size();
        for (std::size_t v = 0; v < partValues.size(); ++v) {
            recodes[k][v] = coder.code(partValues[v]);
            same[k] = same[k] && recodes[k][v] == static_cast<std::int32_t>(v);
        }
        own = own || parts[k]->codes(column).own();
    }
    if (shared.narrow && (own || values.size() > CodeColumn::kMaxByteValues)) {
        ColumnVector<std::int32_t> wide(total);
        std::size_t target = 0;
        for (std::size_t k = 0; k < parts.size(); ++k) {
            const CodeSpan from = parts[k]->codes(column).written(parts[k]->kept());
            for (std::size_t r = 0; r < from.size(); ++r) {
                const std::int32_t code = from[r];
                wide[target + r] =
                    code < 0 || same[k] ? code : recodes[k][static_cast<std::size_t>(code)];
            }
            target += from.size();
            parts[k]->codes(column).release();
        }
        shared.bytes = ColumnVector<std::uint8_t>();
        return CodeColumn(std::move(wide));
    }
    std::size_t target = parts[0]->kept();
    for (std::size_t k = 1; k < parts.size(); ++k) {
        const std::size_t from = parts[k]->firstRow();
        const std::size_t n = parts[k]->kept();
        if (shared.narrow)
            moveCodes(shared.bytes.data() + from, shared.bytes.data() + target, n, recodes[k],
                      same[k]);
        else
            moveCodes(shared.wide.data() + from, shared.wide.data() + target, n, recodes[k],
                      same[k]);
        target += n;
    }
    // The rows beyond were never touched, or held lines without a record.
    if (shared.narrow) {
        shared.bytes.resize(total);
        return CodeColumn(std::move(shared.bytes));
    }
    shared.wide.resize(total);
    return CodeColumn(std::move(shared.wide));
}

// The bytes of windows a sample asks to be brought in ahead of the group being read, and the
// bytes past a window's end asked for with it, for the line across its end.
constexpr std::uint64_t kReadAheadBytes = std::uint64_t{64} << 20;
constexpr std::uint64_t kLineSlack = 4096;
// The bytes around a group's runs let go with them (see readGroup).
constexpr std::size_t kNearBytes = std::size_t{1} << 20;

// One group of strata of a sample: its windows, its rows of the shared columns, and, once read,
// its runs of lines and their reader.
struct SampleGroup {
    std::size_t firstStratum = 0;
    std::size_t endStratum = 0;
    std::uint64_t bytes = 0;  // of its windows
    std::size_t firstRow = 0;
    std::size_t rows = 0;
    std::vector<TextRange> ranges;
    std::unique_ptr<PartParser> part;
};

// Returns the groups `sample` is read in, each given rows for as many records as its runs can
// hold: a record takes `fields` bytes at least, and a run holds, beside the lines within its
// window, the line across the window's end and, in the first stratum, the text's first line.
std::vector<SampleGroup> planGroups(const SampledText& sample, std::size_t fields) {
    const std::vector<std::size_t> firsts = groupStrata(sample.windows, sample.groupBytes);
    std::vector<SampleGroup> groups(firsts.size() - 1);
    std::size_t row = 0;
    for (std::size_t g = 0; g < groups.size(); ++g) {
        SampleGroup& group = groups[g];
        group.firstStratum = firsts[g];
        group.endStratum = firsts[g + 1];
        group.firstRow = row;
        for (std::size_t k = group.firstStratum; k < group.endStratum; ++k) {
            const std::uint64_t length = sample.windows[k].length;
            group.bytes += length;
            group.rows += static_cast<std::size_t>(length) / std::max<std::size_t>(fields, 1) + 2;
        }
        row += group.rows;
    }
    return groups;
}

// Hands out the groups of a sample, in spreadOrder(), to the threads that read them; asks for
// the windows of the groups next in turn to be brought in; hands out none once the deadline has
// passed, but always the first.
class GroupDispenser {
public:
    GroupDispenser(const std::vector<SampleGroup>& groups, const SampledText& sample)
        : groups_(groups), sample_(sample), order_(spreadOrder(groups.size())) {}

    // Returns the next group to read, or nothing when none is left or the deadline has passed.
    std::optional<std::size_t> next() {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (taken_ == order_.size()) return std::nullopt;
        if (taken_ > 0 && sample_.deadline != nullptr && sample_.deadline->passed()) {
            cut_ = true;
            taken_ = order_.size();
            return std::nullopt;
        }
        const std::size_t group = order_[taken_++];
        takenBytes_ += groups_[group].bytes;
        adviseAhead();
        return group;
    }

    bool cut() const { return cut_; }

private:
    // Asks for the windows of the groups in turn up to kReadAheadBytes beyond those handed out.
    void adviseAhead() {
        if (!sample_.willNeed) return;
        while (advised_ < order_.size() && advisedBytes_ < takenBytes_ + kReadAheadBytes) {
            const SampleGroup& group = groups_[order_[advised_++]];
            for (std::size_t k = group.firstStratum; k < group.endStratum; ++k) {
                const SampleWindow& w = sample_.windows[k];
                sample_.willNeed(static_cast<std::size_t>(w.offset),
                                 static_cast<std::size_t>(w.offset + w.length + kLineSlack));
            }
            advisedBytes_ += group.bytes;
        }
    }

    const std::vector<SampleGroup>& groups_;
    const SampledText& sample_;
    const std::vector<std::size_t> order_;
    std::mutex mutex_;
    std::size_t taken_ = 0;
    std::size_t advised_ = 0;
    std::uint64_t takenBytes_ = 0;
    std::uint64_t advisedBytes_ = 0;
    bool cut_ = false;
};

// Reads the runs of lines of `group`'s windows of `text` into its rows of `columns`.
void readGroup(std::string_view text, const RecordLayout& layout, const SampledText& sample,
               SampleGroup& group, SharedColumns& columns) {
    std::vector<TextPiece> pieces;
    for (std::size_t k = group.firstStratum; k < group.endStratum; ++k) {
        const TextRange range = sampleRange(text, sample.windows[k], k == 0, '\n');
        if (range.begin == range.end) continue;
        group.ranges.push_back(range);
        pieces.push_back({text.substr(range.begin, range.end - range.begin), range.begin});
    }
    group.part = std::make_unique<PartParser>(layout, std::move(pieces), sample.release, columns,
                                              group.firstRow, group.rows);
    group.part->run();
    // Touching a page of a mapped file maps some of its neighbours too: the whole span of the
    // group's runs goes, with room on either side.
    if (sample.release && !group.ranges.empty())
        sample.release(
            group.ranges.front().begin - std::min(group.ranges.front().begin, kNearBytes),
            std::min(text.size(), group.ranges.back().end + kNearBytes));
}

// Reads the groups of `sample` as the dispenser hands them out, on sample.threads threads.
// Returns true when the deadline stopped the reading.
bool readGroups(std::string_view text, const RecordLayout& layout, const SampledText& sample,
                std::vector<SampleGroup>& groups, SharedColumns& columns) {
    GroupDispenser dispenser(groups, sample);
    const std::size_t threads = sample.threads == 0 ? coreCount() : sample.threads;
    runTasks(std::min(threads, groups.size()), [&](std::size_t) {
        while (const std::optional<std::size_t> g = dispenser.next())
            readGroup(text, layout, sample, groups[*g], columns);
    });
    return dispenser.cut();
}

// Returns the readers of the groups read, in text order, and tells `sample` which runs and how
// many strata they read.
std::vector<std::unique_ptr<PartParser>> takeParts(std::vector<SampleGroup>& groups,
                                                   SampledText& sample) {
    std::vector<std::unique_ptr<PartParser>> parts;
    sample.ranges.clear();
    sample.strataRead = 0;
    for (SampleGroup& group : groups) {
        if (!group.part) continue;
        parts.push_back(std::move(group.part));
        sample.ranges.insert(sample.ranges.end(), group.ranges.begin(), group.ranges.end());
        sample.strataRead += group.endStratum - group.firstStratum;
    }
    return parts;
}

}  // namespace

Result<Dataset> DatasetBuilder::build(std::string_view text, const NamesFile* names,
                                      const std::string& dataName, const std::string& namesName,
                                      std::size_t threads, const ReleaseCallback& release,
                                      const LineNamer& namer) {
    text = skipByteOrderMark(text);
    // Lines ended by a carriage return alone are read from a copy with '\n' ends; it has the
    // same length, so offsets given to `release` still match the original text.
    std::string newlineCopy;
    if (endsLinesWithCarriageReturns(text)) {
        newlineCopy = carriageReturnsToNewlines(text);
        text = newlineCopy;
    }
    Result<RecordLayout> layout =
        names ? layoutFromNames(*names, namesName) : layoutFromFirstRecord(text, dataName, namer);
    if (!layout) return Result<Dataset>::failure(layout.error());
    layout->dataName = dataName;
    layout->namesName = namesName;
    return readParts(text, *layout, threads, release, namer);
}

Result<Dataset> DatasetBuilder::buildWith(std::string_view text, RecordLayout layout,
                                          std::size_t threads, const ReleaseCallback& release,
                                          const LineNamer& namer) {
    std::string newlineCopy;
    if (endsLinesWithCarriageReturns(text)) {
        newlineCopy = carriageReturnsToNewlines(text);
        text = newlineCopy;
    }
    return readParts(text, layout, threads, release, namer);
}

namespace {

// Reads each run of lines `runs` of `text` into its rows of `columns` (`rows[k]` for run k), all
// at once, and returns their readers in text order.
std::vector<std::unique_ptr<PartParser>> readRuns(
    const RecordLayout& layout, std::string_view text,
    const std::vector<std::pair<std::size_t, std::size_t>>& runs,
    const std::vector<std::size_t>& rows, const ReleaseCallback& release, SharedColumns& columns,
    bool quoteAware) {
    std::vector<std::unique_ptr<PartParser>> parts;
    std::size_t firstRow = 0;
    for (std::size_t k = 0; k < runs.size(); ++k) {
        const auto [begin, end] = runs[k];
        parts.push_back(std::make_unique<PartParser>(layout, text.substr(begin, end - begin), begin,
                                                     release, columns, firstRow, rows[k],
                                                     quoteAware));
        firstRow += rows[k];
    }
    runTasks(parts.size(), [&parts](std::size_t k) { parts[k]->run(); });
    return parts;
}

}  // namespace

// Without .names, reading starts again whenever a column taken as numeric turns out not to be;
// each restart settles at least one more column.
Result<Dataset> DatasetBuilder::readParts(std::string_view text, RecordLayout& layout,
                                          std::size_t threads, const ReleaseCallback& release,
                                          const LineNamer& namer) {
    auto runs = splitAtLines(text, chooseThreads(threads, text.size()));
    std::vector<std::size_t> rows = rowsOfRuns(text, runs, layout.fieldsInLine(), runs.size());
    std::size_t totalRows = 0;
    for (const std::size_t r : rows) totalRows += r;
    bool quoteAware = false;
    while (true) {
        SharedColumns columns = allocateColumns(layout, totalRows);
        Parts parts = readRuns(layout, text, runs, rows, release, columns, quoteAware);
        const PartsVerdict verdict = judgeParts(parts, layout, namer);
        if (verdict.error && verdict.quoteLeftOpen && !quoteAware) {
            // Quoted fields over several lines: parts may start inside one, so the whole text
            // is read again as one part that follows the quotes.
            quoteAware = true;
            runs = {{0, text.size()}};
            rows = {rowsNeeded(text.size(), text.size(), layout.fieldsInLine())};
            totalRows = rows[0];
            continue;
        }
        if (verdict.error) return Result<Dataset>::failure(*verdict.error);
        if (!verdict.restart) return finish(layout, parts, columns);
        for (const auto& part : parts)
            if (part->outcome() == PartOutcome::Restart)
                layout.types[part->restartColumn()] = AttributeType::Nominal;
    }
}

// As readParts(), each group of strata read by a part of its own; the first group, the text's
// first stratum, is always read, so the parts' rows start at row 0 as finish() needs. Lines of
// quoted fields over several lines are rare enough to be read from a copy.
Result<Dataset> DatasetBuilder::buildSample(std::string_view text, RecordLayout layout,
                                            SampledText& sample) {
    while (true) {
        std::vector<SampleGroup> groups = planGroups(sample, layout.fieldsInLine());
        std::size_t totalRows = 0;
        for (const SampleGroup& group : groups) totalRows += group.rows;
        SharedColumns columns = allocateColumns(layout, totalRows);
        sample.cut = readGroups(text, layout, sample, groups, columns);
        Parts parts = takeParts(groups, sample);
        const RecordSample lines(text, sample.ranges, '\n');
        const LineNamer namer = [&lines, &sample](std::size_t line) {
            return lines.nameLine(line, sample.offsetBase, sample.linesBefore);
        };
        const PartsVerdict verdict = judgeParts(parts, layout, namer);
        // A quoted field over several lines: the lines read are gathered into one text, read by
        // a reader that follows the quotes over line ends and over the ends of runs.
        if (verdict.error && verdict.quoteLeftOpen) {
            parts.clear();
            columns = SharedColumns();
            return buildWith(lines.gather(), layout, sample.threads, {}, namer);
        }
        if (verdict.error) return Result<Dataset>::failure(*verdict.error);
        if (!verdict.restart) return finish(layout, parts, columns);
        for (const auto& part : parts)
            if (part->outcome() == PartOutcome::Restart)
                layout.types[part->restartColumn()] = AttributeType::Nominal;
    }
}

// Makes the Dataset of what the parts read, joining each column on its own.
Result<Dataset> DatasetBuilder::finish(const RecordLayout& layout, Parts& parts,
                                       SharedColumns& columns) {
    std::size_t total = 0;
    std::size_t missing = 0;
    std::size_t comments = layout.commentsBefore;
    for (const auto& part : parts) {
        total += part->kept();
        missing += part->missingClassCount();
        comments += part->commentCount();
    }
    if (const std::string empty = emptyTextError(layout, total, missing); !empty.empty())
        return Result<Dataset>::failure(empty);
    Dataset data = assemble(layout, parts, columns, total);
    MarkTally marks;
    for (const auto& part : parts) marks.addAll(part->marks());
    noteMarksAndComments(layout, marks, comments, data);
    return data;
}

// The data set of the parts' records, their value lists joined, without the missing marks and
// the notes.
Dataset DatasetBuilder::assemble(const RecordLayout& layout, Parts& parts, SharedColumns& columns,
                                 std::size_t total) {
    Dataset data;
    const std::size_t attributes = layout.fieldCount - 1;
    if (layout.names) {
        data.attributes_ = layout.names->attributes;
    } else {
        data.attributes_.resize(attributes);
        for (std::size_t i = 0; i < attributes; ++i) {
            data.attributes_[i].name = layout.attributeNames[i];
            data.attributes_[i].type = layout.types[i];
        }
    }
    data.numeric_.resize(attributes);
    data.nominal_.resize(attributes);
    runTasks(attributes + 1, [&](std::size_t c) { joinColumn(layout, c, parts, columns, data); });
    std::size_t missing = 0;
    for (const auto& part : parts) missing += part->missingClassCount();
    data.missingClassCount_ = missing;
    data.className_ = layout.className;
    data.classField_ = layout.classField;
    if (layout.recordLines) {
        // Each part numbers its lines from 1; the text's lines before it come first.
        data.recordLines_.reserve(total);
        std::size_t linesBefore = 0;
        for (const auto& part : parts) {
            for (const std::size_t line : part->rowLines())
                data.recordLines_.push_back(linesBefore + line);
            linesBefore += part->lineCount();
        }
    }
    data.dataPath_ = layout.dataName;
    data.namesPath_ = layout.names ? layout.namesName : std::string();
    return data;
}

ShareRead DatasetBuilder::readShare(std::string_view share, RecordLayout layout,
                                    bool carriageReturns, std::size_t threads,
                                    const LineNamer& namer, bool quoteAware,
                                    const ReleaseCallback& release,
                                    const ReleaseCallback& bringIn) {
    std::string newlineCopy;
    if (carriageReturns) {
        newlineCopy = carriageReturnsToNewlines(share);
        share = newlineCopy;
    }
    // Quoted fields over line ends are followed by one part from the share's start.
    const auto runs = quoteAware
                          ? std::vector<std::pair<std::size_t, std::size_t>>{{0, share.size()}}
                          : splitAtLines(share, chooseThreads(threads, share.size()));
    const std::vector<std::size_t> rows =
        rowsOfRuns(share, runs, layout.fieldsInLine(), runs.size());
    std::size_t totalRows = 0;
    for (const std::size_t r : rows) totalRows += r;
    // A copy's bytes are not the file's; the file's pages read again if a part is read again.
    const ReleaseCallback done = carriageReturns ? ReleaseCallback() : release;
    ShareRead read;
    for (bool first = true;; first = false) {
        if (!first && done && bringIn) bringIn(0, share.size());
        SharedColumns columns = allocateColumns(layout, totalRows);
        Parts parts = readRuns(layout, share, runs, rows, done, columns, quoteAware);
        const PartsVerdict verdict = judgeParts(parts, layout, namer, false);
        read.types = layout.types;
        if (verdict.error) {
            read.error = *verdict.error;
            read.firstRecordError = verdict.firstRecordError;
            read.quoteLeftOpen = verdict.quoteLeftOpen;
            return read;
        }
        if (!verdict.restart) {
            std::size_t total = 0;
            for (const auto& part : parts) {
                total += part->kept();
                read.comments += part->commentCount();
                read.marks.addAll(part->marks());
            }
            read.data = assemble(layout, parts, columns, total);
            read.kept = read.data->recordCount();
            read.missingClass = read.data->missingClassCount();
            return read;
        }
        for (const auto& part : parts)
            if (part->outcome() == PartOutcome::Restart)
                layout.types[part->restartColumn()] = AttributeType::Nominal;
    }
}

// Joins column `column` of the parts (the class when it is fieldCount - 1) into `data`.
void DatasetBuilder::joinColumn(const RecordLayout& layout, std::size_t column, Parts& parts,
                                SharedColumns& columns, Dataset& data) {
    std::size_t total = 0;
    for (const auto& part : parts) total += part->kept();
    if (column + 1 == layout.fieldCount) {
        data.classes_ = joinCodes(
            columns.codes[column], column, data.classValues_, parts,
            [](PartParser & p) -> auto& { return p.classValues(); }, total);
    } else if (layout.types[column] == AttributeType::Numeric) {
        std::vector<SliceRows> slices;
        std::size_t target = 0;
        for (const auto& part : parts) {
            slices.push_back(SliceRows{&part->slice(column), part->kept(), target});
            target += part->kept();
        }
        data.numeric_[column] = joinSlices(slices, columns.numbers[column], total);
    } else if (layout.types[column] == AttributeType::Nominal) {
        data.nominal_[column] = joinCodes(
            columns.codes[column], column, data.attributes_[column].values,
            parts, [column](PartParser & p) -> auto& { return p.values(column); }, total);
    }
}

ShareRead DatasetBuilder::schemaOf(const ShareRead& share) {
    ShareRead schema;
    schema.types = share.types;
    schema.error = share.error;
    schema.firstRecordError = share.firstRecordError;
    schema.quoteLeftOpen = share.quoteLeftOpen;
    schema.marks = share.marks;
    schema.comments = share.comments;
    schema.kept = share.kept;
    schema.missingClass = share.missingClass;
    if (share.data) {
        Dataset& d = schema.data.emplace();
        d.attributes_ = share.data->attributes_;
        d.classValues_ = share.data->classValues_;
        d.numeric_.resize(d.attributes_.size());
        d.nominal_.resize(d.attributes_.size());
        for (std::size_t a = 0; a < d.attributes_.size(); ++a)
            if (d.attributes_[a].type == AttributeType::Nominal)
                d.nominal_[a] = CodeColumn(ColumnVector<std::uint8_t>());
    }
    return schema;
}

Result<ShareRead> DatasetBuilder::joinSchemas(const RecordLayout& layout,
                                              const std::vector<ShareRead>& schemas) {
    ShareRead whole;
    whole.types = layout.types;
    whole.comments = layout.commentsBefore;
    Dataset& d = whole.data.emplace();
    const std::size_t attributes = layout.fieldCount - 1;
    d.attributes_.resize(attributes);
    d.numeric_.resize(attributes);
    d.nominal_.resize(attributes);
    std::vector<ValueCoder> coders;
    coders.reserve(attributes + 1);
    for (std::size_t a = 0; a < attributes; ++a)
        coders.emplace_back(&d.attributes_[a].values, false);
    coders.emplace_back(&d.classValues_, false);
    for (const ShareRead& schema : schemas) {
        if (!schema.data || schema.types != layout.types)
            return Result<ShareRead>::failure(layout.dataName +
                                              ": the processes read their shares differently");
        whole.kept += schema.kept;
        whole.missingClass += schema.missingClass;
        whole.comments += schema.comments;
        whole.marks.addAll(schema.marks);
        const Dataset& part = *schema.data;
        for (std::size_t a = 0; a < attributes; ++a) {
            d.attributes_[a].name = part.attributes_[a].name;
            d.attributes_[a].type = part.attributes_[a].type;
            if (part.attributes_[a].type == AttributeType::Nominal)
                for (const std::string& value : part.attributes_[a].values) coders[a].code(value);
        }
        for (const std::string& value : part.classValues_) coders.back().code(value);
    }
    if (const std::string empty = emptyTextError(layout, static_cast<std::size_t>(whole.kept),
                                                 static_cast<std::size_t>(whole.missingClass));
        !empty.empty())
        return Result<ShareRead>::failure(empty);
    for (std::size_t a = 0; a < attributes; ++a)
        if (d.attributes_[a].type == AttributeType::Nominal)
            d.nominal_[a] = CodeColumn(ColumnVector<std::uint8_t>());
    return whole;
}

namespace {

// Returns `codes` (by `from`'s values) coded by `to`'s values, which hold every one of them.
CodeColumn recoded(CodeSpan codes, const std::vector<std::string>& from,
                   std::vector<std::string>& to) {
    ValueCoder coder(&to, true);
    std::vector<std::int32_t> recode(from.size());
    for (std::size_t v = 0; v < from.size(); ++v) recode[v] = coder.code(from[v]);
    const bool narrow = to.size() <= CodeColumn::kMaxByteValues;
    ColumnVector<std::uint8_t> bytes(narrow ? codes.size() : 0);
    ColumnVector<std::int32_t> wide(narrow ? 0 : codes.size());
    for (std::size_t r = 0; r < codes.size(); ++r) {
        const std::int32_t code = codes[r];
        const std::int32_t joined = code < 0 ? code : recode[static_cast<std::size_t>(code)];
        if (narrow)
            bytes[r] = joined < 0 ? CodeSpan::kMissingByte : codeByte(joined);
        else
            wide[r] = joined;
    }
    return narrow ? CodeColumn(std::move(bytes)) : CodeColumn(std::move(wide));
}

}  // namespace

Dataset DatasetBuilder::localise(ShareRead* share, const ShareRead& whole,
                                 const RecordLayout& layout, std::uint64_t linesBefore,
                                 std::uint64_t textBytes) {
    Dataset data;
    const Dataset& schema = *whole.data;
    data.attributes_ = schema.attributes_;
    data.classValues_ = schema.classValues_;
    const std::size_t attributes = data.attributes_.size();
    data.numeric_.resize(attributes);
    data.nominal_.resize(attributes);
    Dataset* own = share != nullptr && share->data ? &*share->data : nullptr;
    for (std::size_t a = 0; a < attributes; ++a) {
        if (data.attributes_[a].type == AttributeType::Numeric && own != nullptr)
            data.numeric_[a] = std::move(own->numeric_[a]);
        else if (data.attributes_[a].type == AttributeType::Nominal)
            data.nominal_[a] = own != nullptr ? recoded(own->nominal(a), own->attributes_[a].values,
                                                        data.attributes_[a].values)
                                              : CodeColumn(ColumnVector<std::uint8_t>());
    }
    data.classes_ = own != nullptr ? recoded(own->classes(), own->classValues_, data.classValues_)
                                   : CodeColumn(ColumnVector<std::uint8_t>());
    if (own != nullptr) {
        data.recordLines_ = std::move(own->recordLines_);
        for (std::uint64_t& line : data.recordLines_) line += linesBefore;
        share->data.reset();
    }
    data.missingClassCount_ = static_cast<std::size_t>(whole.missingClass);
    data.className_ = layout.className;
    data.classField_ = layout.classField;
    data.dataPath_ = layout.dataName;
    data.namesPath_ = layout.names ? layout.namesName : std::string();
    noteMarksAndComments(layout, whole.marks, whole.comments, data);
    data.sample_ = SampleInfo{false, textBytes, textBytes, whole.records()};
    return data;
}

void DatasetBuilder::appendRows(Dataset& into, Dataset& from) {
    const auto appendCodes = [](CodeColumn& to, CodeColumn& more) {
        if (more.size() == 0) return;
        if (to.narrow() && more.narrow()) {
            ColumnVector<std::uint8_t> bytes(to.size() + more.size());
            std::copy(to.bytes().begin(), to.bytes().end(), bytes.begin());
            std::copy(more.bytes().begin(), more.bytes().end(),
                      bytes.begin() + static_cast<std::ptrdiff_t>(to.size()));
            to = CodeColumn(std::move(bytes));
        } else {
            ColumnVector<std::int32_t> wide(to.size() + more.size());
            const CodeSpan a = to.view();
            const CodeSpan b = more.view();
            for (std::size_t r = 0; r < a.size(); ++r) wide[r] = a[r];
            for (std::size_t r = 0; r < b.size(); ++r) wide[a.size() + r] = b[r];
            to = CodeColumn(std::move(wide));
        }
        more = CodeColumn();
    };
    for (std::size_t a = 0; a < into.attributes_.size(); ++a) {
        if (into.attributes_[a].type == AttributeType::Numeric)
            into.numeric_[a].appendAndClear(from.numeric_[a]);
        else if (into.attributes_[a].type == AttributeType::Nominal)
            appendCodes(into.nominal_[a], from.nominal_[a]);
    }
    appendCodes(into.classes_, from.classes_);
    into.recordLines_.insert(into.recordLines_.end(), from.recordLines_.begin(),
                             from.recordLines_.end());
    from = Dataset();
}

}  // namespace mining
