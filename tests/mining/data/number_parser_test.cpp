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

// The double a number form stands for.
double valueOf(std::string_view text) {
    std::int64_t m = 0;
    int f = 0;
    double v = 0;
    const NumberForm form = parseNumber(text, m, f, v);
    EXPECT_NE(form, NumberForm::NotNumber) << text;
    return form == NumberForm::Decimal ? decimalToDouble(m, f) : v;
}

// Every accepted number must be bit for bit the double the C library reads from the same text,
// whichever of the exact-decimal and the general path reads it; "-0" is the one intended
// exception (a plain decimal, so +0).
TEST(ParseNumber, GivesTheCorrectlyRoundedDoubleOnBothPaths) {
    for (const char* text : {"0.1",
                             "0.3",
                             "123456.78",
                             "-0.000000001",
                             "999999999999999",
                             "-99999999999999.9",
                             "9007199254740993",
                             "123456789012345678.5",
                             "0.00000000000000000001",
                             "1e300",
                             "1.7976931348623157e308",
                             "2.2250738585072014e-308",
                             "4.9e-324",
                             ".5e1",
                             "5.e-1",
                             "+.25",
                             "-.25",
                             "1E+5",
                             "00000000000000000000012.5",
                             "3.14159265358979323846"}) {
        const double expected = std::strtod(text, nullptr);
        EXPECT_EQ(std::bit_cast<std::uint64_t>(valueOf(text)),
                  std::bit_cast<std::uint64_t>(expected))
            << text;
    }
    EXPECT_EQ(std::bit_cast<std::uint64_t>(valueOf("-0")), std::bit_cast<std::uint64_t>(0.0));
    EXPECT_EQ(std::bit_cast<std::uint64_t>(valueOf("-0e0")), std::bit_cast<std::uint64_t>(-0.0));
}

TEST(ParseNumber, TellsOutOfRangeNumbersFromOtherNonNumbers) {
    for (const char* text : {"1e999", "-1e999", "1e-400", "+2.4e-324"}) {
        std::int64_t m;
        int f;
        double v;
        EXPECT_EQ(parseNumber(text, m, f, v), NumberForm::NotNumber) << text;
        EXPECT_TRUE(isOutOfRangeNumber(text)) << text;
    }
    for (const char* text : {"1e308", "x", "inf", "1e999x", "", "1,5"})
        EXPECT_FALSE(isOutOfRangeNumber(text)) << text;
}

TEST(ScanDecimal, StopsWhereThePlainDecimalEnds) {
    struct Case {
        const char* text;
        DecimalScan scan;
        std::size_t stop;  // bytes read
    };
    for (const Case& c : {Case{"12.5,x", DecimalScan::Read, 4}, Case{"-7 ,", DecimalScan::Read, 2},
                          Case{"3.e5", DecimalScan::Read, 2}, Case{"?", DecimalScan::NoDigits, 0},
                          Case{"-.?", DecimalScan::NoDigits, 2},
                          Case{"1234567890123456", DecimalScan::TooManyDigits, 15},
                          Case{"1234567890.123456", DecimalScan::TooManyDigits, 16}}) {
        const std::string_view text(c.text);
        const char* p = text.data();
        PlainDecimal out;
        EXPECT_EQ(scanDecimal(p, text.data() + text.size(), out), c.scan) << c.text;
        EXPECT_EQ(static_cast<std::size_t>(p - text.data()), c.stop) << c.text;
    }
}

}  // namespace
}  // namespace mining
