// Starting a built program as the front end does (no shell) and reading what it left behind.
#pragma once

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace program_run {

namespace fs = std::filesystem;

struct ProcessResult {
    int status = -1;        // the exit status; -1 when the program died of a signal
    int signal = 0;         // the signal it died of, else 0
    bool timedOut = false;  // killed for running longer than RunLimits::wallSeconds
    std::string out;
    std::string err;
    long peakKilobytes = 0;  // the program's peak resident size
};

// Limits a program runs under; 0 sets none.
struct RunLimits {
    unsigned cpuSeconds = 0;         // CPU time, past which the system kills it (SIGXCPU)
    std::uint64_t addressBytes = 0;  // address space, past which allocations and mappings fail
    unsigned wallSeconds = 0;        // time on the clock, past which it is killed (SIGKILL)
    std::uint64_t fileBytes = 0;     // file size, past which a write fails (EFBIG), no signal
};

// Applies `limits` in a child about to become the program; returns false when it cannot.
inline bool applyLimits(const RunLimits& limits) {
    if (limits.cpuSeconds > 0) {
        const rlimit cpu{limits.cpuSeconds, limits.cpuSeconds + 1};
        if (setrlimit(RLIMIT_CPU, &cpu) != 0) return false;
    }
    if (limits.addressBytes > 0) {
        const rlimit space{limits.addressBytes, limits.addressBytes};
        if (setrlimit(RLIMIT_AS, &space) != 0) return false;
    }
    if (limits.fileBytes > 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit size{limits.fileBytes, limits.fileBytes};
        if (setrlimit(RLIMIT_FSIZE, &size) != 0) return false;
    }
    return true;
}

// Waits for `pid`, killing it once `wallSeconds` (0: no limit) have passed. Returns its wait
// status; sets `timedOut` when it was killed for the time, and `peakKilobytes` to its peak
// resident size.
inline int waitWithin(pid_t pid, unsigned wallSeconds, bool& timedOut, long& peakKilobytes) {
    int status = 0;
    rusage usage{};
    timedOut = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(wallSeconds);
    while (wallSeconds > 0 && wait4(pid, &status, WNOHANG, &usage) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            timedOut = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (wallSeconds == 0 || timedOut) wait4(pid, &status, 0, &usage);
    peakKilobytes = usage.ru_maxrss;
    return status;
}

// Returns the whole content of `p` ("" when it cannot be read).
inline std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Returns a report's text from its first line after the Result line (which may go on over a
// second line, indented): where its notes start.
inline std::string afterResult(const std::string& report) {
    std::size_t at = report.find("\nResult: ");
    if (at == std::string::npos) return "";
    at = report.find('\n', at + 1);
    while (at != std::string::npos && report.compare(at + 1, 2, "  ") == 0)
        at = report.find('\n', at + 1);
    return at == std::string::npos ? "" : report.substr(at + 1);
}

// Returns `text` with every line end and the indent after it as one space, so that a sentence
// wrapped over lines reads as one.
inline std::string unwrapped(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\n') {
            out += text[i];
            continue;
        }
        out += ' ';
        while (i + 1 < text.size() && text[i + 1] == ' ') ++i;
    }
    return out;
}

// Returns the text up to the first line end.
inline std::string firstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

// The user and group that a test running as root starts a program as, when file permissions
// must count: root ignores them.
inline constexpr uid_t kUnprivilegedId = 65534;  // "nobody" / "nogroup"

// Returns true when this process runs as root, so that `unprivileged` runs change user.
inline bool runningAsRoot() { return geteuid() == 0; }

// Runs `program` with `args` in `dir` and returns its exit status and output. Its stdout and
// stderr go to files outside `dir`, so they never show up among what the program wrote.
// With `unprivileged` and when this process is root, the program runs as user and group
// kUnprivilegedId (it exits with 125 when it cannot switch); `program` and `dir` must then be
// open to that user. The program runs under `limits` (it exits with 124 when they cannot be set).
inline ProcessResult run(const std::string& program, const std::vector<std::string>& args,
                         const fs::path& dir, bool unprivileged = false,
                         const RunLimits& limits = {}) {
    const fs::path base = fs::temp_directory_path() / ("program_run_" + std::to_string(getpid()));
    const fs::path outPath = base.string() + ".out";
    const fs::path errPath = base.string() + ".err";
    const pid_t pid = fork();
    if (pid == 0) {
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        dup2(err, 2);
        if (unprivileged && runningAsRoot() &&
            (setgroups(0, nullptr) != 0 || setgid(kUnprivilegedId) != 0 ||
             setuid(kUnprivilegedId) != 0 || setuid(0) == 0))
            _exit(125);
        if (!applyLimits(limits)) _exit(124);
        if (chdir(dir.c_str()) != 0) _exit(126);
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    ProcessResult r;
    const int status = waitWithin(pid, limits.wallSeconds, r.timedOut, r.peakKilobytes);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    r.out = readFile(outPath);
    r.err = readFile(errPath);
    fs::remove(outPath);
    fs::remove(errPath);
    return r;
}

// A folder of one test's own under the temporary folder, empty at first and removed at the end.
class TestFolder {
public:
    explicit TestFolder(const std::string& name)
        : path_(fs::temp_directory_path() / (name + "_" + std::to_string(getpid()))) {
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;
    ~TestFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }

    const fs::path& path() const { return path_; }
    // Writes `content` to the file `name` in the folder.
    void write(const std::string& name, const std::string& content) const {
        std::ofstream(path_ / name, std::ios::binary) << content;
    }

private:
    fs::path path_;
};

}  // namespace program_run
