// Starting a built program as the front end does (no shell) and reading what it left behind.
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace program_run {

namespace fs = std::filesystem;

struct ProcessResult {
    int status = -1;  // the exit status; -1 when the program died of a signal
    std::string out;
    std::string err;
};

// Returns the whole content of `p` ("" when it cannot be read).
inline std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Returns the text up to the first line end.
inline std::string firstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

// Runs `program` with `args` in `dir` and returns its exit status and output. Its stdout and
// stderr go to files outside `dir`, so they never show up among what the program wrote.
inline ProcessResult run(const std::string& program, const std::vector<std::string>& args,
                         const fs::path& dir) {
    const fs::path base = fs::temp_directory_path() / ("program_run_" + std::to_string(getpid()));
    const fs::path outPath = base.string() + ".out";
    const fs::path errPath = base.string() + ".err";
    const pid_t pid = fork();
    if (pid == 0) {
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        dup2(err, 2);
        if (chdir(dir.c_str()) != 0) _exit(126);
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    ProcessResult r;
    int status = 0;
    waitpid(pid, &status, 0);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = readFile(outPath);
    r.err = readFile(errPath);
    fs::remove(outPath);
    fs::remove(errPath);
    return r;
}

}  // namespace program_run
