// A seeded sample read where its lines lie must give what reading the same lines copied into one
// text gives, whatever the grouping, the threads and the line ends; a deadline stops it early.
#include "data/dataset_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <random>
#include <set>

#include "same_dataset.h"

namespace mining {
namespace {

// Lines whose values first appear late, a column that turns nominal far into the text (the
// reading starts again), decimals that get finer, records without a class and blank lines.
std::string mixedLines(int lines, const std::string& lineEnd) {
    std::string text;
    for (int i = 0; i < lines; ++i) {
        text += std::to_string(i) + (i > lines / 2 ? ".25" : "");
        text += ", v" + std::to_string(i * 7 % (i < lines / 3 ? 3 : 40));
        text += i > lines * 3 / 4 && i % 97 == 0 ? ", late" : ", " + std::to_string(i % 5);
        text += (i % 37 == 0 ? ", ?" : ", c" + std::to_string(i % 4)) + lineEnd;
        if (i % 50 == 0) text += lineEnd;
    }
    return text;
}

// What a sample of a text gave read both ways.
struct BothWays {
    Result<Dataset> inPlace = Result<Dataset>::failure("not read");
    Result<Dataset> gathered = Result<Dataset>::failure("not read");
    SampledText sample;
};

// Reads the lines `ranges` of `text` copied into one text, as the reader did before.
Result<Dataset> readGathered(std::string_view text, std::vector<TextRange> ranges) {
    const RecordSample lines(text, std::move(ranges), '\n');
    const LineNamer namer = [&lines](std::size_t line) { return lines.nameLine(line, 0); };
    Result<RecordLayout> layout = layoutFromFirstRecord(text, "d");
    EXPECT_TRUE(layout.ok());
    layout->dataName = "d";
    return DatasetBuilder::buildWith(lines.gather(), *layout, 1, {}, namer);
}

// Reads the sample of `maxBytes` bytes and `seed` of `text` where its lines lie, in groups of
// at least `groupBytes` bytes on `threads` threads, and the same lines gathered.
BothWays readBothWays(std::string_view text, std::uint64_t maxBytes, std::uint64_t seed,
                      std::uint64_t groupBytes, std::size_t threads,
                      const Deadline* deadline = nullptr) {
    BothWays both;
    both.sample.windows = planSampleWindows(text.size(), maxBytes, seed);
    both.sample.groupBytes = groupBytes;
    both.sample.threads = threads;
    both.sample.deadline = deadline;
    Result<RecordLayout> layout = layoutFromFirstRecord(text, "d");
    EXPECT_TRUE(layout.ok());
    layout->dataName = "d";
    both.inPlace = DatasetBuilder::buildSample(text, *layout, both.sample);
    both.gathered = readGathered(text, both.sample.ranges);
    return both;
}

void expectSameBothWays(const BothWays& both) {
    ASSERT_EQ(both.inPlace.ok(), both.gathered.ok())
        << (both.inPlace.ok() ? both.gathered.error() : both.inPlace.error());
    if (!both.inPlace.ok()) {
        EXPECT_EQ(both.inPlace.error(), both.gathered.error());
        return;
    }
    expectSame(*both.inPlace, *both.gathered);
}

TEST(DatasetBuilderSample, ReadsTheSameRecordsAsTheGatheredLinesWhateverTheGroupsAndThreads) {
    for (const std::string lineEnd : {"\n", "\r\n"}) {
        const std::string text = mixedLines(20000, lineEnd);
        for (const std::uint64_t seed : {1u, 2u, 3u}) {
            const std::vector<TextRange> planned = chooseSampleRanges(text, 60000, seed, '\n');
            for (const std::uint64_t groupBytes :
                 {std::uint64_t{1}, std::uint64_t{9000}, kSampleGroupBytes}) {
                for (const std::size_t threads : {1u, 2u}) {
                    SCOPED_TRACE(testing::Message() << lineEnd.size() << " " << seed << " "
                                                    << groupBytes << " " << threads);
                    const BothWays both = readBothWays(text, 60000, seed, groupBytes, threads);
                    ASSERT_TRUE(both.inPlace.ok()) << both.inPlace.error();
                    expectSameBothWays(both);
                    EXPECT_FALSE(both.sample.cut);
                    EXPECT_EQ(both.sample.strataRead, both.sample.windows.size());
                    ASSERT_EQ(both.sample.ranges.size(), planned.size());
                    for (std::size_t k = 0; k < planned.size(); ++k)
                        EXPECT_EQ(both.sample.ranges[k].begin, planned[k].begin);
                    // The column that turns nominal late was read again as nominal.
                    EXPECT_EQ(both.inPlace->attribute(2).type, AttributeType::Nominal);
                }
            }
        }
    }
}

TEST(DatasetBuilderSample, OneStratumAndStrataWithoutALineReadAsGathered) {
    const std::string text = mixedLines(3000, "\n");
    expectSameBothWays(readBothWays(text, 3000, 5, 1, 2));  // below one window: one stratum
    // Lines of 20 kB: most windows of 4 kB hold no line end, and their strata no line.
    std::string longLines;
    for (int i = 0; i < 60; ++i)
        longLines += std::to_string(i) + ", " + std::string(20000, 'a' + i % 3) + ", c" +
                     std::to_string(i % 2) + "\n";
    const BothWays both = readBothWays(longLines, 100000, 1, 1, 2);
    ASSERT_TRUE(both.inPlace.ok()) << both.inPlace.error();
    EXPECT_LT(both.sample.ranges.size(), both.sample.windows.size());
    expectSameBothWays(both);
}

// Lines inserted far into the text, every 4000 bytes from its middle on.
std::string withLinesInserted(const std::string& lines) {
    std::string text = mixedLines(20000, "\n");
    for (std::size_t at = text.size() / 2; at < text.size(); at += 4000) {
        at = text.find('\n', at) + 1;
        text.insert(at, lines);
    }
    return text;
}

TEST(DatasetBuilderSample, QuotedLineEndsAndBadRecordsReadAsGathered) {
    // A quoted field over two lines: one record, as a reader that follows the quotes reads it.
    const std::string quoted = withLinesInserted("1, \"two\nlines\", 3, c1\n");
    // A field too few: the first one sampled fails, named by its byte offset.
    const std::string bad = withLinesInserted("1, 2, c1\n");
    for (const std::size_t threads : {1u, 2u}) {
        const BothWays both = readBothWays(quoted, 60000, 1, 9000, threads);
        ASSERT_TRUE(both.inPlace.ok()) << both.inPlace.error();
        expectSameBothWays(both);
        const BothWays failed = readBothWays(bad, 60000, 1, 9000, threads);
        ASSERT_FALSE(failed.inPlace.ok());
        EXPECT_EQ(failed.inPlace.error().rfind("d, the record at byte offset ", 0), 0u)
            << failed.inPlace.error();
        expectSameBothWays(failed);
    }
}

// A clock that moves on one second each time it is read.
Deadline::Clock slowClock() {
    auto now = std::make_shared<std::atomic<int>>(0);
    return [now] { return static_cast<double>(++*now); };
}

TEST(DatasetBuilderSample, ADeadlineStopsTheReadingBeforeItsNextGroupSpreadOverTheText) {
    const std::string text = mixedLines(20000, "\n");
    // Read before each group but the first: the third reading passes a deadline at 2.5, so three
    // groups of the eight are read, the first and those halfway and a quarter of the way.
    const Deadline deadline(slowClock(), 2.5);
    const BothWays cut = readBothWays(text, 82000, 1, 10000, 1, &deadline);
    ASSERT_TRUE(cut.inPlace.ok()) << cut.inPlace.error();
    const std::vector<std::size_t> firsts = groupStrata(cut.sample.windows, 10000);
    ASSERT_EQ(firsts.size(), 9u);
    EXPECT_TRUE(cut.sample.cut);
    const std::size_t strata =
        (firsts[1] - firsts[0]) + (firsts[3] - firsts[2]) + (firsts[5] - firsts[4]);
    EXPECT_EQ(cut.sample.strataRead, strata);
    const std::vector<TextRange> all = chooseSampleRanges(text, 82000, 1, '\n');
    std::vector<TextRange> expected;
    for (const std::size_t g : {0u, 2u, 4u})
        for (std::size_t k = firsts[g]; k < firsts[g + 1]; ++k)
            if (const TextRange r = sampleRange(text, cut.sample.windows[k], k == 0, '\n');
                r.end > r.begin)
                expected.push_back(r);
    ASSERT_EQ(cut.sample.ranges.size(), expected.size());
    for (std::size_t k = 0; k < expected.size(); ++k)
        EXPECT_EQ(cut.sample.ranges[k].end, expected[k].end);
    EXPECT_LT(cut.inPlace->recordCount(), readGathered(text, all)->recordCount());
    expectSameBothWays(cut);

    // Passed from the start, on two threads: the first group alone; a deadline never reached cuts
    // nothing.
    const Deadline passed([] { return 10.0; }, 0);
    const BothWays first = readBothWays(text, 82000, 1, 10000, 2, &passed);
    EXPECT_TRUE(first.sample.cut);
    EXPECT_EQ(first.sample.strataRead, firsts[1]);
    expectSameBothWays(first);
    const Deadline far(slowClock(), 1e9);
    EXPECT_FALSE(readBothWays(text, 82000, 1, 10000, 2, &far).sample.cut);
}

TEST(DatasetBuilderSample, AsksForEachGroupsWindowsAheadInTheOrderTheyAreRead) {
    const std::string text = mixedLines(20000, "\n");
    SampledText sample;
    sample.windows = planSampleWindows(text.size(), 82000, 1);
    sample.groupBytes = 10000;
    sample.threads = 1;
    std::vector<std::size_t> asked;
    std::vector<TextRange> released;
    sample.willNeed = [&asked](std::size_t begin, std::size_t) { asked.push_back(begin); };
    sample.release = [&released](std::size_t begin, std::size_t end) {
        if (end > begin) released.push_back({begin, end});
    };
    const Result<RecordLayout> layout = layoutFromFirstRecord(text, "d");
    ASSERT_TRUE(DatasetBuilder::buildSample(text, *layout, sample).ok());
    const std::vector<std::size_t> firsts = groupStrata(sample.windows, 10000);
    std::vector<std::size_t> expected;
    for (const std::size_t g : spreadOrder(firsts.size() - 1))
        for (std::size_t k = firsts[g]; k < firsts[g + 1]; ++k)
            expected.push_back(sample.windows[k].offset);
    // Asked once per reading of the text (the column that turns nominal makes two).
    ASSERT_EQ(asked.size() % expected.size(), 0u);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), asked.begin()));
    // Every run read is let go.
    std::set<std::size_t> ends;
    for (const TextRange& r : released) ends.insert(r.end);
    for (const TextRange& r : sample.ranges) EXPECT_TRUE(ends.count(r.end)) << r.begin;
}

}  // namespace
}  // namespace mining

