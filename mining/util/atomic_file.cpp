#include "util/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>

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

// Returns the path a file at `path` is written to: the file a symbolic link points to, so that
// the link stays a link; `path` itself otherwise (also for a link that points nowhere).
std::string writtenPath(const std::string& path) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
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

// Gives the temporary file `fd` the permissions (and, where allowed, the owner) of the file it
// replaces at `path`, or an ordinary new file's (mkstemp makes it private, 0600). Returns 0 or
// the errno.
int takePermissions(int fd, const std::string& path) {
    struct stat old {};
    if (stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        // The owner and group are kept only where the process may give them.
        if (fchown(fd, old.st_uid, old.st_gid) != 0) {
            const int groupOnly = fchown(fd, static_cast<uid_t>(-1), old.st_gid);
            (void)groupOnly;
        }
        return fchmod(fd, old.st_mode & 07777) == 0 ? 0 : errno;
    }
    const mode_t mask = umask(0);
    umask(mask);
    return fchmod(fd, 0666 & ~mask) == 0 ? 0 : errno;
}

// A temporary file written and waiting to be renamed over its path.
struct Pending {
    std::string path;       // the path the file takes (a link's target)
    std::string temporary;  // where it is written first
    int fd = -1;            // open and locked until the rename is done
};

// Makes, locks and fills the temporary file of `path`. Returns 0 or the errno; on failure
// nothing is left behind.
int writeTemporary(Pending& pending, std::string_view content) {
    std::string pattern = pending.path + ".tmp-" + std::to_string(getpid()) + "-XXXXXX";
    pending.fd = mkostemp(pattern.data(), O_CLOEXEC);
    if (pending.fd < 0) return errno;
    pending.temporary = pattern;
    // The lock tells others that the writer is alive for as long as the file exists.
    flock(pending.fd, LOCK_EX | LOCK_NB);
    int error = takePermissions(pending.fd, pending.path);
    if (error == 0) error = writeAll(pending.fd, content);
    if (error == 0 && fsync(pending.fd) != 0) error = errno;
    if (error != 0) {
        unlink(pending.temporary.c_str());
        close(pending.fd);
        pending.fd = -1;
        pending.temporary.clear();
    }
    return error;
}

// Removes the temporary files of `pending` that are still there and closes them.
void discard(std::vector<Pending>& pending) {
    for (Pending& p : pending) {
        if (p.fd < 0) continue;
        if (!p.temporary.empty()) unlink(p.temporary.c_str());
        close(p.fd);
        p.fd = -1;
    }
}

// Returns true when the temporary file name `name` (PATH.tmp-PID-XXXXXX less its folder) was
// made for the file `base` of the same folder, and sets `pid` to its writer's process id.
bool isTemporaryOf(const std::string& name, const std::string& base, pid_t& pid) {
    const std::string prefix = base + ".tmp-";
    if (name.size() <= prefix.size() + 7 || name.compare(0, prefix.size(), prefix) != 0)
        return false;
    const std::size_t dash = name.size() - 7;
    if (name[dash] != '-' || dash == prefix.size()) return false;
    long long value = 0;
    for (std::size_t i = prefix.size(); i < dash; ++i) {
        if (name[i] < '0' || name[i] > '9' || value > INT_MAX / 10) return false;
        value = value * 10 + (name[i] - '0');
    }
    pid = static_cast<pid_t>(value);
    return value > 0;
}

// Returns true when the writer of a temporary file is gone: no process `pid` lives (one that
// this process may not signal lives) and the file's lock is free.
bool writerIsGone(const std::string& file, pid_t pid) {
    if (pid == getpid() || kill(pid, 0) == 0 || errno == EPERM) return false;
    const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return false;
    const bool free = flock(fd, LOCK_EX | LOCK_NB) == 0;
    close(fd);
    return free;
}

}  // namespace

std::size_t removeStaleTemporaries(const std::string& path) {
    const std::filesystem::path target(writtenPath(path));
    const std::string base = target.filename().string();
    std::filesystem::path folder = target.parent_path();
    if (folder.empty()) folder = ".";
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return 0;
    std::size_t removed = 0;
    while (const dirent* entry = readdir(dir)) {
        pid_t pid = 0;
        const std::string name = entry->d_name;
        if (!isTemporaryOf(name, base, pid)) continue;
        const std::string file = (folder / name).string();
        if (writerIsGone(file, pid) && unlink(file.c_str()) == 0) ++removed;
    }
    closedir(dir);
    return removed;
}

namespace {

// Returns why the file at `path` (a link's target) may not be replaced, or "".
std::string whyNotReplaced(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return "";
    if (!S_ISREG(info.st_mode)) return describeNonRegular(info.st_mode);
    if (isReadOnly(path)) return "the file is read-only";
    return "";
}

// Writes the files (path, content) as writeFilesAtomically() says.
Status writeAllAtomically(const std::vector<std::pair<std::string, std::string_view>>& files) {
    std::vector<Pending> pending(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        pending[i].path = writtenPath(files[i].first);
        const std::string why = whyNotReplaced(pending[i].path);
        if (!why.empty()) {
            discard(pending);
            return Status::failure("cannot write " + files[i].first + ": " + why);
        }
        removeStaleTemporaries(files[i].first);
        if (const int error = writeTemporary(pending[i], files[i].second)) {
            discard(pending);
            return cannotWrite(files[i].first, error);
        }
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (rename(pending[i].temporary.c_str(), pending[i].path.c_str()) != 0) {
            const int error = errno;
            discard(pending);
            return cannotWrite(files[i].first, error);
        }
        pending[i].temporary.clear();
    }
    for (Pending& p : pending) close(p.fd);
    return Status();
}

}  // namespace

std::string describeNonRegular(unsigned mode) {
    if (S_ISDIR(mode)) return "it is a folder, not a regular file";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "it is a device, not a regular file";
    if (S_ISFIFO(mode)) return "it is a FIFO (named pipe), not a regular file";
    if (S_ISSOCK(mode)) return "it is a socket, not a regular file";
    return "it is not a regular file";
}

Status writeFilesAtomically(const std::vector<FileToWrite>& files) {
    std::vector<std::pair<std::string, std::string_view>> views;
    for (const FileToWrite& file : files) views.emplace_back(file.path, file.content);
    return writeAllAtomically(views);
}

Status writeFileAtomically(const std::string& path, std::string_view content) {
    return writeAllAtomically({{path, content}});
}

}  // namespace mining
