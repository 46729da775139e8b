#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace mining {

// A read-only view of a whole file's bytes: mapped when it is a regular file, else (a pipe, an
// empty or special file) read into memory.
class MappedFile {
public:
    MappedFile() = default;
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    ~MappedFile();

    // Opens `path`. Returns false and sets `error` ("cannot read PATH: REASON") when the file
    // cannot be read or is a folder.
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

private:
    bool map(const std::string& path, std::string& error);
    bool readAll(const std::string& path, std::string& error);

    int fd_ = -1;
    void* mapped_ = nullptr;
    std::size_t size_ = 0;
    std::string content_;
};

// Reads the whole file at `path` (meant for small files) into `content`. Returns false and sets
// `error` ("cannot read PATH: REASON") when it cannot.
bool readWholeFile(const std::string& path, std::string& content, std::string& error);

}  // namespace mining
