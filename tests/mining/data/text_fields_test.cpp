#include "data/text_fields.h"

#include <gtest/gtest.h>

namespace mining {
namespace {

std::vector<std::string> split(std::string_view line) {
    std::vector<std::string_view> fields;
    std::vector<bool> quoted;
    std::string storage;
    std::string error;
    EXPECT_TRUE(splitFields(line, fields, quoted, storage, error)) << error;
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
    std::string storage;
    std::string error;
    ASSERT_TRUE(splitFields("'?',?", fields, quoted, storage, error));
    EXPECT_EQ(quoted, (std::vector<bool>{true, false}));
}

TEST(SplitFields, DoubledQuotesAreOneQuoteInAFieldThatOutlivesTheCall) {
    EXPECT_EQ(split("\"a \"\"long\"\" value, with a comma\", \"\"\"\""),
              (std::vector<std::string>{"a \"long\" value, with a comma", "\""}));
}

TEST(SplitFields, RejectsAnOpenQuoteAndTextAfterAClosingQuote) {
    std::vector<std::string_view> fields;
    std::vector<bool> quoted;
    std::string storage;
    std::string error;
    EXPECT_FALSE(splitFields("a,'b", fields, quoted, storage, error));
    EXPECT_NE(error.find("not closed"), std::string::npos);
    EXPECT_FALSE(splitFields("'a'b,c", fields, quoted, storage, error));
    EXPECT_NE(error.find("closing quote"), std::string::npos);
}

TEST(QuoteForMessage, ShortensAndMasksControlBytes) {
    EXPECT_EQ(quoteForMessage("a\x01\nb"), "\"a??b\"");
    EXPECT_EQ(quoteForMessage(std::string(50, 'x')), "\"" + std::string(40, 'x') + "...\"");
}

}  // namespace
}  // namespace mining
