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
