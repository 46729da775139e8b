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

std::vector<std::string> splitAt(std::string_view line, char delimiter) {
    std::vector<std::string_view> fields;
    std::vector<bool> quoted;
    std::string storage;
    std::string error;
    EXPECT_TRUE(splitDelimited(line, delimiter, fields, quoted, storage, error)) << error;
    return {fields.begin(), fields.end()};
}

using Fields = std::vector<std::string>;

TEST(SplitDelimited, ATabDelimiterIsNeverABlankSoEmptyFieldsKeepTheirPlace) {
    EXPECT_EQ(splitAt("\t\tc\tyes", '\t'), (Fields{"", "", "c", "yes"}));
    EXPECT_EQ(splitAt(" a \t\t b\t", '\t'), (Fields{"a", "", "b", ""}));
    EXPECT_EQ(splitAt(";;x", ';'), (Fields{"", "", "x"}));
}

TEST(SplitDelimited, RunsOfSpacesPartFieldsAndQuotesHoldSpaces) {
    EXPECT_EQ(splitAt("  \"1\"   5.1 \"a b\" \"\"  yes  ", kSpaces),
              (Fields{"1", "5.1", "a b", "", "yes"}));
    EXPECT_EQ(splitAt("x \t y", kSpaces), (Fields{"x", "y"}));
    std::vector<std::string_view> fields;
    std::vector<bool> quoted;
    std::string storage;
    std::string error;
    EXPECT_FALSE(splitDelimited("\"a\"b c", kSpaces, fields, quoted, storage, error));
    EXPECT_EQ(error, "text follows a closing quote");
    // A quote escaped with a backslash, as R's write.table writes one, is named.
    EXPECT_FALSE(splitDelimited("\"a \\\"b\\\"\" c", kSpaces, fields, quoted, storage, error));
    EXPECT_EQ(error,
              "text follows a closing quote (a quote inside quotes is written twice, "
              "\"\", not \\\")");
}

// The first line end decides, wherever it lies: the search goes piece by piece, 64 KiB at a time.
TEST(EndsLinesWithCarriageReturns, TheFirstLineEndDecidesWhereverItLies) {
    const std::string longLine(70000, 'x');
    const std::vector<std::pair<std::string, bool>> cases = {
        {"a\rb\r", true},
        {"a\r\nb\r", false},
        {"a\nb\rc", false},
        {"a\r", true},
        {"", false},
        {"abc", false},
        {longLine + "\rb\r", true},
        {longLine + "\r\nb", false},
        {longLine + "\nb\r", false},
        {std::string(65535, 'x') + "\r\n", false},
        {std::string(65535, 'x') + "\ry", true}};
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(endsLinesWithCarriageReturns(text), expected) << text.size();
}

TEST(IsBlankLine, ADelimiterIsNoBlankButForRunsOfSpaces) {
    EXPECT_TRUE(isBlankLine(" \r", ','));
    EXPECT_TRUE(isBlankLine(" \t ", ','));
    EXPECT_FALSE(isBlankLine("\t\t", '\t'));
    EXPECT_TRUE(isBlankLine("  \t", kSpaces));
    EXPECT_FALSE(isBlankLine(" ,", ','));
}

TEST(IsCommentLine, AHashLineIsACommentUnlessItIsARecordOfOneWordFirst) {
    struct Case {
        const char* line;
        char delimiter;
        bool comment;
    };
    const std::vector<Case> cases = {
        {"# exported by hand", ',', true},
        {"# a, b, c", ',', true},  // three fields, but the first is words
        {"#N/A,1,yes", ',', false},
        {"#N/A N/A,1,yes", ',', false},  // a mark of a missing value, though two words
        {"#DIV/0!;2;no", ';', false},
        {"#N/A,1", ',', true},        // two fields of three
        {"#,1,yes", ',', true},       // '#' alone
        {"#x 1 yes", kSpaces, true},  // runs of spaces: every '#' line
        {"#x,'open,yes", ',', true},  // cannot be split
        {"a,#b,c", ',', false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(isCommentLine(c.line, c.delimiter, 3), c.comment) << c.line;
}

TEST(QuoteForMessage, ShortensAndMasksControlBytes) {
    EXPECT_EQ(quoteForMessage("a\x01\nb"), "\"a??b\"");
    EXPECT_EQ(quoteForMessage(std::string(50, 'x')), "\"" + std::string(40, 'x') + "...\"");
}

}  // namespace
}  // namespace mining