namespace mining {
namespace {

// Reads `text` cut at the line starts `cuts` into shares, each read on its own, with the types
// every share settles on, sent as bytes and joined, as the processes of a run do.
Result<Dataset> readInShares(std::string_view text, const RecordLayout& whole,
                             const std::vector<std::size_t>& cuts) {
    RecordLayout layout = whole;
    layout.recordLines = true;
    std::vector<ShareRead> shares(cuts.size() - 1);
    std::vector<std::uint64_t> linesBefore(shares.size(), 0);
    const auto shareText = [&](std::size_t k) {
        return text.substr(cuts[k], cuts[k + 1] - cuts[k]);
    };
    for (std::size_t k = 1; k < shares.size(); ++k) {
        const std::string_view before = shareText(k - 1);
        linesBefore[k] = linesBefore[k - 1] +
                         static_cast<std::uint64_t>(std::count(before.begin(), before.end(), '\n'));
    }
    for (bool changed = true; changed;) {
        for (std::size_t k = 0; k < shares.size(); ++k) {
            const std::uint64_t first = linesBefore[k];
            shares[k] = DatasetBuilder::readShare(
                shareText(k), layout, false, 2,
                [first](std::size_t line) { return "line " + std::to_string(first + line); });
        }
        changed = false;
        for (const ShareRead& share : shares)
            for (std::size_t a = 0; a < layout.types.size(); ++a)
                if (share.types[a] != layout.types[a]) {
                    layout.types[a] = AttributeType::Nominal;
                    changed = true;
                }
    }
    std::vector<ShareRead> schemas;
    for (ShareRead& share : shares) {
        if (!share.error.empty()) return Result<Dataset>::failure(share.error);
        std::string bytes;
        share.save(bytes);
        share = ShareRead::load(bytes);
        schemas.push_back(DatasetBuilder::schemaOf(share));
    }
    const Result<ShareRead> schema = DatasetBuilder::joinSchemas(layout, schemas);
    if (!schema) return Result<Dataset>::failure(schema.error());
    Dataset joined;
    for (std::size_t k = 0; k < shares.size(); ++k) {
        Dataset own =
            DatasetBuilder::localise(&shares[k], *schema, layout, linesBefore[k], text.size());
        if (k == 0)
            joined = std::move(own);
        else
            DatasetBuilder::appendRows(joined, own);
    }
    return joined;
}

TEST(DatasetBuilderShares, SharesJoinedAreTheWholeTextWhereverItIsCut) {
    for (const std::string lineEnd : {"\n", "\r\n"}) {
        std::string text = mixedLines(3000, lineEnd) + "# a comment\n";
        text += "1, NULL, 2, c1\n1e300, v1, 2, c9\n";  // a mark, doubles, a class seen last
        Result<RecordLayout> layout = layoutFromFirstRecord(text, "d");
        ASSERT_TRUE(layout.ok());
        layout->dataName = "d";
        layout->hashComments = true;
        layout->recordLines = true;
        const Result<Dataset> whole = DatasetBuilder::buildWith(text, *layout, 3, {});
        ASSERT_TRUE(whole.ok()) << whole.error();
        std::vector<std::size_t> starts{0};
        for (std::size_t at = text.find('\n'); at != std::string::npos;
             at = text.find('\n', at + 1))
            starts.push_back(at + 1);
        std::mt19937 random(7);
        for (const std::size_t count : {1, 2, 5, 13, 40}) {
            std::vector<std::size_t> cuts{0, text.size()};
            for (std::size_t k = 1; k < count; ++k)  // repeats make empty shares
                cuts.push_back(starts[random() % starts.size()]);
            std::sort(cuts.begin(), cuts.end());
            const Result<Dataset> joined = readInShares(text, *layout, cuts);
            ASSERT_TRUE(joined.ok()) << joined.error();
            SCOPED_TRACE(std::to_string(count) + " shares");
            expectSame(*whole, *joined);
            EXPECT_EQ(whole->recordLines(), joined->recordLines());
            EXPECT_EQ(whole->readNotes(), joined->readNotes());
            ASSERT_EQ(whole->missingCounts().size(), joined->missingCounts().size());
            for (std::size_t m = 0; m < whole->missingCounts().size(); ++m) {
                EXPECT_EQ(whole->missingCounts()[m].value, joined->missingCounts()[m].value);
                EXPECT_EQ(whole->missingCounts()[m].count, joined->missingCounts()[m].count);
            }
        }
    }
}

// A share whose bytes are let go as its parts are read (as a folder's text brought in part by
// part is): when a column turns out not numeric, the bytes are brought in again before the
// lines are read again, and the share reads as one never let go.
TEST(DatasetBuilderShares, BytesLetGoAreBroughtInAgainBeforeTheLinesAreReadAgain) {
    std::string text;
    for (int r = 0; r < 4000; ++r)
        text += std::to_string(r % 17) + "," + (r == 3990 ? "many" : std::to_string(r % 5)) + ",c" +
                std::to_string(r % 2) + "\n";
    Result<RecordLayout> layout = layoutFromFirstRecord(text, "d");
    ASSERT_TRUE(layout.ok());
    const ShareRead plain = DatasetBuilder::readShare(text, *layout, false, 2, {});
    std::string held = text;
    std::atomic<std::size_t> released{0};
    const ReleaseCallback release = [&](std::size_t from, std::size_t to) {
        std::fill(held.begin() + static_cast<std::ptrdiff_t>(from),
                  held.begin() + static_cast<std::ptrdiff_t>(to), '#');
        released += to - from;
    };
    const ReleaseCallback bringIn = [&](std::size_t from, std::size_t to) {
        std::copy(text.begin() + static_cast<std::ptrdiff_t>(from),
                  text.begin() + static_cast<std::ptrdiff_t>(to),
                  held.begin() + static_cast<std::ptrdiff_t>(from));
    };
    const ShareRead read =
        DatasetBuilder::readShare(held, *layout, false, 2, {}, false, release, bringIn);
    EXPECT_GT(released.load(), text.size() / 3);
    ASSERT_TRUE(plain.data && read.data) << read.error;
    EXPECT_EQ(read.types, plain.types);
    EXPECT_EQ(read.types[1], AttributeType::Nominal);
    expectSame(*read.data, *plain.data);
}

TEST(DatasetBuilderShares, AFailingShareNamesTheWholeTextsLineAndCutBytesAreRefused) {
    const std::string text = "1, a, c1\n2, b, c2\n3, c, c1\n4, d\n5, e, c2\n";
    Result<RecordLayout> layout = layoutFromFirstRecord(text, "d");
    ASSERT_TRUE(layout.ok());
    layout->dataName = "d";
    const Result<Dataset> whole = DatasetBuilder::buildWith(text, *layout, 1, {});
    ASSERT_FALSE(whole.ok());
    const Result<Dataset> shared = readInShares(text, *layout, {0, 18, 27, text.size()});
    ASSERT_FALSE(shared.ok());
    EXPECT_EQ(whole.error(), shared.error());
    EXPECT_NE(whole.error().find("line 4"), std::string::npos) << whole.error();

    const ShareRead share = DatasetBuilder::readShare(text.substr(0, 27), *layout, false, 1, {});
    std::string bytes;
    share.save(bytes);
    for (std::size_t cut = 0; cut < bytes.size(); ++cut)
        EXPECT_THROW(ShareRead::load(std::string_view(bytes).substr(0, cut)), std::invalid_argument)
            << cut;
    EXPECT_THROW(ShareRead::load(bytes + "x"), std::invalid_argument);
}

}  // namespace
}  // namespace mining
