// The data file as the reader opens it: a regular file mapped and guarded against another process
// cutting it short, a pipe read to its end, a device or a socket refused, and small files read
// whole within a bound.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "data/dataset_builder.h"
#include "data/mapped_file.h"
#include "data/reader.h"

namespace mining {
namespace {

namespace fs = std::filesystem;

class ReaderFileKinds : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("reader_files_" + std::to_string(getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    std::string write(const std::string& name, const std::string& content) const {
        std::ofstream(dir_ / name, std::ios::binary) << content;
        return path(name);
    }

    fs::path dir_;
};

// About `bytes` bytes of records "i,vK,x|y".
std::string recordsOf(std::size_t bytes) {
    std::string text;
    text.reserve(bytes + 32);
    for (int i = 0; text.size() < bytes; ++i)
        text += std::to_string(i) + ",v" + std::to_string(i % 5) + (i % 3 ? ",x\n" : ",y\n");
    return text;
}

// Runs `body` in a child process that `seconds` of waiting end. Returns its wait status.
template <class Body>
int inChild(unsigned seconds, Body body) {
    const pid_t pid = fork();
    if (pid == 0) {
        alarm(seconds);
        _exit(body());
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
}

TEST_F(ReaderFileKinds, AFileCutShortWhileMappedReadsAsZerosAndCountsAsChanged) {
    const std::string text = recordsOf(1 << 20);
    const std::string file = write("cut.data", text);
    MappedFile mapped;
    std::string error;
    ASSERT_TRUE(mapped.open(file, error)) << error;
    EXPECT_FALSE(mapped.changed());
    ASSERT_EQ(truncate(file.c_str(), 5000), 0);
    // The pages past the new end fault on the thread that reads them, not the one that mapped.
    std::size_t nonZero = 0;
    std::thread reader([&] {
        const std::string_view bytes = mapped.text();
        for (std::size_t i = 8192; i < bytes.size(); i += 1000) nonZero += bytes[i] != 0;
        nonZero += bytes.back() != 0;
    });
    reader.join();
    EXPECT_EQ(nonZero, 0u);
    EXPECT_EQ(mapped.text().substr(0, 5000), std::string_view(text).substr(0, 5000));
    EXPECT_TRUE(mapped.changed());
}

TEST_F(ReaderFileKinds, ARewriteOfTheSameSizeCountsAsChanged) {
    const std::string file = write("same.data", "1,a,x\n2,b,y\n");
    MappedFile mapped;
    std::string error;
    ASSERT_TRUE(mapped.open(file, error)) << error;
    write("same.data", "3,c,x\n4,d,y\n");
    const timespec later[2] = {{0, UTIME_OMIT}, {1700000000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), later, 0), 0);
    EXPECT_TRUE(mapped.changed());
}

TEST_F(ReaderFileKinds, AFileCutShortDuringTheReadingIsAnErrorNotASignal) {
    // Cut while the only part is past its first 16 MiB: the builder goes on over zeros.
    const std::string file = write("mid.data", recordsOf(40 << 20));
    MappedFile mapped;
    std::string error;
    ASSERT_TRUE(mapped.open(file, error)) << error;
    const ReleaseCallback cut = [&](std::size_t, std::size_t end) {
        if (end > 0 && fs::file_size(file) > (1 << 20)) fs::resize_file(file, 1 << 20);
    };
    const Result<Dataset> d = DatasetBuilder::build(mapped.text(), nullptr, "mid.data", "", 1, cut);
    EXPECT_FALSE(d.ok());
    EXPECT_TRUE(mapped.changed());

    // The whole reader, over parts on several threads, says so in one line.
    const std::string whole = write("cut.data", recordsOf(24 << 20));
    MappedFile opened;
    ASSERT_TRUE(opened.open(whole, error)) << error;
    fs::resize_file(whole, 5 << 20);
    DataSource source;
    source.path = whole;
    const Result<Dataset> read = readData(source, opened, ReadOptions());
    ASSERT_FALSE(read.ok());
    EXPECT_EQ(read.error(), whole + ": the data file changed while it was read");
    EXPECT_EQ(read.kind(), ErrorKind::Data);
}

TEST_F(ReaderFileKinds, DevicesAndSocketsAreRefused) {
    MappedFile zero;
    std::string error;
    EXPECT_FALSE(zero.open("/dev/zero", error));
    EXPECT_EQ(error, "cannot read /dev/zero: it is a device, not a regular file");
    std::string content;
    EXPECT_FALSE(readWholeFile("/dev/urandom", content, error));
    EXPECT_EQ(error, "cannot read /dev/urandom: it is a device, not a regular file");

    const int s = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(s, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = path("s.data");
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    socketPath.copy(address.sun_path, socketPath.size());
    ASSERT_EQ(bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    MappedFile socketFile;
    EXPECT_FALSE(socketFile.open(socketPath, error));
    EXPECT_EQ(error, "cannot read " + socketPath + ": it is a socket, not a regular file");
    close(s);
}

TEST_F(ReaderFileKinds, AFifoWithoutWriterReadsAsEmptyAtOnce) {
    const std::string fifo = path("fifo.data");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // In a child that an alarm ends, should opening wait for a writer.
    const int status = inChild(20, [&] {
        MappedFile mapped;
        std::string error;
        std::string content = "old";
        const bool read = mapped.open(fifo, error) && readWholeFile(fifo, content, error);
        return read && mapped.text().empty() && content.empty() ? 0 : 1;
    });
    ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(ReaderFileKinds, APipeIsReadToItsEndAsItsWriterWrites) {
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    const std::string text = recordsOf(300000);
    // Written in pieces with pauses, so that the reader finds the pipe empty now and then.
    std::thread writer([&] {
        for (std::size_t at = 0; at < text.size(); at += 50000) {
            const std::string_view piece = std::string_view(text).substr(at, 50000);
            if (::write(ends[1], piece.data(), piece.size()) < 0) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        close(ends[1]);
    });
    MappedFile mapped;
    std::string error;
    const bool opened = mapped.open("/dev/fd/" + std::to_string(ends[0]), error);
    writer.join();
    close(ends[0]);
    ASSERT_TRUE(opened) << error;
    EXPECT_EQ(mapped.text(), text);
    EXPECT_FALSE(mapped.changed());
}

TEST_F(ReaderFileKinds, ReadWholeFileStopsAtItsBound) {
    const std::string file = write("n.names", std::string(1000, 'a'));
    std::string content;
    std::string error;
    EXPECT_FALSE(readWholeFile(file, content, error, 999));
    EXPECT_EQ(error, "cannot read " + file +
                         ": it is larger than 999 bytes, more than a file "
                         "of its kind holds");
    ASSERT_TRUE(readWholeFile(file, content, error, 1000)) << error;
    EXPECT_EQ(content.size(), 1000u);
    // A names file past the default bound is refused before it is read.
    const std::string big = write("big.names", "");
    fs::resize_file(big, kMaxWholeFileBytes + 1);
    EXPECT_FALSE(readWholeFile(big, content, error));
    EXPECT_EQ(error, "cannot read " + big +
                         ": it is larger than 64 MiB, more than a file of its "
                         "kind holds");
}

TEST_F(ReaderFileKinds, ABusErrorElsewhereStillEndsTheProcess) {
    const std::string file = write("g.data", "1,a,x\n");
    const int status = inChild(20, [&] {
        MappedFile mapped;
        std::string error;
        if (!mapped.open(file, error)) return 2;
        raise(SIGBUS);
        return 0;
    });
    EXPECT_FALSE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_FALSE(WIFSIGNALED(status) && WTERMSIG(status) == SIGALRM);
}

}  // namespace
}  // namespace mining
