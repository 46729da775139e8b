// Fuzz target: the .data reader without a .names file. The input is the .data text. It is read
// by one thread and by several, which must agree (the reader promises the result does not
// depend on the thread count), and each line by both paths of the line parser, which must agree
// too.
#include <cstddef>
#include <cstdint>
#include <string>

#include "data/reader.h"
#include "fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(bytes), size);
    const mining::Result<mining::Dataset> one =
        mining::parseDataset(text, std::nullopt, "data", "names", 1);
    if (one)
        fuzz::checkDataset(*one);
    else
        fuzz::checkMessage(one.error());
    // One parallel read per input (starting threads is slow under the sanitizers); the
    // thread count, 2 to 4, follows from the input, so every count is tried.
    const std::size_t threads = 2 + size % 3;
    const mining::Result<mining::Dataset> many =
        mining::parseDataset(text, std::nullopt, "data", "names", threads);
    fuzz::checkSame(one, many, "1 thread and " + std::to_string(threads) + " threads");
    fuzz::checkLinePaths(text);
    return 0;
}
