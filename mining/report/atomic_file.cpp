#include "report/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace mining {

Status writeFileAtomically(const std::string& path, std::string_view content) {
    // Renaming over a file needs only the folder's permission; a report its owner made
    // read-only is kept all the same, as writing it in place would.
    if (faccessat(AT_FDCWD, path.c_str(), F_OK, AT_EACCESS) == 0 &&
        faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0 && errno == EACCES)
        return Status::failure("cannot write " + path + ": the file is read-only");
    std::string pattern = path + ".tmpXXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = mkstemp(name.data());
    if (fd < 0) return Status::failure("cannot write " + path + ": " + std::strerror(errno));
    const std::string tmp(name.data());
    auto fail = [&](int error) {
        close(fd);
        unlink(tmp.c_str());
        return Status::failure("cannot write " + path + ": " + std::strerror(error));
    };
    // mkstemp makes the file private (0600); a report is an ordinary file for its reader.
    const mode_t mask = umask(0);
    umask(mask);
    if (fchmod(fd, 0666 & ~mask) != 0) return fail(errno);
    const char* p = content.data();
    std::size_t left = content.size();
    while (left > 0) {
        const ssize_t n = write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return fail(errno);
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    if (fsync(fd) != 0) return fail(errno);
    if (close(fd) != 0) {
        const int error = errno;
        unlink(tmp.c_str());
        return Status::failure("cannot write " + path + ": " + std::strerror(error));
    }
    if (rename(tmp.c_str(), path.c_str()) != 0) {
        const int error = errno;
        unlink(tmp.c_str());
        return Status::failure("cannot write " + path + ": " + std::strerror(error));
    }
    return Status();
}

}  // namespace mining
