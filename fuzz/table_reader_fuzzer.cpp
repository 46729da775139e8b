// Fuzz target: delimited text read as people write it (a .csv, .tsv or .txt file): the
// delimiter, a header line and the types found from the data, numbers with units read as
// numbers, identifier columns left out. The input is the file's text. It is read by one thread
// and by several, which must agree, into a consistent data set or a one-line error.
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
        text, mining::DataFormat::Delimited, std::nullopt, options, "table", "", 1, usage);
    if (one)
        fuzz::checkDataset(*one);
    else
        fuzz::checkMessage(one.error());
    const std::size_t threads = 2 + size % 3;
    const mining::Result<mining::Dataset> many = mining::parseData(
        text, mining::DataFormat::Delimited, std::nullopt, options, "table", "", threads, usage);
    fuzz::checkSame(one, many, "1 thread and " + std::to_string(threads) + " threads");
    return 0;
}
