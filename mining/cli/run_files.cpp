#include "cli/run_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>

namespace mining {

namespace {

// Returns true when `a` and `b` name the same file, existing or not.
bool sameFile(const std::string& a, const std::string& b) {
    struct stat x {};
    struct stat y {};
    const bool xExists = stat(a.c_str(), &x) == 0;
    const bool yExists = stat(b.c_str(), &y) == 0;
    if (xExists && yExists) return x.st_dev == y.st_dev && x.st_ino == y.st_ino;
    if (xExists != yExists) return false;
    std::error_code error;
    const std::filesystem::path p = std::filesystem::weakly_canonical(a, error);
    if (error) return a == b;
    const std::filesystem::path q = std::filesystem::weakly_canonical(b, error);
    return error ? a == b : p == q;
}

// Returns why `output` may not be written at its path ("" when it may).
std::string pathProblem(const RunPath& output) {
    struct stat info {};
    if (stat(output.path.c_str(), &info) != 0 || S_ISREG(info.st_mode)) return "";
    return "will not write " + output.role + " to " + output.path + ": " +
           describeNonRegular(info.st_mode);
}

}  // namespace

Status checkRunPaths(const std::vector<RunPath>& inputs, const std::vector<RunPath>& outputs) {
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        const RunPath& output = outputs[i];
        if (output.path.empty()) continue;
        for (const RunPath& input : inputs)
            if (!input.path.empty() && sameFile(output.path, input.path))
                return Status::failure("will not write " + output.role + " to " + output.path +
                                       ": it is " + input.role);
        for (std::size_t j = 0; j < i; ++j)
            if (!outputs[j].path.empty() && sameFile(output.path, outputs[j].path))
                return Status::failure("will not write " + output.role + " to " + output.path +
                                       ": " + outputs[j].role + " goes there");
        if (const std::string problem = pathProblem(output); !problem.empty())
            return Status::failure(problem);
    }
    return Status();
}

std::string newRunId() {
    std::random_device device;
    std::uint64_t id = (std::uint64_t{device()} << 32) ^ device();
    id ^= static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
    id ^= static_cast<std::uint64_t>(getpid()) << 40;
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(id));
    return text;
}

std::string runLines(const std::string& runId, const std::vector<FileToWrite>& companions) {
    std::string lines = "Run:  " + runId + (companions.empty() ? "\n" : "; also wrote\n");
    for (const FileToWrite& file : companions) {
        lines += "  " + file.path;
        if (file.content.find(runId) == std::string::npos)
            lines += " (FNV-1a digest " + contentDigest(file.content) + ")";
        lines += '\n';
    }
    return lines;
}

std::string contentDigest(std::string_view bytes) {
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (const char c : bytes) {
        h ^= static_cast<unsigned char>(c);
        h *= 0x100000001b3ull;
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
    return text;
}

}  // namespace mining
