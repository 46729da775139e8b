#include "data/line_parser.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>

namespace mining {
namespace {

// A layout and the coders a line parser reads against, with open value lists (no .names) or
// with the lists of a small .names file.
class Fixture {
public:
    explicit Fixture(bool withNames, char delimiter = ',') {
        names_.classValues = {"yes", "no"};
        names_.attributes = {{"n", AttributeType::Numeric, {}},
                             {"colour", AttributeType::Nominal, {"red", "a b"}},
                             {"id", AttributeType::Ignored, {}},
                             {"m", AttributeType::Numeric, {}}};
        layout_ = *layoutFromNames(names_, "t.names");
        layout_.delimiter = delimiter;
        if (!withNames) layout_.names = nullptr;
        layout_.namesName = "t.names";
        if (withNames) {
            values_[1] = names_.attributes[1].values;
            values_[4] = names_.classValues;
        }
        for (std::size_t i = 0; i < 4; ++i)
            coders_.emplace_back(&values_[i], withNames && !names_.attributes[i].values.empty());
        coders_.emplace_back(&values_[4], withNames);
        parser_ = std::make_unique<LineParser>(layout_, coders_);
    }
    LineParser& parser() { return *parser_; }
    // Returns the value a Code cell of field `i` stands for.
    const std::string& valueOf(std::size_t i, const Cell& cell) const {
        return values_[i][static_cast<std::size_t>(cell.code)];
    }

private:
    NamesFile names_;
    RecordLayout layout_;
    std::vector<std::string> values_[5];
    std::vector<ValueCoder> coders_;
    std::unique_ptr<LineParser> parser_;
};

// Returns a line of five fields of the kinds a .data file holds, mostly of the kind the
// fixture's column expects, with blanks around them and now and then a stray byte, so that many
// lines are plain and many are just not.
std::string randomLine(std::mt19937_64& engine, char delimiter) {
    static const std::vector<std::string_view> numbers = {
        "1",    "0.5",  "-2",  "12345678901234567",
        "1e3",  "?",    "'?'", "",
        ".",    "+",    "-0",  "007.10",
        "NULL", "#N/A", "-",   "-nan",
        "'N/A'"};
    static const std::vector<std::string_view> values = {"red",   "a b",   "x",   "?",   "'?'",
                                                         "\"a\"", "1.5.2", "N/A", "null"};
    static const std::vector<std::string_view> classes = {"yes", "no", "?", "", "'no'", "maybe"};
    static const std::vector<std::string_view> blanks = {"", "", " ", "\t", "\r", " \r "};
    static const std::vector<std::string_view> strays = {",", "'", "\"", std::string_view("\0", 1),
                                                         "e", "?", "\t", " "};
    static const std::vector<std::string_view>* const columns[] = {&numbers, &values, &values,
                                                                   &numbers, &classes};
    auto pick = [&engine](const std::vector<std::string_view>& from) {
        return from[engine() % from.size()];
    };
    std::string line;
    for (int i = 0; i < 5; ++i) {
        if (i > 0) line += delimiter;
        line += pick(blanks);
        line += pick(engine() % 4 ? *columns[i] : *columns[engine() % 5]);
        line += pick(blanks);
        if (engine() % 8 == 0) line += pick(strays);
    }
    return line;
}

// The plain path must never accept a line that the full rules read otherwise: same outcome,
// same numbers, the same values; with commas, tabs (which are then no blanks) and runs of
// spaces between fields.
class PlainAndFull : public ::testing::TestWithParam<char> {};

TEST_P(PlainAndFull, PathsAgreeOnEveryLineThePlainOneAccepts) {
    const char delimiter = GetParam();
    std::mt19937_64 engine(11);
    std::size_t plainLines[2] = {0, 0};  // without and with .names
    std::string first = " 1 , red,\tz ,2.50 , yes\r";
    for (char& c : first)
        if (c == ',') c = delimiter;
    for (int round = 0; round < 20000; ++round) {
        const bool withNames = round % 2 == 1;
        const std::string line = round < 4 ? first : randomLine(engine, delimiter);
        Fixture plain(withNames, delimiter);
        Fixture full(withNames, delimiter);
        if (!plain.parser().parsePlain(line)) continue;
        ++plainLines[withNames];
        ASSERT_EQ(full.parser().parse(line), LineOutcome::Record) << line;
        const std::vector<Cell>& a = plain.parser().cells();
        const std::vector<Cell>& b = full.parser().cells();
        for (std::size_t i : {0u, 1u, 3u, 4u}) {
            ASSERT_EQ(a[i].kind, b[i].kind) << line << " field " << i;
            if (a[i].kind == CellKind::Decimal) {
                EXPECT_EQ(a[i].decimal.mantissa, b[i].decimal.mantissa) << line;
                EXPECT_EQ(a[i].decimal.fractionDigits, b[i].decimal.fractionDigits) << line;
            } else if (a[i].kind == CellKind::Code) {
                EXPECT_EQ(plain.valueOf(i, a[i]), full.valueOf(i, b[i])) << line;
            }
        }
        const std::vector<MarkCount> marks = plain.parser().marks().counts();
        const std::vector<MarkCount> fullMarks = full.parser().marks().counts();
        ASSERT_EQ(marks.size(), fullMarks.size()) << line;
        for (std::size_t m = 0; m < marks.size(); ++m) {
            EXPECT_EQ(marks[m].column, fullMarks[m].column) << line;
            EXPECT_EQ(marks[m].mark, fullMarks[m].mark) << line;
        }
    }
    // The comparison really ran, with open and with listed values (fewer lines are plain where
    // a blank may be the delimiter).
    EXPECT_GT(plainLines[0], 100u);
    EXPECT_GT(plainLines[1], 40u);
}

INSTANTIATE_TEST_SUITE_P(Delimiters, PlainAndFull, ::testing::Values(',', '\t', kSpaces));

TEST(LineParser, EmptyFieldsBeforeTheFirstTabAreMissingInTheirOwnColumns) {
    for (const bool plainPath : {true, false}) {
        Fixture f(false, '\t');
        const std::string line = "\t\tid\t7\tyes";
        if (plainPath)
            ASSERT_TRUE(f.parser().parsePlain(line));
        else
            ASSERT_EQ(f.parser().parse(line), LineOutcome::Record);
        const std::vector<Cell>& cells = f.parser().cells();
        EXPECT_EQ(cells[0].kind, CellKind::Missing);
        EXPECT_EQ(cells[1].kind, CellKind::Missing);
        ASSERT_EQ(cells[3].kind, CellKind::Decimal);
        EXPECT_EQ(cells[3].decimal.mantissa, 7);
        EXPECT_EQ(f.valueOf(4, cells[4]), "yes");
    }
}

TEST(LineParser, ChecksTheClassBeforeTheAttributes) {
    Fixture f(true);
    ASSERT_EQ(f.parser().parse("x, pink, 1, y, maybe"), LineOutcome::Failed);
    EXPECT_EQ(f.parser().error(), "\"maybe\" is not a class value listed in t.names");
    ASSERT_EQ(f.parser().parse("x, pink, 1, y, ?"), LineOutcome::Failed);
    EXPECT_EQ(f.parser().error(), "\"x\" is not a number, but attribute n is continuous");
    ASSERT_EQ(f.parser().parse("1e999, pink, 1, y, ?"), LineOutcome::Failed);
    EXPECT_EQ(f.parser().error(),
              "\"1e999\" is out of the range of numbers (about 1e-308 to 1e308 in size), but "
              "attribute n is continuous");
}

TEST(LineParser, WithoutNamesANonNumberAsksForARestartNamingItsColumn) {
    Fixture f(false);
    ASSERT_EQ(f.parser().parse("1, red, id, '?', yes"), LineOutcome::Restart);
    EXPECT_EQ(f.parser().restartColumn(), 3u);
    EXPECT_FALSE(f.parser().parsePlain("1, red, id, '?', yes"));
}

TEST(LineParser, CountsTheMarksOfEveryRecordOnceWhicheverPathReadsIt) {
    Fixture f(true);
    // Plain; then one the plain path gives up on after reading a mark, read again by the full
    // rules; then records the full rules read; then a failing line, which counts nothing.
    ASSERT_TRUE(f.parser().parsePlain("NULL, N/A, 1, 2, yes"));
    ASSERT_FALSE(f.parser().parsePlain("NULL, red, 1, -, yes"));
    ASSERT_EQ(f.parser().parse("NULL, red, 1, -, yes"), LineOutcome::Record);
    ASSERT_EQ(f.parser().parse("?, null, 1, ?, yes"), LineOutcome::Record);
    // A record left out for its missing class counts only the class's mark.
    ASSERT_EQ(f.parser().parse("N/A, red, 1, 2, #N/A"), LineOutcome::Record);
    ASSERT_EQ(f.parser().parse("NULL, pink, 1, 2, yes"), LineOutcome::Failed);
    const std::vector<MarkCount> counts = f.parser().marks().counts();
    ASSERT_EQ(counts.size(), 5u);
    EXPECT_EQ(counts[0].column, 0u);  // n: NULL twice; '?' is not counted
    EXPECT_EQ(counts[0].count, 2u);
    EXPECT_EQ(counts[1].mark, kMarkSlashNA);  // colour
    EXPECT_EQ(counts[2].mark, kMarkNull);
    EXPECT_EQ(counts[3].mark, kMarkDash);  // m: '-' in a number
    EXPECT_EQ(counts[4].column, 4u);       // the class
    EXPECT_EQ(counts[4].mark, kMarkHashSlashNA);
}

TEST(LineParser, AListedValueIsNoMarkAndARunsTokensAreMissingQuotedOrNot) {
    NamesFile names;
    names.classValues = {"yes", "no", "N/A"};
    names.attributes = {{"n", AttributeType::Numeric, {}},
                        {"answer", AttributeType::Nominal, {"yes", "none", "NULL"}}};
    RecordLayout layout = *layoutFromNames(names, "t.names");
    layout.missingTokens = MissingTokens({"none", "-999"});
    std::vector<std::vector<std::string>> values = {
        {}, names.attributes[1].values, names.classValues};
    std::vector<ValueCoder> coders;
    for (auto& list : values) coders.emplace_back(&list, !list.empty());
    LineParser parser(layout, coders);
    ASSERT_TRUE(parser.parsePlain("-999, NULL, N/A"));
    EXPECT_EQ(parser.cells()[0].kind, CellKind::Missing);
    EXPECT_EQ(values[1][static_cast<std::size_t>(parser.cells()[1].code)], "NULL");
    EXPECT_EQ(values[2][static_cast<std::size_t>(parser.cells()[2].code)], "N/A");
    ASSERT_EQ(parser.parse("-999.0, 'none', no"), LineOutcome::Record);
    EXPECT_EQ(parser.cells()[0].kind, CellKind::Missing);
    EXPECT_EQ(parser.cells()[1].kind, CellKind::Missing);
    ASSERT_EQ(parser.parse("-99.9, none, no"), LineOutcome::Record);
    EXPECT_EQ(parser.cells()[0].kind, CellKind::Decimal);
    EXPECT_EQ(parser.cells()[1].kind, CellKind::Missing);
}

TEST(LineParser, CountsFieldsAndCapsTheCountOfALongLine) {
    Fixture f(false);
    ASSERT_EQ(f.parser().parse("1, red"), LineOutcome::Failed);
    EXPECT_EQ(f.parser().error(), "found 2 fields, expected 5");
    ASSERT_EQ(f.parser().parse(std::string(2000, ',')), LineOutcome::Failed);
    EXPECT_EQ(f.parser().error(), "found more than 1005 fields, expected 5");
    ASSERT_EQ(f.parser().parse(std::string_view("1, r\0d, 2, 3, yes", 17)), LineOutcome::Failed);
    EXPECT_EQ(f.parser().error().rfind("a NUL byte", 0), 0u);
}

}  // namespace
}  // namespace mining
