// Fuzz target: the ARFF reader (header, dense and sparse records, dates). The input is the
// file's text; it must give a consistent data set or a one-line error, the same on one thread
// as on several.
#include <cstddef>
#include <cstdint>
#include <string>

#include "data/reader.h"
#include "fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(bytes), size);
    mining::ReadOptions options;
    bool usage = false;
    const mining::Result<mining::Dataset> one = mining::parseData(
        text, mining::DataFormat::Arff, std::nullopt, options, "arff", "", 1, usage);
    if (one)
        fuzz::checkDataset(*one);
    else
        fuzz::checkMessage(one.error());
    const std::size_t threads = 2 + size % 3;
    const mining::Result<mining::Dataset> many = mining::parseData(
        text, mining::DataFormat::Arff, std::nullopt, options, "arff", "", threads, usage);
    fuzz::checkSame(one, many, "1 thread and " + std::to_string(threads) + " threads");
    return 0;
}
