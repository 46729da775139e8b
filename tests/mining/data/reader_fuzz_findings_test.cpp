// Faults the fuzz targets found in the readers, each kept as a case that failed before its fix
// (under the sanitizer build where the fault was undefined behaviour).
#include <gtest/gtest.h>

#include "data/reader.h"

namespace mining {
namespace {

// A numeric field of more than 15 digits overflowed the fast path's 64-bit mantissa (from 19
// digits on) before that path gave the line to the full parser.
TEST(ReaderFuzzFindings, LongNumbersAreReadWithoutOverflow) {
    for (const std::size_t threads : {1u, 2u}) {
        const Result<Dataset> d = parseDataset(
            "12345678901234567890, 0.00000000000000000001, a\n"
            "-99999999999999999999, 123456789012345678.5, b\n"
            "7, 1, a\n",
            std::nullopt, "t.data", "t.names", threads);
        ASSERT_TRUE(d.ok()) << d.error();
        ASSERT_EQ(d->attribute(0).type, AttributeType::Numeric);
        ASSERT_EQ(d->attribute(1).type, AttributeType::Numeric);
        EXPECT_EQ(d->numeric(0)[0], 12345678901234567890.0);
        EXPECT_EQ(d->numeric(0)[1], -99999999999999999999.0);
        EXPECT_EQ(d->numeric(0)[2], 7.0);
        EXPECT_EQ(d->numeric(1)[0], 1e-20);
        EXPECT_EQ(d->numeric(1)[1], 123456789012345678.5);
    }
}

// An attribute name from .names went into error messages as it stood, control bytes and all.
TEST(ReaderFuzzFindings, ErrorMessagesShowControlBytesInNamesAsQuestionMarks) {
    const Result<Dataset> nominal =
        parseDataset("pink, yes\n", "yes, no.\nco\x1flor\x7f: red, blue.\n", "t.data", "t.names");
    ASSERT_FALSE(nominal.ok());
    EXPECT_EQ(nominal.error(),
              "t.data, line 1: \"pink\" is not a value of attribute co?lor? listed in t.names");
    const Result<Dataset> numeric =
        parseDataset("x, yes\n", "yes, no.\n\x1b[2J: continuous.\n", "t.data", "t.names");
    ASSERT_FALSE(numeric.ok());
    EXPECT_EQ(numeric.error(),
              "t.data, line 1: \"x\" is not a number, but attribute ?[2J is "
              "continuous");
}

}  // namespace
}  // namespace mining
