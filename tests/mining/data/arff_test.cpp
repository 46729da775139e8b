#include "data/arff.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace mining {
namespace {

using Kind = ArffAttribute::Kind;

struct Case {
    std::string input;
    std::string expected;
};

// Reads the header of `text` and the records after it; on failure the error is the message.
Result<std::string> records(const std::string& text, std::vector<std::size_t>* lines = nullptr) {
    const Result<ArffHeader> header = parseArffHeader(text, "t.arff");
    if (!header) return Result<std::string>::failure(header.error());
    std::vector<std::size_t> ignored;
    return arffRecords(std::string_view(text).substr(header->dataOffset), *header, "t.arff",
                       header->dataLine, lines ? *lines : ignored);
}

TEST(Arff, ReadsEveryTypeAndQuotingStyleOfTheHeader) {
    const std::string text =
        "\xEF\xBB\xBF% a comment\r\n"
        "@RELATION 'my data'\r\n"
        "\r\n"
        "@attribute width NUMERIC\r\n"
        "  @Attribute \"the height\" real % the height in cm\r\n"
        "@attribute 'count' integer\r\n"
        "@attribute colour {red, 'dark blue' ,\"a,b\", 'it\\'s', \"say \\\"hi\\\"\", '50%'}\r\n"
        "@attribute when date\r\n"
        "@attribute day DATE \"dd.MM.yyyy\"\r\n"
        "@attribute stamp date yyyy-MM-dd HH:mm\r\n"
        "@attribute class{yes,no}\r\n"
        "@DATA\r\n"
        "1,2,3,red,?,?,?,yes\r\n";
    const Result<ArffHeader> header = parseArffHeader(text, "t.arff");
    ASSERT_TRUE(header.ok()) << header.error();
    EXPECT_EQ(header->relation, "my data");
    const std::vector<std::pair<std::string, Kind>> expected = {
        {"width", Kind::Numeric},  {"the height", Kind::Numeric}, {"count", Kind::Numeric},
        {"colour", Kind::Nominal}, {"when", Kind::Date},          {"day", Kind::Date},
        {"stamp", Kind::Date},     {"class", Kind::Nominal}};
    ASSERT_EQ(header->attributes.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(header->attributes[i].name, expected[i].first);
        EXPECT_EQ(header->attributes[i].kind, expected[i].second) << expected[i].first;
    }
    EXPECT_EQ(header->attributes[3].values,
              (std::vector<std::string>{"red", "dark blue", "a,b", "it's", "say \"hi\"", "50%"}));
    EXPECT_EQ(header->attributes[4].dateFormat, "yyyy-MM-dd'T'HH:mm:ss");
    EXPECT_EQ(header->attributes[5].dateFormat, "dd.MM.yyyy");
    EXPECT_EQ(header->attributes[6].dateFormat, "yyyy-MM-dd HH:mm");
    EXPECT_EQ(header->attributes[7].values, (std::vector<std::string>{"yes", "no"}));
    EXPECT_EQ(text.substr(header->dataOffset), "1,2,3,red,?,?,?,yes\r\n");
    EXPECT_EQ(header->dataLine, 13u);
}

TEST(Arff, DataLineAtTheEndOfTheFileLeavesNoData) {
    const std::string text = "@relation r\n@attribute a numeric\n@data";
    const Result<ArffHeader> header = parseArffHeader(text, "t.arff");
    ASSERT_TRUE(header.ok()) << header.error();
    EXPECT_EQ(header->dataOffset, text.size());
    EXPECT_EQ(header->dataLine, 4u);
}

TEST(Arff, HeaderErrorsNameTheFileLineAndAttribute) {
    const std::string start = "@relation r\n@attribute a numeric\n";
    const std::vector<Case> cases = {
        {start + "@attribute name string\n@data\n",
         "t.arff, line 3: attribute 'name' is a string attribute, which cannot be used to "
         "classify; remove it or declare it nominal"},
        {start + "@attribute bag relational\n@data\n",
         "t.arff, line 3: attribute 'bag' is a "
         "relational attribute"},
        {start + "@attribute b text\n@data\n",
         "t.arff, line 3: attribute 'b' has the unknown type \"text\""},
        {start + "@attribute b\n@data\n", "t.arff, line 3: attribute 'b' has no type"},
        {start + "@attribute a real\n@data\n", "t.arff, line 3: attribute 'a' is declared twice"},
        {start + "@attribute b {x, 'x'}\n@data\n",
         "t.arff, line 3: attribute 'b' lists the value \"x\" twice"},
        {start + "@attribute b { }\n@data\n", "t.arff, line 3: attribute 'b' lists no values"},
        {start + "@attribute b {x,,y}\n@data\n", "t.arff, line 3: attribute 'b' lists an empty"},
        {start + "@attribute b {x, y\n@data\n",
         "t.arff, line 3: expected ',' or '}' after the value \"y\" of attribute 'b'"},
        {start + "@attribute b {x, y} z\n@data\n", "t.arff, line 3: text follows the values"},
        {start + "@attribute 'b numeric\n@data\n", "t.arff, line 3: a quoted value is not closed"},
        {start + "@attribute d date 'yy-MM-dd'\n@data\n",
         "t.arff, line 3: attribute 'd': the date format \"yy-MM-dd\" uses \"yy\", which is not "
         "supported"},
        {start + "@attribute d date 'yyyy-MM-dd'T'HH'\n@data\n",
         "t.arff, line 3: text follows the date format of attribute 'd'"},
        {start + "1,2\n", "t.arff, line 3: expected @relation, @attribute or @data"},
        {start + "@inputs a\n", "t.arff, line 3: unknown keyword \"@inputs\""},
        {start + "@relation s\n", "t.arff, line 3: a second @relation line"},
        {start + "@data 1\n", "t.arff, line 3: text follows @data"},
        {start, "t.arff, line 2: the file ends without a @data line"},
        {"@relation r\n% none\n@data\n", "t.arff, line 3: @data comes before any @attribute"},
        {std::string("@relation r\n@attr\0bute a numeric\n", 33), "t.arff, line 2: a NUL byte"},
    };
    for (const Case& c : cases) {
        const Result<ArffHeader> header = parseArffHeader(c.input, "t.arff");
        ASSERT_FALSE(header.ok()) << c.input;
        EXPECT_EQ(header.error().rfind(c.expected, 0), 0u) << header.error();
    }
}

TEST(Arff, RefusesMoreThanTheMostAttributes) {
    std::string text = "@relation r\n";
    for (std::size_t i = 0; i <= kMaxArffAttributes; ++i)
        text += "@attribute a" + std::to_string(i) + " numeric\n";
    const Result<ArffHeader> header = parseArffHeader(text + "@data\n", "t.arff");
    ASSERT_FALSE(header.ok());
    EXPECT_EQ(header.error(), "t.arff, line 100002: more than 100000 attributes");
}

const std::string kMixedHeader =
    "@relation r\n"
    "@attribute n numeric\n"
    "@attribute c {x, 'y z'}\n"
    "@attribute m real\n"
    "@attribute d date yyyy-MM-dd\n"
    "@attribute class {p, q}\n"
    "@data\n";

TEST(Arff, DenseAndSparseLinesGiveTheSameRecords) {
    const std::string expected = "0,x,3.5,0,p\n1.5,y z,0,1,q\n?,x,?,?,q\n0,x,0,0,p\n";
    const Result<std::string> dense = records(kMixedHeader +
                                              "0, x, 3.5, 1970-01-01, p\n"
                                              "1.5,'y z',0,1970-01-02,q\n"
                                              "?,x,?,?,q\n"
                                              "0,x,0,1970-01-01,p\n");
    const Result<std::string> sparse = records(kMixedHeader +
                                               "{2 3.5}\n"
                                               "{ 0 1.5, 1 \"y z\", 3 1970-01-02, 4 q }\n"
                                               "{0 ?,2 ?,3 ?,4 q}\n"
                                               "{}\n");
    ASSERT_TRUE(dense.ok()) << dense.error();
    ASSERT_TRUE(sparse.ok()) << sparse.error();
    EXPECT_EQ(*dense, expected);
    EXPECT_EQ(*sparse, expected);
}

TEST(Arff, RecordErrorsNameTheFileLineAndAttribute) {
    const std::vector<Case> cases = {
        {"1,x,2,?", "t.arff, line 8: found 4 values, expected 5"},
        {"1,x,2,?,p,q", "t.arff, line 8: found 6 values, expected 5"},
        {"1,x,2,?,p,{2}", "t.arff, line 8: a weight in {...} after the values"},
        {"abc,x,2,?,p", "t.arff, line 8: \"abc\" is not a number, but attribute 'n' is numeric"},
        {"1,x,1e999,?,p", "t.arff, line 8: \"1e999\" is out of the range of numbers"},
        {"1,purple,2,?,p", "t.arff, line 8: \"purple\" is not a value of attribute 'c'"},
        {"1,'y  z',2,?,p", "t.arff, line 8: \"y  z\" is not a value of attribute 'c'"},
        {"1,x,2,2023-02-30,p",
         "t.arff, line 8: \"2023-02-30\" does not match the date format "
         "\"yyyy-MM-dd\" of attribute 'd'"},
        {"1,x,,?,p", "t.arff, line 8: attribute 'm' has an empty value"},
        {"1,'x,2,?,p", "t.arff, line 8: a quoted value is not closed"},
        {"1,'x' y,2,?,p", "t.arff, line 8: text follows a closing quote"},
        {std::string("1,x,2,?,p\0", 10), "t.arff, line 8: a NUL byte"},
        {"{5 1}",
         "t.arff, line 8: the index 5 is out of range (the attributes are numbered 0 to "
         "4)"},
        {"{99999999999999999999 1}", "t.arff, line 8: the index \"99999999999999999999\" is out"},
        {"{1 x, 1 x}", "t.arff, line 8: the index 1 is given twice"},
        {"{2 1, 0 1}", "t.arff, line 8: the index 0 follows index 2: indexes must ascend"},
        {"{0 1", "t.arff, line 8: expected ',' or '}' after the value of index 0"},
        {"{0}", "t.arff, line 8: expected \"index value\" in a sparse record"},
        {"{0 1} x", "t.arff, line 8: text follows the closing '}'"},
        {"{0 1},{2}", "t.arff, line 8: a weight in {...} after the values"},
        {"{1 purple}", "t.arff, line 8: \"purple\" is not a value of attribute 'c'"},
    };
    for (const Case& c : cases) {
        const Result<std::string> out = records(kMixedHeader + c.input + "\n");
        ASSERT_FALSE(out.ok()) << c.input;
        EXPECT_EQ(out.error().rfind(c.expected, 0), 0u) << out.error();
    }
}

TEST(Arff, OtherMissingMarksPassOnAsTheyStandUnlessQuotedOrListed) {
    const std::string header =
        "@relation r\n@attribute n numeric\n@attribute c {x, N/A}\n@attribute d date\n"
        "@attribute class {p, q}\n@data\n";
    const Result<std::string> out = records(header + "NULL, N/A, #N/A, p\n-, null, NaN, q\n");
    ASSERT_TRUE(out.ok()) << out.error();
    EXPECT_EQ(*out, "NULL,N/A,#N/A,p\n-,null,NaN,q\n");
    EXPECT_FALSE(records(header + "'NULL', x, ?, p\n").ok());
    EXPECT_FALSE(records(header + "1, -, ?, p\n").ok());  // '-' is a number's mark only
}

TEST(Arff, DatesAreDaysSinceTheEpoch) {
    struct DateCase {
        std::string format;  // "" for the default
        std::string value;
        std::string days;  // "" when the value must be refused
    };
    const std::vector<DateCase> cases = {
        {"", "1970-01-02T00:00:00", "1"},
        {"", "2023-01-05T12:00:00", "19362.5"},
        {"", "2023-01-05T12:00:00Z", "19362.5"},
        {"", "2023-01-05T14:00:00+02:00", "19362.5"},
        {"", "2023-01-05T09:30:00-02:30", "19362.5"},
        {"", "1969-12-31T18:00:00", "-0.25"},
        {"", "2023-01-05", ""},
        {"", "2023-01-05T12:00:00+2", ""},
        {"", "2023-01-05T24:00:00", ""},
        {"'yyyy-MM-dd'", "1970-01-02", "1"},
        {"'yyyy-MM-dd'", "2024-02-29", "19782"},
        {"'yyyy-MM-dd'", "2023-02-29", ""},
        {"'yyyy-MM-dd'", "2023-13-01", ""},
        {"'yyyy-MM-dd'", "2023-01-05Z", ""},
        {"\"dd.MM.yyyy\"", "5.1.2023", "19362"},
        {"\"yyyyMMdd'T'HHmm\"", "20230105T1200", "19362.5"},
        {"'yyyy-MM-dd HH:mm:ss.SSS'", "1970-01-01 00:00:00.432", "5e-06"},
        {"'yyyy-MM-dd HH:mm:ss.SSS'", "1970-01-01 00:00:00.43", ""},
        {"\"'''week''' yyyy\"", "'week' 1970", "0"},
    };
    for (const DateCase& c : cases) {
        const Result<std::string> out = records("@relation r\n@attribute d date " + c.format +
                                                "\n@data\n\"" + c.value + "\"\n");
        if (c.days.empty()) {
            ASSERT_FALSE(out.ok()) << c.format << " " << c.value;
            EXPECT_NE(out.error().find("t.arff, line 4: \"" + c.value + "\" does not match"),
                      std::string::npos)
                << out.error();
        } else {
            ASSERT_TRUE(out.ok()) << out.error();
            EXPECT_EQ(*out, c.days + "\n") << c.format << " " << c.value;
        }
    }
}

TEST(Arff, AwkwardValuesAreQuotedSoTheyReadBackAsDeclared) {
    // Each declared value, and the text it is written as.
    const std::vector<Case> cases = {
        {"plain", "plain"},     {"a,b", "\"a,b\""},
        {"it's", "\"it's\""},   {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"50%", "\"50%\""},     {"{x}", "\"{x}\""},
        {" lead", "\" lead\""}, {"?", "\"?\""},
        {"", "\"\""},           {"back\\slash", "back\\slash"},
    };
    std::string list;
    std::string expected;
    for (const Case& c : cases) {
        std::string escaped;
        for (const char ch : c.input) {
            if (ch == '\'' || ch == '\\') escaped += '\\';
            escaped += ch;
        }
        list += (list.empty() ? "'" : ", '") + escaped + "'";
        expected += c.expected + "\n";
    }
    std::string data;
    for (const Case& c : cases) {  // each value quoted the other way, with escapes
        std::string escaped;
        for (const char ch : c.input) {
            if (ch == '"' || ch == '\\') escaped += '\\';
            escaped += ch;
        }
        data += "\"" + escaped + "\"\n";
    }
    const Result<std::string> out =
        records("@relation r\n@attribute v {" + list + "}\n@data\n" + data);
    ASSERT_TRUE(out.ok()) << out.error();
    EXPECT_EQ(*out, expected);
}

TEST(Arff, CommentsAndBlankLinesKeepEachRecordsLineNumber) {
    std::vector<std::size_t> lines;
    const Result<std::string> out = records(
        "@relation r\n@attribute a numeric\n@attribute b {x,y}\n@data\n"  // lines 1-4
        "% first\n1,x\n\n  % indented\r\n2 , y % why\r\n%\n3,x\r4,y",     // lines 5-12
        &lines);
    ASSERT_TRUE(out.ok()) << out.error();
    EXPECT_EQ(*out, "1,x\n2,y\n3,x\n4,y\n");
    EXPECT_EQ(lines, (std::vector<std::size_t>{6, 9, 11, 12}));
}

TEST(Arff, NeedsRewriteOnlyWhenTheRecordReaderWouldReadOtherwise) {
    const Result<ArffHeader> plain =
        parseArffHeader("@relation r\n@attribute a numeric\n@attribute b {x,y}\n@data\n", "t");
    const Result<ArffHeader> dated =
        parseArffHeader("@relation r\n@attribute a date\n@data\n", "t");
    ASSERT_TRUE(plain.ok() && dated.ok());
    struct RewriteCase {
        std::string data;
        bool rewrite;
    };
    for (const RewriteCase& c : std::vector<RewriteCase>{
             {"1,x\n\n2,y\r\n3,x", false},
             {"1,'x'\n", true},
             {"1,\"x\"\n", true},
             {"{0 1}\n", true},
             {"1,x\n  {0 1}\n", true},
             {"% c\n1,x\n", true},
             {"1,x %c\n", true},
             {"1,x\r2,y\r", true},
         })
        EXPECT_EQ(arffNeedsRewrite(*plain, c.data), c.rewrite) << c.data;
    EXPECT_TRUE(arffNeedsRewrite(*dated, "1\n"));
}

}  // namespace
}  // namespace mining
