// Fuzz target: delimited text read as people write it (a .csv, .tsv or .txt file): the
// delimiter, a header line and the types found from the data, numbers with units read as
// numbers, identifier columns left out. The input is the file's text.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "data/reader.h"
#include "fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    fuzz::checkFormatRead(std::string_view(reinterpret_cast<const char*>(bytes), size),
                          static_cast<int>(mining::DataFormat::Delimited));
    return 0;
}
