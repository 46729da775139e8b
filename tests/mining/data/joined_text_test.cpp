// A folder's data files joined into one text: the lines named in their own files, whole or
// sampled, and the sample spread over every file.
#include "data/joined_text.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "data/data_folder.h"
#include "data/mapped_file.h"

namespace mining {
namespace {

namespace fs = std::filesystem;

const std::string kHeader = "size,shade,class\n";

class JoinedFolder : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("joined_text_" + std::to_string(getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "data");
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Writes part-K.csv for each of `bodies`, each under the header; returns the folder's source.
    DataSource write(const std::vector<std::string>& bodies) const {
        for (std::size_t k = 0; k < bodies.size(); ++k)
            std::ofstream(dir_ / "data" / ("part-" + std::to_string(k) + ".csv"), std::ios::binary)
                << kHeader << bodies[k];
        DataSource source = findDataSource((dir_ / "data").string());
        EXPECT_TRUE(listDataFolder(source));
        return source;
    }
    std::string shard(std::size_t k) const {
        return (dir_ / "data" / ("part-" + std::to_string(k) + ".csv")).string();
    }

    fs::path dir_;
};

// Returns `count` records whose first field counts from `first`.
std::string records(std::size_t first, std::size_t count) {
    std::string text;
    for (std::size_t i = first; i < first + count; ++i)
        text += std::to_string(i) + "," + (i % 3 == 0 ? "red" : "blue") + "," +
                (i % 2 == 0 ? "x" : "y") + "\n";
    return text;
}

TEST_F(JoinedFolder, NamesEachLineInItsOwnFileAfterTheHeadersLeftOut) {
    const DataSource source = write({records(1, 2), "", records(3, 3)});
    const Result<JoinedText> joined = JoinedText::join(source, ReadOptions());
    ASSERT_TRUE(joined) << joined.error();
    EXPECT_EQ(joined->text(), kHeader + records(1, 5));
    EXPECT_FALSE(joined->sampled());
    const std::string& name = joined->readName();
    EXPECT_EQ(joined->named(name + ", line 3: bad"), shard(0) + ", line 3: bad");
    // Joined line 5 is the third file's second record, its line 3.
    EXPECT_EQ(joined->named(name + ", line 5: found 2 fields"),
              shard(2) + ", line 3: found 2 fields");
    EXPECT_EQ(joined->named(name + " holds no records"), source.path + " holds no records");
}

TEST_F(JoinedFolder, SamplesEveryFileInProportionAndNamesASampledLineByItsByteOffset) {
    const DataSource source =
        write({records(0, 20000), records(20000, 10000), records(30000, 30000)});
    ReadOptions options;
    options.limits.maxBytes = 60000;
    const Result<JoinedText> joined = JoinedText::join(source, options);
    ASSERT_TRUE(joined) << joined.error();
    EXPECT_TRUE(joined->sampled());
    EXPECT_LT(joined->readBytes(), 80000u);
    EXPECT_GT(joined->readBytes(), 40000u);
    const std::string text(joined->text());
    EXPECT_EQ(text.rfind(kHeader), 0u);  // the header once, first
    // Each file gives lines in proportion to its size.
    std::size_t fromFile[3] = {0, 0, 0};
    std::istringstream lines(text.substr(kHeader.size()));
    for (std::string line; std::getline(lines, line);) {
        const unsigned long first = std::stoul(line);
        ++fromFile[first < 20000 ? 0 : first < 30000 ? 1 : 2];
    }
    EXPECT_GT(fromFile[0], fromFile[1]);
    EXPECT_GT(fromFile[2], fromFile[0]);
    EXPECT_GT(fromFile[1], 500u);
    // The last line comes from the third file, where a byte offset names it.
    const auto count = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
    const std::string named = joined->named(joined->readName() + ", line " + std::to_string(count));
    const std::string lead = shard(2) + ", the record at byte offset ";
    ASSERT_EQ(named.rfind(lead, 0), 0u) << named;
    const std::size_t offset = std::stoul(named.substr(lead.size()));
    std::string content;
    std::string error;
    ASSERT_TRUE(readWholeFile(shard(2), content, error));
    const std::size_t lastLine = text.rfind('\n', text.size() - 2) + 1;
    EXPECT_EQ(content.substr(offset, text.size() - lastLine), text.substr(lastLine));
}

// One of several processes brings in only the bytes it reads: they are the bytes of the text
// joined whole (a file without its last line end, an empty file, the headers left out), and its
// lines are named as the whole text's once counted.
TEST_F(JoinedFolder, ALazyTextBringsInOnlyWhatIsNeededAndNamesLinesOnceCounted) {
    std::string cut = records(40000, 3);
    cut.pop_back();
    const DataSource source = write({records(0, 40000), "", cut, records(40003, 20000)});
    const Result<JoinedText> whole = JoinedText::join(source, ReadOptions());
    Result<JoinedText> lazy = JoinedText::join(source, ReadOptions(), true);
    ASSERT_TRUE(whole && lazy);
    ASSERT_FALSE(whole->lazy());
    ASSERT_TRUE(lazy->lazy());
    const std::string_view all = whole->text();
    ASSERT_EQ(lazy->text().size(), all.size());
    EXPECT_EQ(lazy->broughtIn(), 0u);
    // The ends of the third file: its added line end, and the fourth file after its header.
    const std::size_t third = all.find("40002,");
    const std::vector<std::pair<std::size_t, std::size_t>> ranges = {
        {0, 10},
        {third, third + 40},
        {all.size() / 2, all.size() / 2 + 1},
        {all.size() - 5, all.size()}};
    std::size_t asked = 0;
    for (const auto& [from, to] : ranges) {
        lazy->need(from, to);
        asked += to - from;
        EXPECT_EQ(lazy->text().substr(from, to - from), all.substr(from, to - from)) << from;
    }
    EXPECT_LE(lazy->broughtIn(), asked + 2 * ranges.size() * 4096);
    EXPECT_LT(lazy->broughtIn(), all.size() / 10);
    // Before any count, the first lines' names hold; counted whole, every line's does.
    lazy->needFirstLines();
    SingleProcess one;
    lazy->combineLines(one);
    const std::string& name = lazy->readName();
    const auto line = [&name](std::size_t n) { return name + ", line " + std::to_string(n); };
    EXPECT_EQ(lazy->named(line(30)), whole->named(line(30)));
    lazy->need(0, all.size());
    EXPECT_EQ(lazy->text(), all);
    // Pages let go are brought in again as they were.
    const std::size_t in = lazy->broughtIn();
    lazy->release(10000, all.size() - 10000);
    EXPECT_LT(lazy->broughtIn(), in - (all.size() - 30000));
    lazy->need(0, all.size());
    EXPECT_EQ(lazy->broughtIn(), in);
    EXPECT_EQ(lazy->text(), all);
    lazy->countLines(0, all.size());
    lazy->combineLines(one);
    for (const std::size_t n : {1, 2, 40001, 40002, 40004, 40005, 60004})
        EXPECT_EQ(lazy->named(line(n)), whole->named(line(n))) << n;
}

TEST_F(JoinedFolder, ReadsTheSampleAsOneDataSetThatSaysSo) {
    const DataSource source = write({records(0, 2000), records(2000, 2000)});
    ReadOptions options;
    options.limits.maxBytes = 10000;
    const Result<Dataset> read = readData(source, options);
    ASSERT_TRUE(read) << read.error();
    EXPECT_TRUE(read->sample().sampled);
    EXPECT_EQ(read->sample().files, 2u);
    EXPECT_LT(read->recordCount(), 4000u);
    EXPECT_GT(read->sample().estimatedRecords, 3000u);
    EXPECT_LT(read->sample().estimatedRecords, 5000u);
    EXPECT_EQ(read->dataPath(), source.path + "/");
}

}  // namespace
}  // namespace mining
