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
        "1", "0.5", "-2", "12345678901234567", "1e3", "?", "'?'", "", ".", "+", "-0", "007.10"};
    static const std::vector<std::string_view> values = {"red", "a b",   "x",    "?",
                                                         "'?'", "\"a\"", "1.5.2"};
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
