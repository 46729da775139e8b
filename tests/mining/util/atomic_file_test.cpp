#include "util/atomic_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

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

TEST_F(AtomicFile, ReplacedFilesKeepTheirPermissionsAndLinksStayLinks) {
    const fs::path target = dir_ / "m.model";
    std::ofstream(target) << "old\n";
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_TRUE(writeFileAtomically(target.string(), "new\n").ok());
    EXPECT_EQ(read(target), "new\n");
    EXPECT_EQ(fs::status(target).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    // Through a link: the file it points to is replaced, the link kept.
    fs::create_symlink("m.model", dir_ / "link.model");
    ASSERT_TRUE(writeFileAtomically((dir_ / "link.model").string(), "through\n").ok());
    EXPECT_TRUE(fs::is_symlink(dir_ / "link.model"));
    EXPECT_EQ(read(target), "through\n");
    EXPECT_EQ(entries(), 2u);
}

TEST_F(AtomicFile, NoFileIsReplacedUnlessAllAreWrittenAndNoTemporaryIsLeft) {
    const fs::path report = dir_ / "r.output";
    const fs::path model = dir_ / "r.model";
    std::ofstream(report) << "old report\n";
    std::ofstream(model) << "old model\n";
    fs::create_directory(dir_ / "taken.csv");
    const Status failed = writeFilesAtomically({{model.string(), "new model\n"},
                                                {(dir_ / "taken.csv").string(), "x"},
                                                {report.string(), "new report\n"}});
    ASSERT_FALSE(failed.ok());
    EXPECT_EQ(failed.error(), "cannot write " + (dir_ / "taken.csv").string() +
                                  ": it is a folder, not a regular file");
    EXPECT_EQ(read(report), "old report\n");
    EXPECT_EQ(read(model), "old model\n");
    EXPECT_EQ(entries(), 3u);
    ASSERT_TRUE(
        writeFilesAtomically({{model.string(), "new model\n"}, {report.string(), "new report\n"}})
            .ok());
    EXPECT_EQ(read(model), "new model\n");
    EXPECT_EQ(read(report), "new report\n");
    EXPECT_EQ(entries(), 3u);
}

TEST_F(AtomicFile, StaleTemporariesGoOnlyWhenTheirWriterIsGone) {
    const fs::path target = dir_ / "r_bayes.output";
    // A writer that is gone: a child that has exited and been waited for.
    const pid_t gone = fork();
    if (gone == 0) _exit(0);
    waitpid(gone, nullptr, 0);
    const fs::path stale = dir_ / ("r_bayes.output.tmp-" + std::to_string(gone) + "-a1B2c3");
    const fs::path living = dir_ / ("r_bayes.output.tmp-" + std::to_string(getppid()) + "-x9Y8z7");
    const fs::path mine = dir_ / ("r_bayes.output.tmp-" + std::to_string(getpid()) + "-q1W2e3");
    const fs::path other = dir_ / ("other.output.tmp-" + std::to_string(gone) + "-a1B2c3");
    for (const fs::path& p : {stale, living, mine, other}) std::ofstream(p) << "partial";
    // A temporary of a gone writer that someone still holds locked is kept as well.
    const fs::path locked = dir_ / ("r_bayes.output.tmp-" + std::to_string(gone) + "-l0cked");
    std::ofstream(locked) << "partial";
    const int fd = open(locked.c_str(), O_RDONLY);
    ASSERT_EQ(flock(fd, LOCK_EX), 0);
    EXPECT_EQ(removeStaleTemporaries(target.string()), 1u);
    EXPECT_FALSE(fs::exists(stale));
    for (const fs::path& p : {living, mine, other, locked}) EXPECT_TRUE(fs::exists(p)) << p;
    close(fd);
    // Writing the file clears what is stale around it.
    ASSERT_TRUE(writeFileAtomically(target.string(), "whole\n").ok());
    EXPECT_FALSE(fs::exists(locked));
    EXPECT_TRUE(fs::exists(living));
}

}  // namespace
}  // namespace mining
