#include "data/mapped_file.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "data/mapping_guard.h"

namespace mining {

namespace {

std::string cannotRead(const std::string& path, int error) {
    return "cannot read " + path + ": " + std::strerror(error);
}

long long nanoseconds(const struct timespec& t) {
    return static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

// Returns "" when a file of `mode` can be read as data, else why not.
std::string refusal(mode_t mode) {
    if (S_ISDIR(mode)) return "it is a folder";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "it is a device, not a regular file";
    if (S_ISSOCK(mode)) return "it is a socket, not a regular file";
    if (!S_ISREG(mode) && !S_ISFIFO(mode)) return "it is not a regular file";
    return "";
}

// Opens `path` for reading, refusing folders, devices and sockets before they are opened (opening
// some devices does something) and once more after (the path may have changed in between). A
// pipe is opened without waiting for a writer. Returns the descriptor, with `info` its status,
// or -1 with `error` set.
int openReadable(const std::string& path, struct stat& info, std::string& error) {
    if (stat(path.c_str(), &info) != 0) {
        error = cannotRead(path, errno);
        return -1;
    }
    std::string why = refusal(info.st_mode);
    const int fd = why.empty() ? ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK) : -1;
    if (why.empty() && fd < 0) {
        error = cannotRead(path, errno);
        return -1;
    }
    if (fd >= 0 && fstat(fd, &info) != 0) why = std::strerror(errno);
    if (why.empty()) why = refusal(info.st_mode);
    if (why.empty()) return fd;
    if (fd >= 0) close(fd);
    error = "cannot read " + path + ": " + why;
    return -1;
}

// Reads `fd` to its end into `content`, waiting for bytes while a writer is connected to a pipe
// (one with no writer reads as empty). Returns 0, EFBIG past `maxBytes`, or the errno of a
// failed read. Throws std::bad_alloc when `content` cannot grow.
int readToEnd(int fd, std::size_t maxBytes, std::string& content) {
    char buffer[1 << 16];
    while (true) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            if (static_cast<std::size_t>(n) > maxBytes - content.size()) return EFBIG;
            content.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0) {
            return 0;
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            pollfd wait{fd, POLLIN, 0};
            if (poll(&wait, 1, -1) < 0 && errno != EINTR) return errno;
        } else if (errno != EINTR) {
            return errno;
        }
    }
}

std::string megabytes(std::size_t bytes) {
    return std::to_string((bytes + 999999) / 1000000) + " MB";
}

}  // namespace

MappedFile::~MappedFile() {
    unguardMapping(guard_);
    if (mapped_) munmap(mapped_, size_);
    if (fd_ >= 0) close(fd_);
}

bool MappedFile::open(const std::string& path, std::string& error) {
    struct stat info {};
    fd_ = openReadable(path, info, error);
    if (fd_ < 0) return false;
    regular_ = S_ISREG(info.st_mode);
    openedSize_ = static_cast<long long>(info.st_size);
    openedTime_ = nanoseconds(info.st_mtim);
    if (regular_ && info.st_size > 0) {
        size_ = static_cast<std::size_t>(info.st_size);
        if (map(path, error)) return true;
        if (!error.empty()) return false;
    }
    // A pipe, a file the system reports empty (as some of /proc), or one it cannot map.
    const int failure = readToEnd(fd_, content_.max_size(), content_);
    if (failure != 0) error = cannotRead(path, failure);
    return failure == 0;
}

// Maps the open file. Returns false with `error` set when the mapping failed for want of address
// space (a limit on it, say): a copy in memory would need as much. Returns false with `error`
// empty on any other failure: the file may still be read into memory.
bool MappedFile::map(const std::string& path, std::string& error) {
    void* p = mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd_, 0);
    if (p == MAP_FAILED) {
        if (errno == ENOMEM)
            error =
                "cannot read " + path + ": not enough address space to map its " + megabytes(size_);
        size_ = 0;
        return false;
    }
    mapped_ = p;
    guard_ = guardMapping(mapped_, size_);
    madvise(mapped_, size_, MADV_SEQUENTIAL);
    return true;
}

bool MappedFile::changed() const {
    if (guard_ >= 0 && mappingFaulted(guard_)) return true;
    if (fd_ < 0 || !regular_) return false;
    struct stat now {};
    if (fstat(fd_, &now) != 0) return true;
    return static_cast<long long>(now.st_size) != openedSize_ ||
           nanoseconds(now.st_mtim) != openedTime_;
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

bool readWholeFile(const std::string& path, std::string& content, std::string& error,
                   std::size_t maxBytes) {
    struct stat info {};
    const int fd = openReadable(path, info, error);
    if (fd < 0) return false;
    int failure = EFBIG;
    if (static_cast<std::uint64_t>(info.st_size) <= maxBytes) {
        content.clear();
        failure = readToEnd(fd, maxBytes, content);
    }
    close(fd);
    if (failure == EFBIG)
        error = "cannot read " + path + ": it is larger than " +
                (maxBytes >= (1u << 20) ? std::to_string(maxBytes >> 20) + " MiB"
                                        : std::to_string(maxBytes) + " bytes") +
                ", more than a file of its kind holds";
    else if (failure != 0)
        error = cannotRead(path, failure);
    return failure == 0;
}

}  // namespace mining
