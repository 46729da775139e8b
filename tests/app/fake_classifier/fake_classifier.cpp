// A stand-in classifier for the front end's tests. Started as tarnel or classify (through a link
// of that name), it records its arguments in args.txt beside itself, waits delay.txt milliseconds
// if that file exists, and then copies result.txt beside itself to BASE_interval.output or
// BASE_bayes.output, where BASE is its first argument, less the suffix when that names a table
// (.csv, .tsv, .txt or .arff, in any case). Without result.txt it writes no result at all.

#include <cctype>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

namespace fs = std::filesystem;

// Returns `file` less a table suffix it ends in; any other name unchanged.
std::string resultBase(const std::string& file) {
    for (const std::string suffix : {".csv", ".tsv", ".txt", ".arff"}) {
        if (file.size() < suffix.size()) continue;
        std::string end = file.substr(file.size() - suffix.size());
        for (char& c : end) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (end == suffix) return file.substr(0, file.size() - suffix.size());
    }
    return file;
}

int main(int argc, char** argv) {
    const fs::path self = fs::absolute(argv[0]);
    const fs::path dir = self.parent_path();
    {
        std::ofstream args(dir / "args.txt.tmp", std::ios::binary);
        for (int i = 1; i < argc; ++i) args << argv[i] << '\n';
    }
    fs::rename(dir / "args.txt.tmp", dir / "args.txt");
    if (std::ifstream delay(dir / "delay.txt"); delay) {
        int ms = 0;
        delay >> ms;
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
    std::ifstream result(dir / "result.txt", std::ios::binary);
    if (!result || argc < 2) return 0;
    const std::string bytes((std::istreambuf_iterator<char>(result)),
                            std::istreambuf_iterator<char>());
    const std::string suffix = self.filename() == "tarnel" ? "_interval.output" : "_bayes.output";
    const std::string out = resultBase(argv[1]) + suffix;
    std::ofstream(out + ".tmp", std::ios::binary) << bytes;
    fs::rename(out + ".tmp", out);
    return 0;
}
