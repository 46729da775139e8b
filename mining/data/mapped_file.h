#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace mining {

// A read-only view of a whole file's bytes: mapped when it is a regular file, else (a pipe, an
// empty file) read into memory. A mapped file that another process cuts short or rewrites while
// it is read does not end the process: changed() tells of it once the reading is done.
class MappedFile {
public:
    MappedFile() = default;
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    ~MappedFile();

    // Opens `path`. A pipe is read to its end (one that no process writes to reads as empty).
    // Returns false and sets `error` ("cannot read PATH: REASON") when the file cannot be read,
    // is a folder, a device or a socket, or is too large for the memory the process may map.
    bool open(const std::string& path, std::string& error);

    // Returns the file's bytes; valid while the object lives.
    std::string_view text() const;

    // Lets the system drop the whole pages of bytes [begin, end) of the mapping from this
    // process's memory (they are read again from the page cache if touched later), and asks it
    // to map the next `ahead` bytes from `end` in one go rather than page by page as they are
    // touched (a hint only). Does nothing for a file read into memory.
    void release(std::size_t begin, std::size_t end, std::size_t ahead) const;

    // Tells the system that the file will be read in scattered places: it reads ahead no more
    // than asked by willNeed(). A hint only; does nothing for a file read into memory.
    void adviseScattered() const;

    // Asks the system to start reading bytes [begin, end) in now (a hint only).
    void willNeed(std::size_t begin, std::size_t end) const;

    // Returns true when the file changed after it was opened: mapped bytes were gone when read
    // (the file was cut short; they read as zeros), or its size or modification time is no
    // longer what it was. Meant for when the reading is done.
    bool changed() const;

private:
    bool map(const std::string& path, std::string& error);

    int fd_ = -1;
    void* mapped_ = nullptr;
    std::size_t size_ = 0;
    int guard_ = -1;  // the mapping's guard slot (data/mapping_guard.h)
    bool regular_ = false;
    long long openedSize_ = 0;
    long long openedTime_ = 0;  // the modification time, in nanoseconds
    std::string content_;
};

// The most bytes readWholeFile() reads unless told.
inline constexpr std::size_t kMaxWholeFileBytes = std::size_t{64} << 20;

// Reads the whole file at `path` (meant for small files) into `content`. Returns false and sets
// `error` ("cannot read PATH: REASON") when it cannot: a missing or unreadable file, a folder, a
// device or a socket, or more than `maxBytes` bytes.
bool readWholeFile(const std::string& path, std::string& content, std::string& error,
                   std::size_t maxBytes = kMaxWholeFileBytes);

}  // namespace mining
