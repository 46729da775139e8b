#include "data/number_parser.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdlib>
#include <string>

namespace mining {
namespace {

TEST(ParseNumber, ReadsPlainDecimalsExactly) {
    std::int64_t m = 0;
    int f = -1;
    double v = 0;
    EXPECT_EQ(parseNumber("-12.50", m, f, v), NumberForm::Decimal);
    EXPECT_EQ(m, -1250);
    EXPECT_EQ(f, 2);
    EXPECT_EQ(parseNumber("+7", m, f, v), NumberForm::Decimal);
    EXPECT_EQ(m, 7);
    EXPECT_EQ(parseNumber(".5", m, f, v), NumberForm::Decimal);
    EXPECT_EQ(m, 5);
    EXPECT_EQ(f, 1);
    EXPECT_EQ(parseNumber("3.", m, f, v), NumberForm::Decimal);
    EXPECT_EQ(m, 3);
    EXPECT_EQ(f, 0);
}

TEST(ParseNumber, ReadsExponentsAndLongNumbersAsDoubles) {
    std::int64_t m = 0;
    int f = 0;
    double v = 0;
    EXPECT_EQ(parseNumber("1.5e3", m, f, v), NumberForm::Other);
    EXPECT_EQ(v, 1500.0);
    EXPECT_EQ(parseNumber("-2E-2", m, f, v), NumberForm::Other);
    EXPECT_EQ(v, -0.02);
    EXPECT_EQ(parseNumber("12345678901234567890", m, f, v), NumberForm::Other);
    EXPECT_EQ(v, 12345678901234567890.0);
}

TEST(ParseNumber, RejectsWhatIsNotANumber) {
    std::int64_t m;
    int f;
    double v;
    for (const char* text : {"", "-", ".", "+-1", "1.2.3", "1,5", "abc", "inf", "nan", "-inf",
                             "0x10", "1e", "1e999", "12a", "1 2", "e5"})
        EXPECT_EQ(parseNumber(text, m, f, v), NumberForm::NotNumber) << text;
}

}  // namespace
}  // namespace mining
