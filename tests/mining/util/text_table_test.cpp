#include "util/text_table.h"

#include <gtest/gtest.h>

#include <sstream>

namespace mining {
namespace {

TEST(TextTable, AlignsColumns) {
    TextTable t;
    t.setHeader({"Name", "N"});
    t.addRow({"a", "100"});
    t.addRow({"longer", "7"});
    std::ostringstream out;
    t.write(out);
    EXPECT_EQ(out.str(),
              "  Name      N\n"
              "  a       100\n"
              "  longer    7\n");
}

TEST(TextTable, WrapsWideTablesIntoBlocksRepeatingTheFirstColumn) {
    TextTable t;
    t.setHeader({"k", "aaaa", "bbbb", "cccc"});
    t.addRow({"r", "1", "2", "3"});
    std::ostringstream out;
    t.write(out, 16, 0);
    EXPECT_EQ(out.str(),
              "k  aaaa  bbbb\n"
              "r     1     2\n"
              "\n"
              "k  cccc\n"
              "r     3\n");
}

TEST(TextTable, LongValuesAreShortenedWithoutSplittingACharacter) {
    EXPECT_EQ(shortForReport(std::string(60, 'v')), std::string(60, 'v'));
    EXPECT_EQ(shortForReport(std::string(61, 'v')), std::string(56, 'v') + "...");
    // 'a' then two-byte characters: byte 56 is the second byte of one, so the cut is at 55.
    std::string accents = "a";
    for (int i = 0; i < 40; ++i) accents += "\xC3\xA9";
    EXPECT_EQ(shortForReport(accents), accents.substr(0, 55) + "...");
    TextTable t;
    t.setHeader({"Value", "x"});
    t.addRow({std::string(100'000, 'v'), "0.5"});
    std::ostringstream out;
    t.write(out);
    // A cell is cut at kCellLength, and further where the table would not fit the width.
    EXPECT_EQ(out.str(),
              "  Value" + std::string(70, ' ') + "x\n  " + std::string(68, 'v') + "...  0.5\n");
    EXPECT_EQ(shortForReport(std::string(10, 'v'), 8), "vvvv...");
}

TEST(FormatNumbers, FixedAndGeneral) {
    EXPECT_EQ(formatFixed(94.0, 2), "94.00");
    EXPECT_EQ(formatFixed(-0.0001, 2), "0.00");
    EXPECT_EQ(formatFixed(-1.5, 1), "-1.5");
    EXPECT_EQ(formatGeneral(0.1 + 0.2), "0.3");
    EXPECT_EQ(formatGeneral(123456789.0), "1.23457e+08");
}

}  // namespace
}  // namespace mining
