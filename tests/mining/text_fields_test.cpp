#include "data/text_fields.h"

#include <gtest/gtest.h>

namespace mining {
namespace {

std::vector<std::string> split(std::string_view line) {
    std::vector<std::string_view> fields;
    std::vector<bool> quoted;
    std::string error;
    EXPECT_TRUE(splitFields(line, fields, quoted, error)) << error;
    return {fields.begin(), fields.end()};
}

TEST(SplitFields, DropsBlanksAroundFieldsAndKeepsInnerSpaces) {
    EXPECT_EQ(split(" a , b c ,\tdd\r"), (std::vector<std::string>{"a", "b c", "dd"}));
    EXPECT_EQ(split("x,,y,"), (std::vector<std::string>{"x", "", "y", ""}));
}

TEST(SplitFields, QuotedValuesHoldCommasAndLoseTheirQuotes) {
    EXPECT_EQ(split("'a, b', \"c,d\" , e"), (std::vector<std::string>{"a, b", "c,d", "e"}));
    EXPECT_EQ(split("\"it's\",'say \"hi\"'"), (std::vector<std::string>{"it's", "say \"hi\""}));
    std::vector<std::string_view> fields;
    std::vector<bool> quoted;
    std::string error;
    ASSERT_TRUE(splitFields("'?',?", fields, quoted, error));
    EXPECT_EQ(quoted, (std::vector<bool>{true, false}));
}

TEST(SplitFields, RejectsAnOpenQuoteAndTextAfterAClosingQuote) {
    std::vector<std::string_view> fields;
    std::vector<bool> quoted;
    std::string error;
    EXPECT_FALSE(splitFields("a,'b", fields, quoted, error));
    EXPECT_NE(error.find("not closed"), std::string::npos);
    EXPECT_FALSE(splitFields("'a'b,c", fields, quoted, error));
    EXPECT_NE(error.find("closing quote"), std::string::npos);
}

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

TEST(QuoteForMessage, ShortensAndMasksControlBytes) {
    EXPECT_EQ(quoteForMessage("a\x01\nb"), "\"a??b\"");
    EXPECT_EQ(quoteForMessage(std::string(50, 'x')), "\"" + std::string(40, 'x') + "...\"");
}

}  // namespace
}  // namespace mining
