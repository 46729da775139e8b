// Which files of a folder are its data files, in what order, with which names file.
#include "data/data_folder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace mining {
namespace {

namespace fs = std::filesystem;

class DataFolderListing : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("data_folder_" + std::to_string(getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "data");
    }
    void TearDown() override { fs::remove_all(dir_); }

    void write(const std::string& name, const std::string& content = "1,x\n") const {
        std::ofstream(dir_ / name, std::ios::binary) << content;
    }
    DataSource listed(Status& status) const {
        DataSource source = findDataSource((dir_ / "data").string() + "/");
        status = listDataFolder(source);
        return source;
    }

    fs::path dir_;
};

TEST_F(DataFolderListing, TakesDataFilesInByteOrderLeavingOutHiddenFilesOutputsAndSubfolders) {
    for (const char* name : {"shard-2.csv", "shard-10.csv", "B.CSV", ".hidden.csv",
                             "run_bayes.output", "run_interval.output", "run.model", "run.sql",
                             "run_bayes_predictions.csv", "shard-2.csv.tmp-12-AbC123"})
        write(std::string("data/") + name);
    fs::create_directories(dir_ / "data" / "sub");
    write("data/sub/shard-0.tsv");
    Status status;
    const DataSource source = listed(status);
    ASSERT_TRUE(status) << status.error();
    EXPECT_TRUE(source.folder);
    EXPECT_EQ(source.path, (dir_ / "data").string());  // the trailing '/' makes no difference
    EXPECT_EQ(source.base, (dir_ / "data").string());
    const std::string at = (dir_ / "data").string() + "/";
    EXPECT_EQ(source.shards,
              (std::vector<std::string>{at + "B.CSV", at + "shard-10.csv", at + "shard-2.csv"}));
    EXPECT_EQ(source.format, DataFormat::Delimited);
    EXPECT_EQ(source.namesPath, "");
}

TEST_F(DataFolderListing, FindsTheNamesFileInTheFolderOrBesideIt) {
    write("data/a.data");
    write("data/b.data");
    Status status;
    EXPECT_EQ(listed(status).namesPath, "");
    write("data.names", "x.\n");
    EXPECT_EQ(listed(status).namesPath, (dir_ / "data.names").string());
    write("data/schema.names", "x.\n");
    listed(status);
    EXPECT_EQ(status.kind(), ErrorKind::Usage);
    EXPECT_NE(status.error().find("schema.names and " + (dir_ / "data.names").string()),
              std::string::npos)
        << status.error();
}

TEST_F(DataFolderListing, RefusesKindsMixedAndAFolderWithoutDataFiles) {
    write("data/notes");
    Status status;
    listed(status);
    EXPECT_EQ(status.kind(), ErrorKind::Data);
    EXPECT_NE(status.error().find("holds no data file"), std::string::npos);
    write("data/a.csv");
    listed(status);
    EXPECT_EQ(status.kind(), ErrorKind::Usage);
    EXPECT_NE(status.error().find("a.csv and notes"), std::string::npos) << status.error();
}

TEST_F(DataFolderListing, CountsTheBytesOfEveryDataFile) {
    write("data/a.data", "1,x\n2,y\n");
    write("data/b.data", "3,x\n");
    Status status;
    const DataSource source = listed(status);
    std::uint64_t bytes = 0;
    ASSERT_TRUE(sourceBytes(source, bytes));
    EXPECT_EQ(bytes, 12u);
}

}  // namespace
}  // namespace mining
