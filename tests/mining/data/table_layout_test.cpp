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

// Returns `lines` records of "x<d>y<d>z<d>class" under a header, line `odd` (1-based, counting
// the header) with one field more.
std::string table(char d, int lines, int odd) {
    const std::string sep(1, d);
    std::string text = "x" + sep + "y" + sep + "z" + sep + "cls\n";
    for (int i = 2; i <= lines; ++i) {
        text += std::to_string(i) + sep + "0.5" + sep + "7" + sep + (i % 2 ? "a" : "b");
        text += (i == odd ? sep + "extra\n" : "\n");
    }
    return text;
}

TEST(TableLayout, ARaggedLineKeepsTheDelimiterAndTheRecordsFieldCount) {
    for (const char d : {'\t', ';', '|', ','}) {
        SCOPED_TRACE(d);
        const Result<GuessedLayout> g = guessLayout(table(d, 30, 3), false, {}, "d");
        ASSERT_TRUE(g.ok()) << g.error();
        EXPECT_EQ(g->layout.delimiter, d);
        EXPECT_EQ(g->layout.fieldCount, 4u);
        EXPECT_TRUE(g->header);
    }
    // Of fewer than ten lines all but one must agree; of more, nine in ten.
    EXPECT_EQ(guessLayout(table('\t', 5, 3), false, {}, "d")->layout.delimiter, '\t');
    std::string mixed = table('\t', 10, 3);
    mixed += "11\t0.5\t7\ta\tz\n";
    const Result<GuessedLayout> none = guessLayout(mixed, false, {}, "d.tsv");
    ASSERT_FALSE(none.ok());
    EXPECT_EQ(none.error(),
              "d.tsv: no delimiter splits its first lines into one number of fields (at tabs 9 "
              "of 11 lines have 4, line 3 has 5); name it with --delimiter C");
    ColumnChoice tabs;
    tabs.delimiter = '\t';
    EXPECT_TRUE(guessLayout(mixed, false, tabs, "d.tsv").ok());
}

TEST(TableLayout, ADelimiterInsideQuotedTextOrUnderAShortFirstLineLosesToTheOneThatSplitsAll) {
    // At ';' or a tab the quoted text splits apart; at ';' the header is one field short too,
    // as a header over row names would be.
    for (const char inner : {';', '\t'}) {
        std::string text = "n,text,cls\n";
        for (int i = 0; i < 30; ++i)
            text += std::to_string(i) + ".5,\"w" + inner + "v" + std::to_string(i % 3) + "\"," +
                    (i % 2 ? "x\n" : "y\n");
        const Result<GuessedLayout> g = guessLayout(text, false, {}, "d");
        ASSERT_TRUE(g.ok()) << g.error();
        EXPECT_EQ(g->layout.delimiter, ',');
        EXPECT_FALSE(g->rowNames);
    }
    // Unquoted: the header one short at tabs, every line alike at commas.
    std::string text = "n,text,cls\n";
    for (int i = 0; i < 30; ++i) text += std::to_string(i) + ".5,w\tv,x\n";
    EXPECT_EQ(guessLayout(text, false, {}, "d")->layout.delimiter, ',');
    // A decimal comma still leaves ';' the delimiter.
    EXPECT_EQ(guessLayout("x;y;c\n1,5;2,5;a\n0,5;3,25;b\n", false, {}, "d")->layout.delimiter, ';');
}

TEST(TableLayout, AFirstLineOfAnotherFieldCountIsNamed) {
    const Result<GuessedLayout> g = guessLayout("a,b,c,d,e\n1,2,x\n3,4,y\n5,6,x\n", false, {}, "d");
    ASSERT_FALSE(g.ok());
    EXPECT_EQ(g.error(), "d, line 1: found 5 fields, expected 3");
    // A header's extra fields that are empty are no columns.
    EXPECT_EQ(guessLayout("a,b,c,,\n1,2,x\n3,4,y\n", false, {}, "d")->layout.fieldCount, 3u);
}

