// Fuzz target: the ARFF reader (header, dense and sparse records, dates). The input is the
// file's text.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "data/reader.h"
#include "fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    fuzz::checkFormatRead(std::string_view(reinterpret_cast<const char*>(bytes), size),
                          static_cast<int>(mining::DataFormat::Arff));
    return 0;
}
