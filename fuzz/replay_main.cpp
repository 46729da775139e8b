// Replays fuzz inputs without libFuzzer: calls the target once for every file under the folders
// (or files) named on the command line, in name order. A fault aborts, as under the fuzzer.
// Returns 0 when every input ran; 1 when an argument cannot be read.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size);

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        const fs::path root = argv[i];
        std::error_code error;
        if (fs::is_regular_file(root, error)) {
            inputs.push_back(root);
            continue;
        }
        if (!fs::is_directory(root, error)) {
            std::fprintf(stderr, "replay: no such file or folder: %s\n", argv[i]);
            return 1;
        }
        for (const auto& entry : fs::recursive_directory_iterator(root))
            if (entry.is_regular_file() && entry.path().filename().string()[0] != '.')
                inputs.push_back(entry.path());
    }
    std::sort(inputs.begin(), inputs.end());
    for (const fs::path& path : inputs) {
        std::ifstream in(path, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
        if (!in.good() && !in.eof()) {
            std::fprintf(stderr, "replay: cannot read %s\n", path.c_str());
            return 1;
        }
        // A copy of exactly the input's size, so that a read past its end is caught by ASan.
        std::vector<std::uint8_t> copy(bytes.begin(), bytes.end());
        std::fprintf(stderr, "replay: %s\n", path.c_str());
        LLVMFuzzerTestOneInput(copy.data(), copy.size());
    }
    std::printf("replayed %zu inputs\n", inputs.size());
    return 0;
}
