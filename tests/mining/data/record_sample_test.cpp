// Reading a seeded sample of a file too large to read whole in time.
#include "data/record_sample.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <filesystem>
#include <fstream>

#include "data/reader.h"

namespace mining {
namespace {

constexpr int kLines = 20000;
constexpr std::uint64_t kBudget = 50000;

// Line i holds i, 3i + 1, a nominal value and a class, so a cut line cannot pass for a whole one.
std::string numberedLines(const std::string& lineEnd) {
    std::string text;
    for (int i = 0; i < kLines; ++i)
        text += std::to_string(i) + ", " + std::to_string(3 * i + 1) + ", v" +
                std::to_string(i * 7 % 5) + ", c" + std::to_string(i % 3) + lineEnd;
    return text;
}

// Returns the first field of every record, checking that each record is a whole line.
std::vector<int> idsOf(const Dataset& d) {
    std::vector<int> ids;
    for (std::size_t r = 0; r < d.recordCount(); ++r) {
        const int id = static_cast<int>(d.numeric(0)[r]);
        EXPECT_EQ(d.numeric(1)[r], 3.0 * id + 1) << r;
        EXPECT_EQ(d.attribute(2).values[static_cast<std::size_t>(d.nominal(2)[r])],
                  "v" + std::to_string(id * 7 % 5));
        EXPECT_EQ(d.classValues()[static_cast<std::size_t>(d.classes()[r])],
                  "c" + std::to_string(id % 3));
        ids.push_back(id);
    }
    return ids;
}

class RecordSampleFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("record_sample_test_" +
                std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string write(const std::string& content) {
        std::ofstream(dir_ / "d.data", std::ios::binary) << content;
        return (dir_ / "d").string();
    }
    std::filesystem::path dir_;
};

// The checks every sample of numberedLines() must pass: about the budget read, the first line
// in, whole lines in file order, none twice, and a fair estimate of the file's records.
void expectFairSample(const Dataset& d, std::uint64_t fileBytes) {
    const SampleInfo& s = d.sample();
    EXPECT_TRUE(s.sampled);
    EXPECT_EQ(s.fileBytes, fileBytes);
    EXPECT_GT(s.readBytes, kBudget * 9 / 10);
    EXPECT_LT(s.readBytes, kBudget * 11 / 10);
    EXPECT_NEAR(static_cast<double>(s.estimatedRecords), kLines, kLines * 0.05);
    const std::vector<int> ids = idsOf(d);
    ASSERT_FALSE(ids.empty());
    EXPECT_EQ(ids.front(), 0);
    for (std::size_t k = 1; k < ids.size(); ++k) ASSERT_LT(ids[k - 1], ids[k]) << k;
    EXPECT_GT(ids.back(), kLines * 9 / 10);  // spread over the whole file
}

TEST_F(RecordSampleFiles, ALargeFileIsSampledTheSameWayForTheSameSeed) {
    const std::string text = numberedLines("\n");
    const std::string base = write(text);
    const Result<Dataset> a = readDataset(base, {kBudget, 7});
    ASSERT_TRUE(a.ok()) << a.error();
    expectFairSample(*a, text.size());
    const Result<Dataset> again = readDataset(base, {kBudget, 7});
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(idsOf(*a), idsOf(*again));
    const Result<Dataset> other = readDataset(base, {kBudget, 8});
    ASSERT_TRUE(other.ok());
    expectFairSample(*other, text.size());
    EXPECT_NE(idsOf(*a), idsOf(*other));
}

TEST_F(RecordSampleFiles, NoLimitOrALimitAboveTheSizeReadsTheWholeFile) {
    const std::string text = numberedLines("\n");
    const std::string base = write(text);
    for (const std::uint64_t limit : {std::uint64_t{0}, std::uint64_t{text.size()}}) {
        const Result<Dataset> d = readDataset(base, {limit, 3});
        ASSERT_TRUE(d.ok()) << d.error();
        EXPECT_FALSE(d->sample().sampled);
        EXPECT_EQ(d->sample().readBytes, text.size());
        EXPECT_EQ(d->sample().estimatedRecords, std::uint64_t{kLines});
        EXPECT_EQ(d->recordCount(), std::size_t{kLines});
    }
}

TEST_F(RecordSampleFiles, OtherLineEndsAndAByteOrderMarkAreSampledAlike) {
    const std::string bom = "\xEF\xBB\xBF";
    for (const std::string& text :
         {numberedLines("\r\n"), numberedLines("\r"), bom + numberedLines("\n")}) {
        const Result<Dataset> d = readDataset(write(text), {kBudget, 1});
        ASSERT_TRUE(d.ok()) << d.error();
        const std::uint64_t size = text.size() - (text.starts_with(bom) ? bom.size() : 0);
        expectFairSample(*d, size);
    }
}

// Every line from the middle on has a field too few: the first one sampled is named by its byte
// offset in the file (a byte-order mark counted), an early one by its line.
TEST_F(RecordSampleFiles, ABadSampledRecordIsNamedByItsByteOffset) {
    const std::string bom = "\xEF\xBB\xBF";
    std::string text = bom + numberedLines("\n");
    const std::size_t middle = text.find("\n10000, ") + 1;
    std::string tail = text.substr(middle);
    for (std::size_t at = 0; (at = tail.find(", v", at)) != std::string::npos;)
        tail.erase(at, tail.find(',', at + 1) - at);
    text = text.substr(0, middle) + tail;
    const std::string base = write(text);
    const Result<Dataset> d = readDataset(base, {kBudget, 1});
    ASSERT_FALSE(d.ok());
    const std::string prefix = base + ".data, the record at byte offset ";
    ASSERT_EQ(d.error().rfind(prefix, 0), 0u) << d.error();
    const std::size_t offset = std::stoul(d.error().substr(prefix.size()));
    ASSERT_GT(offset, middle);
    EXPECT_EQ(text[offset - 1], '\n');
    const std::string line = text.substr(offset, text.find('\n', offset) - offset);
    EXPECT_NE(d.error().find(": "), std::string::npos);
    EXPECT_EQ(std::count(line.begin(), line.end(), ','), 2) << line;

    text = numberedLines("\n");
    text.insert(text.find("\n4, ") + 1, "4, 13, c1\n");
    const Result<Dataset> early = readDataset(write(text), {kBudget, 1});
    ASSERT_FALSE(early.ok());
    EXPECT_EQ(early.error().rfind(base + ".data, line 5: ", 0), 0u) << early.error();
}

// Every prefix of the order is spread: after the first 2^j, the largest gap between two read is
// at most count / 2^j, rounded up to a power of two.
TEST(RecordSample, TheSpreadOrderTakesEachOnceAndKeepsEveryPrefixSpread) {
    EXPECT_EQ(spreadOrder(7), (std::vector<std::size_t>{0, 4, 2, 6, 1, 5, 3}));
    EXPECT_EQ(spreadOrder(1), std::vector<std::size_t>{0});
    EXPECT_TRUE(spreadOrder(0).empty());
    for (const std::size_t count : {5u, 64u, 100u}) {
        const std::vector<std::size_t> order = spreadOrder(count);
        std::vector<std::size_t> sorted = order;
        std::sort(sorted.begin(), sorted.end());
        for (std::size_t k = 0; k < count; ++k) ASSERT_EQ(sorted[k], k);
        for (std::size_t taken = 2; taken <= count; taken *= 2) {
            std::vector<std::size_t> prefix(order.begin(), order.begin() + taken);
            std::sort(prefix.begin(), prefix.end());
            prefix.push_back(count);
            for (std::size_t k = 1; k < prefix.size(); ++k)
                EXPECT_LE(prefix[k] - prefix[k - 1], std::bit_ceil(count) / taken) << count;
        }
    }
}

TEST(RecordSample, StrataAreGroupedByTheirBytesIntoFewGroups) {
    const std::vector<SampleWindow> windows = planSampleWindows(1u << 30, 400u << 20, 3);
    ASSERT_EQ(windows.size(), 4096u);
    // 400 MiB: the most groups, each of equal strata.
    const std::vector<std::size_t> most = groupStrata(windows);
    ASSERT_EQ(most.size(), kMaxSampleGroups + 1);
    EXPECT_EQ(most.front(), 0u);
    EXPECT_EQ(most.back(), 4096u);
    for (std::size_t g = 1; g < most.size(); ++g) EXPECT_EQ(most[g] - most[g - 1], 64u);
    // 12 MiB of windows: three groups of at least 4 MiB.
    const std::vector<SampleWindow> small = planSampleWindows(1u << 30, 12u << 20, 3);
    EXPECT_EQ(groupStrata(small).size(), 4u);
    // Less than one group's bytes, or no window: one group.
    EXPECT_EQ(groupStrata(planSampleWindows(1u << 20, 5000, 3)), (std::vector<std::size_t>{0, 1}));
    EXPECT_EQ(groupStrata({}), (std::vector<std::size_t>{0, 0}));
}

// The windows lie each in its stratum, in order, and the runs they give never overlap, however
// long the lines.
TEST(RecordSample, WindowsLieInTheirStrataAndTheirRunsNeverOverlap) {
    std::string text;
    for (int i = 0; text.size() < 300000; ++i)
        text += std::string(i % 7 == 0 ? 9000 : 40, 'x') + "\n";
    const std::vector<SampleWindow> windows = planSampleWindows(text.size(), 40000, 9);
    ASSERT_EQ(windows.size(), 9u);
    std::size_t end = 0;
    for (std::size_t k = 0; k < windows.size(); ++k) {
        EXPECT_GE(windows[k].offset, k * (text.size() / 9));
        EXPECT_LE(windows[k].offset + windows[k].length, (k + 1) * text.size() / 9 + 1);
        const TextRange run = sampleRange(text, windows[k], k == 0, '\n');
        EXPECT_LE(run.begin, run.end);
        if (run.begin == run.end) continue;
        EXPECT_GE(run.begin, end) << k;
        EXPECT_TRUE(run.begin == 0 || text[run.begin - 1] == '\n');
        EXPECT_EQ(text[run.end - 1], '\n');
        end = run.end;
    }
}

// A deadline passed from the start: the first group of strata alone is read (the file's first
// lines among them), and the data set says so.
TEST_F(RecordSampleFiles, ADeadlinePassedStopsTheSampleWithANote) {
    std::string text;
    for (int i = 0; i < 900000; ++i)
        text += std::to_string(i) + ", " + std::to_string(i % 9) + ", c1\n";
    const std::string base = write(text);
    DataSource source;
    source.path = base + ".data";
    source.base = base;
    ReadOptions options;
    options.keepIds = true;
    options.limits = {kSampleGroupBytes * 2, 1};
    const Result<Dataset> whole = readData(source, options);
    ASSERT_TRUE(whole.ok()) << whole.error();
    EXPECT_TRUE(whole->readNotes().empty());
    const Deadline passed([] { return 1.0; }, 0);
    options.deadline = &passed;
    const Result<Dataset> cut = readData(source, options);
    ASSERT_TRUE(cut.ok()) << cut.error();
    EXPECT_TRUE(cut->sample().sampled);
    EXPECT_NEAR(static_cast<double>(cut->sample().readBytes), kSampleGroupBytes, 5000);
    EXPECT_LT(cut->recordCount(), whole->recordCount() * 6 / 10);
    EXPECT_EQ(static_cast<int>(cut->numeric(0)[0]), 0);
    ASSERT_EQ(cut->readNotes().size(), 1u);
    EXPECT_EQ(cut->readNotes()[0],
              "the machine was slower than planned: 1024 of the sample's 2048 strata were read");
}

}  // namespace
}  // namespace mining
