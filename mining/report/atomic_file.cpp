#include "report/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace mining {

namespace {

Status cannotWrite(const std::string& path, int error) {
    return Status::failure("cannot write " + path + ": " + std::strerror(error));
}

// Renaming over a file needs only the folder's permission; a report its owner made read-only is
// kept all the same, as writing it in place would.
bool isReadOnly(const std::string& path) {
    return faccessat(AT_FDCWD, path.c_str(), F_OK, AT_EACCESS) == 0 &&
           faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0 && errno == EACCES;
}

// Writes all of `content` to `fd`, again after an interrupted write. Returns 0 or the errno.
int writeAll(int fd, std::string_view content) {
    const char* p = content.data();
    std::size_t left = content.size();
    while (left > 0) {
        const ssize_t n = write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return 0;
}

// Gives the temporary file `fd` an ordinary file's permissions (mkstemp makes it private, 0600),
// writes `content` and flushes it to disk. Returns 0 or the errno of the step that failed.
int fillTemporary(int fd, std::string_view content) {
    const mode_t mask = umask(0);
    umask(mask);
    if (fchmod(fd, 0666 & ~mask) != 0) return errno;
    if (const int error = writeAll(fd, content)) return error;
    if (fsync(fd) != 0) return errno;
    return 0;
}

}  // namespace

Status writeFileAtomically(const std::string& path, std::string_view content) {
    if (isReadOnly(path))
        return Status::failure("cannot write " + path + ": the file is read-only");
    std::string pattern = path + ".tmpXXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = mkstemp(name.data());
    if (fd < 0) return cannotWrite(path, errno);
    const std::string tmp(name.data());
    if (const int error = fillTemporary(fd, content)) {
        close(fd);
        unlink(tmp.c_str());
        return cannotWrite(path, error);
    }
    if (close(fd) != 0 || rename(tmp.c_str(), path.c_str()) != 0) {
        const int error = errno;
        unlink(tmp.c_str());
        return cannotWrite(path, error);
    }
    return Status();
}

}  // namespace mining
