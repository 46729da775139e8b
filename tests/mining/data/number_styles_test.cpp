#include "data/number_styles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace mining {
namespace {

const std::string kEuro = "\xE2\x82\xAC";
const std::string kPound = "\xC2\xA3";

struct ColumnCase {
    const char* name;
    std::vector<std::string> values;
    char delimiter;
    std::optional<NumberStyle> style;  // nullopt: the column is not read as numbers
    std::vector<double> numbers;
};

// Expected numbers are C++ literals, which round as from_chars does; each case holds a value
// that reading by multiplying (0.07 as 7 * 0.01, 1,234.56 as 1234 + 0.56) would miss.
const ColumnCase kColumns[] = {
    {"PercentsWithBlanksAndPlainNumbers",
     {"45%", "45.0 %", "-4.35%", "12", "7\xC2\xA0%", "1e2"},
     ',',
     NumberStyle::Percent,
     {45, 45, -4.35, 12, 7, 100}},
    {"CurrencyBeforeAndAfterWithSigns",
     {"$0.10", "-$1,200.50", "$-3", "$ 7", "+$.5", "12", "8 $"},
     ',',
     NumberStyle::Currency,
     {0.1, -1200.5, -3, 7, 0.5, 12, 8}},
    {"CurrencyWithADecimalComma",
     {"3,20 " + kEuro, "-1.234,07 " + kEuro, "5"},
     ';',
     NumberStyle::Currency,
     {3.2, -1234.07, 5}},
    {"AmountsWithThreeDigitsAfterACommaGroupThousands",
     {kPound + "1,234", kPound + "5"},
     '\t',
     NumberStyle::Currency,
     {1234, 5}},
    {"GroupedWithPlainNumbersMixedIn",
     {"1,234", "12,345,678.5", "-1,234.56", "5000", "0.5", "1,000."},
     ',',
     NumberStyle::Grouped,
     {1234, 12345678.5, -1234.56, 5000, 0.5, 1000}},
    {"ADecimalPointElsewhereMakesCommasGroups",
     {"1,234", "1.5"},
     ';',
     NumberStyle::Grouped,
     {1234, 1.5}},
    {"LongGroupedNumberReadExactly",
     {"12,345,678,901,234,567.89"},
     ',',
     NumberStyle::Grouped,
     {12345678901234567.89}},
    {"DecimalComma",
     {"0,63", "-12,5", "7", ",5", "0,07", "1.5"},
     ';',
     NumberStyle::DecimalComma,
     {0.63, -12.5, 7, 0.5, 0.07, 1.5}},
    {"DecimalCommaWithDotsGroupingThousands",
     {"1.234,5", "2.500", "1.234.567", "3"},
     '\t',
     NumberStyle::DecimalComma,
     {1234.5, 2500, 1234567, 3}},
    {"DatesAndDateTimes",
     {"2023-01-05", "2023-01-05T12:00:00", "1970-01-02", " 2024-02-29 "},
     ',',
     NumberStyle::Date,
     {19362, 19362.5, 1, 19782}},
    {"DatesWithPointsDayFirst",
     {"22.07.2024", "1.2.2024", "01.02.2024 12:00", "29.02.2024 6:00:00"},
     ',',
     NumberStyle::Date,
     {19926, 19754, 19754.5, 19782.25}},
    {"DatesWithSlashesThatReadOnlyMonthFirst",
     {"07/22/2024", "7/1/2024 18:00"},
     ',',
     NumberStyle::Date,
     {19926, 19905.75}},
    {"DatesWithSlashesThatReadOnlyDayFirst",
     {"22/07/2024", "01/07/2024"},
     ',',
     NumberStyle::Date,
     {19926, 19905}},

    {"PlainNumbersOnlyHaveNoStyle", {"1", "2.5", "-3"}, ',', std::nullopt, {}},
    {"NoValues", {}, ',', std::nullopt, {}},
    {"PercentWithCurrency", {"45%", "$3"}, ',', std::nullopt, {}},
    {"TwoCurrencies", {"$3", "3 " + kEuro}, ';', std::nullopt, {}},
    {"PercentBesideAGroupedNumber", {"45%", "1,234"}, ',', std::nullopt, {}},
    {"GroupOfTwo", {"1,23"}, ',', std::nullopt, {}},
    {"IndianGrouping", {"12,34,567"}, ',', std::nullopt, {}},
    {"GroupAfterALeadingZero", {"0,123"}, ',', std::nullopt, {}},
    {"DecimalCommaInACommaDelimitedFile", {"0,63"}, ',', std::nullopt, {}},
    {"CommaBeforeThreeDigitsCannotTell", {"1,234", "12"}, ';', std::nullopt, {}},
    {"DotThatMayGroupBesideADecimalComma", {"0,63", "1.500"}, ';', std::nullopt, {}},
    {"DecimalDotAmongDotGroups", {"1.234,5", "2.5"}, ';', std::nullopt, {}},
    {"DotGroupsWithoutAnyComma", {"1.234.567"}, ';', std::nullopt, {}},
    {"DateAmongNumbers", {"12", "2023-01-05"}, ',', std::nullopt, {}},
    {"NumberAmongDates", {"2023-01-05", "12"}, ',', std::nullopt, {}},
    {"DatesInNeitherOrder", {"22/07/2024", "07/22/2024"}, ',', std::nullopt, {}},
    {"DatesWithTwoSeparators", {"22.07.2024", "22/07/2024"}, ',', std::nullopt, {}},
    {"DatesWithPointsMonthFirst", {"07.22.2024"}, ',', std::nullopt, {}},
    {"DatesWithATwoDigitYear", {"22.07.24"}, ',', std::nullopt, {}},
    {"DateAmongDayMonthDates", {"22.07.2024", "2024-07-22"}, ',', std::nullopt, {}},
    {"NumberAmongDayMonthDates", {"22.07.2024", "12"}, ',', std::nullopt, {}},
    {"DayMonthDateWithAnImpossibleTime", {"22.07.2024 24:00"}, ',', std::nullopt, {}},
    {"Units", {"12 kg"}, ',', std::nullopt, {}},
    {"ExponentWithPercent", {"1e5%"}, ',', std::nullopt, {}},
    {"InfinityWithPercent", {"inf%"}, ',', std::nullopt, {}},
    {"CurrencySignOnly", {"$"}, ',', std::nullopt, {}},
    {"CurrencySignOnlyAmongAmounts", {"$1,234", "$-"}, ',', std::nullopt, {}},
    {"TwoDecimalPoints", {"1.2.3%"}, ',', std::nullopt, {}},
    {"TwoSigns", {"-$-3"}, ',', std::nullopt, {}},
    {"CurrencyOnBothSides", {"$3$"}, ',', std::nullopt, {}},
    {"NumberPastTheLengthLimit", {"$1." + std::string(400, '0')}, ',', std::nullopt, {}},
    {"NumberOutOfRange", {"$1" + std::string(309, '0')}, ',', std::nullopt, {}},
};

void PrintTo(const ColumnCase& c, std::ostream* os) { *os << c.name; }

class ReadAsNumbers : public testing::TestWithParam<ColumnCase> {};

TEST_P(ReadAsNumbers, ReadsTheColumnOrRefusesIt) {
    const ColumnCase& c = GetParam();
    const std::optional<NumberReading> reading = readAsNumbers(c.values, c.delimiter);
    ASSERT_EQ(reading.has_value(), c.style.has_value());
    if (!reading) return;
    EXPECT_EQ(reading->style, *c.style);
    EXPECT_EQ(reading->numbers, c.numbers);
}

INSTANTIATE_TEST_SUITE_P(Columns, ReadAsNumbers, testing::ValuesIn(kColumns),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ReadAsNumbersLimits, ReadsLongNumbersUpToTheLimitExactly) {
    const std::string digits = "1" + std::string(300, '0');
    const std::vector<std::string> values{"$" + digits, "$0." + std::string(300, '0') + "5"};
    const std::optional<NumberReading> reading = readAsNumbers(values, ',');
    ASSERT_TRUE(reading);
    EXPECT_EQ(reading->numbers, (std::vector<double>{1e300, 5e-301}));
}

TEST(ReadAsNumbersLimits, NegativeZeroIsZero) {
    const std::optional<NumberReading> reading =
        readAsNumbers(std::vector<std::string>{"-0%"}, ',');
    ASSERT_TRUE(reading);
    EXPECT_FALSE(std::signbit(reading->numbers[0]));
}

struct DateCase {
    const char* text;
    std::optional<double> days;
};

const DateCase kDates[] = {
    {"1970-01-01", 0},
    {"1970-01-02", 1},
    {"1969-12-31", -1},
    {"2000-02-29", 11016},
    {"2023-01-05T12:00:00", 19362.5},
    {"2023-01-05 10:30", 19362.4375},
    {"2023-01-05T10:30:00Z", 19362.4375},
    {"2023-01-05T12:00:00+02:00", (19362.0 * 86400 + 43200 - 7200) / 86400},
    {"2023-01-05T00:00-05:00", (19362.0 * 86400 + 5 * 3600) / 86400},
    {"2023-01-05T00:00+0530", (19362.0 * 86400 - 19800) / 86400},
    {"2023-01-05T00:00+05", (19362.0 * 86400 - 18000) / 86400},
    {"2023-01-05T00:00:00.5", 19362 + 0.5 / 86400},
    {"2023-02-29", std::nullopt},
    {"1900-02-29", std::nullopt},
    {"2023-02-30", std::nullopt},
    {"2023-13-01", std::nullopt},
    {"2023-1-5", std::nullopt},
    {"2023-01-05T24:00", std::nullopt},
    {"2023-01-05T10:60", std::nullopt},
    {"2023-01-05T10:30:60", std::nullopt},
    {"2023-01-05T10", std::nullopt},
    {"2023-01-05T10:30:00.", std::nullopt},
    {"2023-01-05T10:30z", std::nullopt},
    {"2023-01-05T10:30 Z", std::nullopt},
    {"2023-01-05T10:30+24:00", std::nullopt},
    {"2023-01-05X10:30", std::nullopt},
};

TEST(IsoDays, ReadsDatesAndTimesAndRefusesImpossibleOnes) {
    for (const DateCase& c : kDates) EXPECT_EQ(isoDays(c.text), c.days) << c.text;
}

TEST(IsoDays, TruncatedDateTimeIsReadOnlyWhereItIsComplete) {
    const std::string full = "2023-01-05T10:30:00.25+05:30";
    std::vector<std::string> read;
    for (std::size_t n = 0; n <= full.size(); ++n)
        if (isoDays(std::string_view(full).substr(0, n))) read.push_back(full.substr(0, n));
    EXPECT_EQ(read,
              (std::vector<std::string>{"2023-01-05", "2023-01-05T10:30", "2023-01-05T10:30:00",
                                        "2023-01-05T10:30:00.2", "2023-01-05T10:30:00.25",
                                        "2023-01-05T10:30:00.25+05", full}));
}

TEST(ReadAsNumbersDates, WhereBothOrdersReadTheGuessIsMonthFirstAndSaidSo) {
    const std::vector<std::string> slashes{"07/06/2024", "12/01/2024"};
    const std::optional<NumberReading> guessed = readAsNumbers(slashes, ',');
    ASSERT_TRUE(guessed);
    EXPECT_EQ(guessed->order, DateOrder::MonthFirst);
    EXPECT_TRUE(guessed->orderGuessed);
    EXPECT_EQ(guessed->numbers, (std::vector<double>{19910, 20058}));
    const std::optional<NumberReading> asked = readAsNumbers(slashes, ',', DateOrder::DayFirst);
    ASSERT_TRUE(asked);
    EXPECT_FALSE(asked->orderGuessed);
    EXPECT_EQ(asked->numbers, (std::vector<double>{19881, 19734}));
    // Points are read day first, with no guess to tell; an order asked for is taken, or none.
    const std::vector<std::string> points{"07.06.2024"};
    EXPECT_FALSE(readAsNumbers(points, ',')->orderGuessed);
    EXPECT_EQ(readAsNumbers(points, ',', DateOrder::MonthFirst)->numbers[0], 19910);
    EXPECT_FALSE(readAsNumbers(std::vector<std::string>{"22/07/2024"}, ',', DateOrder::MonthFirst));
}

TEST(DayMonthDays, ReadsOneDateInTheOrderAskedFor) {
    EXPECT_EQ(dayMonthDays("22.07.2024", '.', DateOrder::DayFirst), 19926);
    EXPECT_EQ(dayMonthDays("7/22/2024 12:00", '/', DateOrder::MonthFirst), 19926.5);
    EXPECT_EQ(dayMonthDays("31/12/1969", '/', DateOrder::DayFirst), -1);
    EXPECT_EQ(dayMonthDays("29.02.2023", '.', DateOrder::DayFirst), std::nullopt);
    EXPECT_EQ(dayMonthDays("22.07.2024", '/', DateOrder::DayFirst), std::nullopt);
    EXPECT_EQ(dayMonthDays("22.07.2024", '.', DateOrder::Guess), std::nullopt);
    EXPECT_EQ(dayMonthDays("122.07.2024", '.', DateOrder::DayFirst), std::nullopt);
    EXPECT_EQ(dayMonthDays("22.07.2024 ", '.', DateOrder::DayFirst), std::nullopt);
    EXPECT_EQ(dayMonthDays("22.07.2024 10", '.', DateOrder::DayFirst), std::nullopt);
}

TEST(DescribeExample, ShowsTheValueItsNumberAndADatesOrder) {
    EXPECT_EQ(describeExample(NumberStyle::Currency, " $3.20", 3.2, DateOrder::Guess),
              "$3.20 -> 3.2");
    EXPECT_EQ(describeExample(NumberStyle::Date, "2023-01-05T12:00:00", 19362.5, DateOrder::Guess),
              "2023-01-05T12:00:00 -> 19362.5");
    EXPECT_EQ(describeExample(NumberStyle::Date, "22.07.2024", 19926, DateOrder::DayFirst),
              "22.07.2024 -> 19926, day first");
    EXPECT_EQ(describeStyle(NumberStyle::DecimalComma), "numbers with a decimal comma");
}

}  // namespace
}  // namespace mining
