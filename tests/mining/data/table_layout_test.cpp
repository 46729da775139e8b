// Guessing a table's layout from its first lines: the delimiter, a header line, the class and
// the columns left out.
#include "data/table_layout.h"

#include <gtest/gtest.h>

#include "data/text_fields.h"

namespace mining {
namespace {

struct LayoutCase {
    const char* what;
    std::string text;
    bool dataFile;
    char delimiter;
    bool header;
    std::vector<std::string> names;  // the attributes' names, in order
};

TEST(TableLayout, FindsTheDelimiterAndTheHeaderFromTheFirstLines) {
    const std::vector<LayoutCase> cases = {
        {"commas and a header", "a,b,cls\n1,2,x\n3,4,y\n", false, ',', true, {"a", "b"}},
        {"no header over numbers", "1,2,x\n3,4,y\n", false, ',', false, {"a1", "a2"}},
        {"semicolons with decimal commas",
         "a;b;cls\n1,5;2,5;x\n3,5;4;y\n",
         false,
         ';',
         true,
         {"a", "b"}},
        {"tabs", "a\tb\tcls\n1\t2\tx\n", false, '\t', true, {"a", "b"}},
        {"bars", "1|2|x\n3|4|y\n", false, '|', false, {"a1", "a2"}},
        {"a .data file with commas keeps them", "1;2,x\n3;4,y\n", true, ',', false, {"a1"}},
        {"a .data file without commas", "1;2;x\n3;4;y\n", true, ';', false, {"a1", "a2"}},
        {"a header field seen below is a record",
         "x,2,x\nx,4,y\n",
         false,
         ',',
         false,
         {"a1", "a2"}},
        {"a quoted comma does not split",
         "name,n,cls\n\"a, b\",1,x\n\"c\",2,y\n",
         false,
         ',',
         true,
         {"name", "n"}},
        {"a field over two lines", "t,n,cls\n\"a\nb\",1,x\nc,2,y\n", false, ',', true, {"t", "n"}},
    };
    for (const LayoutCase& c : cases) {
        SCOPED_TRACE(c.what);
        const Result<GuessedLayout> g = guessLayout(c.text, c.dataFile, {}, "d");
        ASSERT_TRUE(g.ok()) << g.error();
        EXPECT_EQ(g->layout.delimiter, c.delimiter);
        EXPECT_EQ(g->header, c.header);
        EXPECT_EQ(g->layout.attributeNames, c.names);
    }
}

TEST(TableLayout, AllNominalHeadersNeedTwentyRecordsAndUniqueFields) {
    std::string text = "colour,size,cls\n";
    for (int i = 0; i < 19; ++i) text += std::string(i % 2 ? "red" : "blue") + ",big,yes\n";
    EXPECT_FALSE(guessLayout(text, false, {}, "d")->header);  // 19 records
    text += "red,small,no\n";
    EXPECT_TRUE(guessLayout(text, false, {}, "d")->header);
    ColumnChoice no;
    no.header = HeaderRule::Absent;
    EXPECT_FALSE(guessLayout(text, false, no, "d")->header);
}

TEST(TableLayout, ChoosesTheClassAndTheIgnoredColumnsByNameOrNumber) {
    const std::string text = "id,a,kind,b\n1,2,x,3\n2,4,y,5\n";
    struct Choice {
        std::string cls;
        std::vector<std::string> ignore;
        std::size_t classField;
        std::vector<AttributeType> types;
    };
    using T = AttributeType;
    const std::vector<Choice> choices = {
        {"", {}, 3, {T::Numeric, T::Numeric, T::Nominal}},
        {"kind", {}, 2, {T::Numeric, T::Numeric, T::Numeric}},
        {"3", {"id"}, 2, {T::Ignored, T::Numeric, T::Numeric}},
        {"-2", {"1", "b"}, 2, {T::Ignored, T::Numeric, T::Ignored}},
        {"1", {}, 0, {T::Numeric, T::Nominal, T::Numeric}},
    };
    for (const Choice& c : choices) {
        SCOPED_TRACE(c.cls);
        ColumnChoice choice;
        choice.classColumn = c.cls;
        choice.ignore = c.ignore;
        const Result<GuessedLayout> g = guessLayout(text, false, choice, "d");
        ASSERT_TRUE(g.ok()) << g.error();
        EXPECT_EQ(g->layout.classField, c.classField);
        EXPECT_EQ(g->layout.types, c.types);
    }
    for (const std::string bad : {"nope", "0", "5", "-5", "1x"}) {
        ColumnChoice choice;
        choice.classColumn = bad;
        const Result<GuessedLayout> g = guessLayout(text, false, choice, "d");
        ASSERT_FALSE(g.ok()) << bad;
        EXPECT_EQ(g.kind(), ErrorKind::Usage) << bad;
    }
    ColumnChoice ignoreClass;
    ignoreClass.ignore = {"b"};
    const Result<GuessedLayout> g = guessLayout(text, false, ignoreClass, "d");
    ASSERT_FALSE(g.ok());
    EXPECT_EQ(g.kind(), ErrorKind::Usage);
}

TEST(TableLayout, DoubledQuotesAndQuotesLeftOpen) {
    std::vector<std::string_view> fields;
    std::vector<bool> quoted;
    std::string storage;
    std::string error;
    ASSERT_TRUE(splitDelimited("\"a \"\"q\"\" b\";'c';\"\"", ';', fields, quoted, storage, error));
    ASSERT_EQ(fields.size(), 3u);
    EXPECT_EQ(fields[0], "a \"q\" b");
    EXPECT_EQ(fields[1], "c");
    EXPECT_EQ(fields[2], "");
    EXPECT_TRUE(leavesQuoteOpen("1,\"a", ','));
    EXPECT_TRUE(leavesQuoteOpen("1,\"a\"\",", ','));
    EXPECT_FALSE(leavesQuoteOpen("1,\"a\"\"\",x", ','));
    EXPECT_FALSE(leavesQuoteOpen("5'10\",2", ','));  // a quote inside a bare field
}

}  // namespace
}  // namespace mining
