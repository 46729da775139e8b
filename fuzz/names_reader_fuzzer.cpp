// Fuzz target: the .names reader. The input up to its first NUL byte is the .names text; what
// follows the NUL is the .data text read with it (without a NUL, a small fixed .data is used).
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_set>

#include "data/names_file.h"
#include "data/reader.h"
#include "fuzz_checks.h"

namespace {

// Fits the usual shape of a .names file: two attributes and a two-valued class.
constexpr std::string_view kFixedData =
    "1.5, red, yes\n"
    "2, blue, no\n"
    "?, red, yes\n"
    "-3e2, ?, no\n"
    "0.25, green, ?\n";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const fuzz::Parts parts = fuzz::splitAtNul(bytes, size);
    const std::string_view names = parts.first;
    const std::string_view data = parts.second ? *parts.second : kFixedData;

    const mining::Result<mining::NamesFile> parsed = mining::parseNames(names, "names");
    if (!parsed) {
        fuzz::checkMessage(parsed.error());
    } else {
        // A parsed file declares at least one class value, and each nominal attribute with
        // listed values lists each value once.
        for (const mining::Attribute& a : parsed->attributes) {
            const std::unordered_set<std::string> distinct(a.values.begin(), a.values.end());
            if (distinct.size() != a.values.size()) fuzz::fail("a value listed twice", a.name);
        }
    }

    const mining::Result<mining::Dataset> one =
        mining::parseDataset(data, names, "data", "names", 1);
    if (one) {
        fuzz::checkDataset(*one);
        if (!parsed) fuzz::fail("the data set was read with a .names file that does not parse");
        if (one->attributeCount() != parsed->attributes.size())
            fuzz::fail("the data set's attributes differ from the .names file's");
    } else {
        fuzz::checkMessage(one.error());
        if (!parsed && one.error() != parsed.error())
            fuzz::fail("the .names error is not the one reported", one.error());
    }
    const mining::Result<mining::Dataset> many =
        mining::parseDataset(data, names, "data", "names", 3);
    fuzz::checkSame(one, many, "1 thread and 3 threads");
    return 0;
}
