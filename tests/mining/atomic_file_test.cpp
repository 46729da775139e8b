#include "report/atomic_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace mining {
namespace {

namespace fs = std::filesystem;

class AtomicFile : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("atomic_file_test_" +
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    static std::string read(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::size_t entries() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir_), {}));
    }
    fs::path dir_;
};

TEST_F(AtomicFile, WritesAndReplacesLeavingNoTemporaryFile) {
    const fs::path target = dir_ / "r_bayes.output";
    ASSERT_TRUE(writeFileAtomically(target.string(), "first\n").ok());
    EXPECT_EQ(read(target), "first\n");
    const std::string big(1 << 20, 'x');
    ASSERT_TRUE(writeFileAtomically(target.string(), big).ok());
    EXPECT_EQ(read(target), big);
    EXPECT_EQ(entries(), 1u);
    const fs::perms p = fs::status(target).permissions();
    EXPECT_NE(p & fs::perms::owner_read, fs::perms::none);
    EXPECT_NE(p & fs::perms::group_read, fs::perms::none);  // not mkstemp's private 0600
}

TEST_F(AtomicFile, AFailureNamesThePathAndLeavesTheOldStateAlone) {
    const Status noFolder = writeFileAtomically((dir_ / "missing" / "x.output").string(), "x");
    ASSERT_FALSE(noFolder.ok());
    EXPECT_EQ(noFolder.error(), "cannot write " + (dir_ / "missing" / "x.output").string() +
                                    ": No such file or directory");
    // The target is a folder: rename fails; the folder stays, no temporary file is left.
    fs::create_directory(dir_ / "taken.output");
    const Status taken = writeFileAtomically((dir_ / "taken.output").string(), "x");
    ASSERT_FALSE(taken.ok());
    EXPECT_TRUE(fs::is_directory(dir_ / "taken.output"));
    EXPECT_EQ(entries(), 1u);
}

}  // namespace
}  // namespace mining
