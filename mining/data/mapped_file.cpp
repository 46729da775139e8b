#include "data/mapped_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

namespace mining {

namespace {

std::string cannotRead(const std::string& path, int error) {
    return "cannot read " + path + ": " + std::strerror(error);
}

}  // namespace

MappedFile::~MappedFile() {
    if (mapped_) munmap(mapped_, size_);
    if (fd_ >= 0) close(fd_);
}

bool MappedFile::open(const std::string& path, std::string& error) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) {
        error = cannotRead(path, errno);
        return false;
    }
    return map(path, error);
}

// Maps the open file when it is a regular file with bytes, else reads it.
bool MappedFile::map(const std::string& path, std::string& error) {
    struct stat info {};
    if (fstat(fd_, &info) != 0) {
        error = cannotRead(path, errno);
        return false;
    }
    if (S_ISDIR(info.st_mode)) {
        error = "cannot read " + path + ": it is a folder";
        return false;
    }
    if (S_ISREG(info.st_mode) && info.st_size > 0) {
        size_ = static_cast<std::size_t>(info.st_size);
        void* p = mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd_, 0);
        if (p != MAP_FAILED) {
            mapped_ = p;
            madvise(mapped_, size_, MADV_SEQUENTIAL);
            return true;
        }
        size_ = 0;
    }
    return readAll(path, error);
}

bool MappedFile::readAll(const std::string& path, std::string& error) {
    char buffer[1 << 16];
    while (true) {
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            error = cannotRead(path, errno);
            return false;
        }
        if (n == 0) return true;
        content_.append(buffer, static_cast<std::size_t>(n));
    }
}

std::string_view MappedFile::text() const {
    return mapped_ ? std::string_view(static_cast<const char*>(mapped_), size_)
                   : std::string_view(content_);
}

void MappedFile::release(std::size_t begin, std::size_t end, std::size_t ahead) const {
    if (!mapped_) return;
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const std::size_t from = (begin + page - 1) / page * page;
    const std::size_t to = std::min(end, size_) / page * page;
    char* base = static_cast<char*>(mapped_);
    if (to > from) madvise(base + from, to - from, MADV_DONTNEED);
#ifdef MADV_POPULATE_READ
    const std::size_t next = end / page * page;
    const std::size_t last = std::min(next + ahead, size_);
    if (last > next) madvise(base + next, last - next, MADV_POPULATE_READ);
#else
    (void)ahead;
#endif
}

void MappedFile::adviseScattered() const {
    if (mapped_) madvise(mapped_, size_, MADV_RANDOM);
}

void MappedFile::willNeed(std::size_t begin, std::size_t end) const {
    if (!mapped_) return;
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const std::size_t from = begin / page * page;
    const std::size_t to = std::min(end, size_);
    if (to > from) madvise(static_cast<char*>(mapped_) + from, to - from, MADV_WILLNEED);
}

bool readWholeFile(const std::string& path, std::string& content, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = cannotRead(path, errno);
        return false;
    }
    std::ostringstream buffer;
    buffer << in.rdbuf();
    if (in.bad()) {
        error = cannotRead(path, errno);
        return false;
    }
    content = buffer.str();
    return true;
}

}  // namespace mining
