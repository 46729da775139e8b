// The notation for intervals, the number format of cut points, and lines that keep to a width.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "util/display_width.h"
#include "util/interval_text.h"
#include "util/text_table.h"

namespace mining {
namespace {

struct IntervalCase {
    double lo;
    double hi;
    ClosedEnd closed;
    const char* text;
};

TEST(IntervalCondition, SaysWhichEndHoldsTheCut) {
    const IntervalCase cases[] = {
        {-INFINITY, 0.8, ClosedEnd::Lower, "w < 0.8"},
        {0.55, 0.8, ClosedEnd::Lower, "0.55 <= w < 0.8"},
        {0.8, INFINITY, ClosedEnd::Lower, "w >= 0.8"},
        {-INFINITY, 6.5, ClosedEnd::Upper, "w <= 6.5"},
        {6.5, 7.2, ClosedEnd::Upper, "6.5 < w <= 7.2"},
        {7.2, INFINITY, ClosedEnd::Upper, "w > 7.2"},
        {-INFINITY, INFINITY, ClosedEnd::Upper, "any w"},
        {-INFINITY, INFINITY, ClosedEnd::Lower, "any w"},
        {-1e20, -0.0, ClosedEnd::Lower, "-1e+20 <= w < 0"},
    };
    for (const IntervalCase& c : cases) {
        EXPECT_EQ(intervalCondition("w", c.lo, c.hi, c.closed), c.text);
    }
}

TEST(FormatCutPoint, ShortestTextThatReadsBackExactly) {
    EXPECT_EQ(shortestDecimal(75000), "75000");
    EXPECT_EQ(shortestDecimal(-0.0), "0");
    EXPECT_EQ(shortestDecimal(1e20), "1e+20");
    EXPECT_EQ(shortestDecimal(39.495), "39.495");
    EXPECT_EQ(shortestDecimal(0.00001), "1e-05");
    // Two cuts six significant digits cannot tell apart stay distinct.
    EXPECT_NE(shortestDecimal(5.0000001), shortestDecimal(5.0000002));
    EXPECT_EQ(std::stod(shortestDecimal(0.1 + 0.2)), 0.1 + 0.2);
}

TEST(TextTable, AlignsByDisplayWidth) {
    TextTable t;
    t.setHeader({"City", "N"});
    t.addRow({"caf\xC3\xA9", "1"});
    t.addRow({"\xE6\x9D\xB1\xE4\xBA\xAC", "22"});
    t.addRow({"Paris", "333"});
    std::ostringstream out;
    t.write(out);
    EXPECT_EQ(out.str(),
              "  City     N\n"
              "  caf\xC3\xA9     1\n"
              "  \xE6\x9D\xB1\xE4\xBA\xAC    22\n"
              "  Paris  333\n");
}

TEST(TextTable, WideCellsAreShortenedToFitTheWidth) {
    std::string wide;
    for (int i = 0; i < 40; ++i) wide += "\xE6\x9D\xB1";  // 80 columns
    TextTable t;
    t.setHeader({"Value", "Probability"});
    t.addRow({wide, "0.5000"});
    std::ostringstream out;
    t.write(out);
    std::istringstream lines(out.str());
    for (std::string line; std::getline(lines, line);) EXPECT_LE(displayWidth(line), 78u) << line;
    EXPECT_NE(out.str().find("...  "), std::string::npos) << out.str();
    // Widths too narrow for any cell still give a table, never a fault.
    for (std::size_t width : {0u, 1u, 3u, 6u}) {
        std::ostringstream narrow;
        t.write(narrow, width, 2);
        EXPECT_FALSE(narrow.str().empty());
    }
}

TEST(Wrapping, WideCharactersCountTwice) {
    std::string word;
    for (int i = 0; i < 10; ++i) word += "\xE6\x9D\xB1";  // 20 columns, 30 bytes
    const std::string text = word + " " + word + " " + word + " " + word;
    // 4 words of 20 columns: three fit in 62 columns, though their bytes would not.
    EXPECT_EQ(wrapWords(text, 62), word + " " + word + " " + word + "\n" + word + "\n");
    std::ostringstream out;
    writeWrappedList(out, "Classes: ", {word, word, word, word});
    EXPECT_EQ(out.str(),
              "Classes: " + word + ", " + word + ", " + word + ",\n         " + word + "\n");
}

TEST(Wrapping, PiecesBreakBetweenThemThenAtSpacesThenInsideWords) {
    EXPECT_EQ(wrapPieces({"aaa AND", "bbb"}, "  ", "    ", 12),
              (std::vector<std::string>{"  aaa AND", "    bbb"}));
    // Too wide for any line: broken at its spaces, a comparison kept with what follows it.
    EXPECT_EQ(wrapPieces({"1.5 <= name < 2.5"}, "", "  ", 12),
              (std::vector<std::string>{"1.5 <= name", "  < 2.5"}));
    // A word wider than a line is cut at a character boundary.
    const std::vector<std::string> lines =
        wrapPieces({"\xE6\x9D\xB1\xE6\x9D\xB1\xE6\x9D\xB1"}, "", "", 5);
    EXPECT_EQ(lines, (std::vector<std::string>{"\xE6\x9D\xB1\xE6\x9D\xB1", "\xE6\x9D\xB1"}));
    std::vector<std::string> many(100, "item,");
    for (const std::string& line : wrapPieces(many, "List: ", "      ")) {
        EXPECT_LE(displayWidth(line), kReportWidth);
    }
}

}  // namespace
}  // namespace mining