TEST(TableLayout, AHeaderOneFieldShortIsAHeaderOverRowNames) {
    const std::string tabs = "x\ty\tcls\nr1\t1\t2\ta\nr2\t3\t4\tb\n";
    const std::string spaces = "\"x\" \"y\" \"cls\"\n\"1\" 1 2 \"a\"\n\"2\" 3 4 \"b\"\n";
    for (const std::string& text : {tabs, spaces}) {
        const Result<GuessedLayout> g = guessLayout(text, false, {}, "d");
        ASSERT_TRUE(g.ok()) << g.error();
        EXPECT_TRUE(g->header && g->rowNames);
        EXPECT_EQ(g->layout.attributeNames, (std::vector<std::string>{"row names", "x", "y"}));
        EXPECT_EQ(g->layout.className, "cls");
    }
    EXPECT_EQ(guessLayout(spaces, false, {}, "d")->layout.delimiter, kSpaces);
    ColumnChoice noHeader;
    noHeader.header = HeaderRule::Absent;
    const Result<GuessedLayout> g = guessLayout(tabs, false, noHeader, "d");
    ASSERT_FALSE(g.ok());
    EXPECT_EQ(g.error(), "d, line 1: found 3 fields, expected 4");
    // A record one field short is no header.
    EXPECT_FALSE(guessLayout("1\t2\tx\n1\t2\t3\ty\n4\t5\t6\tx\n", false, {}, "d").ok());
}

TEST(TableLayout, RunsOfSpacesOnlyWhereEveryLineSplitsAlike) {
    EXPECT_EQ(guessLayout("1  2 a\n3 4  b\n", false, {}, "d")->layout.delimiter, kSpaces);
    const Result<GuessedLayout> prose =
        guessLayout("one two\nthree four five\nsix\n", false, {}, "d");
    ASSERT_TRUE(prose.ok());
    EXPECT_EQ(prose->layout.fieldCount, 1u);
    // Nine lines in ten split alike at runs of spaces: the others are named.
    std::string table = "\"x\" \"note\" \"cls\"\n";
    for (int i = 1; i <= 20; ++i)
        table += std::to_string(i) + (i == 7 ? " \"a \\\"b\\\"\" yes\n" : " \"a\" yes\n");
    const Result<GuessedLayout> escaped = guessLayout(table, false, {}, "d.txt");
    ASSERT_FALSE(escaped.ok());
    EXPECT_EQ(escaped.error(),
              "d.txt: no delimiter splits its first lines into one number of fields (at runs of "
              "spaces 20 of 21 lines have 3, line 8 cannot be split: text follows a closing quote "
              "(a quote inside quotes is written twice, \"\", not \\\")); name it with "
              "--delimiter C");
}

TEST(TableLayout, EmptyUnnamedColumnsAtTheEndAreNotTheClass) {
    const std::string text = "n,m,cls,,\n1,2,yes,,\n3,4,no,,\n5,6,yes,,\n";
    for (const std::string cls : {"", "-1", "cls"}) {
        SCOPED_TRACE(cls);
        ColumnChoice choice;
        choice.classColumn = cls;
        const Result<GuessedLayout> g = guessLayout(text, false, choice, "d");
        ASSERT_TRUE(g.ok()) << g.error();
        EXPECT_TRUE(g->header);
        EXPECT_EQ(g->layout.className, "cls");
        EXPECT_EQ(g->layout.classField, 2u);
        EXPECT_EQ(g->emptyColumns, 2u);
        EXPECT_EQ(g->layout.types, (std::vector<AttributeType>(4, AttributeType::Numeric)));
    }
    // A named column is kept, empty or not.
    EXPECT_EQ(guessLayout("n,m,cls,note\n1,2,yes,\n3,4,no,\n", false, {}, "d")->emptyColumns, 0u);
}

TEST(TableLayout, CommentLinesAreLeftOutOfTheGuessButRecordsOfHashValuesStay) {
    const std::string text =
        "# made by hand, with care\nkind,n,cls\n# a, b, c\n#N/A,1,x\nu,2,y\nv,3,x\n";
    const Result<GuessedLayout> g = guessLayout(text, false, {}, "d");
    ASSERT_TRUE(g.ok()) << g.error();
    EXPECT_TRUE(g->header);
    EXPECT_EQ(g->headerLines, 2u);
    EXPECT_EQ(g->layout.commentsBefore, 1u);
    EXPECT_EQ(g->layout.attributeNames, (std::vector<std::string>{"kind", "n"}));
}

TEST(TableLayout, TheReportNamesTheOptionsForWhatWasGuessed) {
    auto describe = [](const std::string& text, const std::string& path) {
        const Result<GuessedLayout> g = guessLayout(text, false, {}, path);
        return g ? describeGuess(*g, true, path) : g.error();
    };
    EXPECT_EQ(describe("a;b;c\n1;2;x\n", "f.csv"),
              "';' between fields, a header line; guessed: --delimiter, --no-header");
    EXPECT_EQ(describe("1\t2\tx\n", "f.tsv"), "tabs between fields");
    EXPECT_EQ(describe("1,2,x\n", "f.txt"), "',' between fields; guessed: --delimiter");
    EXPECT_EQ(describe("p,q,r\nx,y,z\n", "f.csv"),
              "',' between fields; guessed: --header");  // words over words, too few records
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
