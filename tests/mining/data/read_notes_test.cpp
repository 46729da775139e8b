#include "data/read_notes.h"

#include <gtest/gtest.h>

namespace mining {
namespace {

// Returns a data set of no records whose attributes are named `names` (the class "class").
Dataset named(const std::vector<std::string>& names) {
    std::vector<Attribute> attributes;
    for (const std::string& name : names) attributes.push_back({name, AttributeType::Numeric, {}});
    return Dataset::fromColumns(attributes, {"x"}, std::vector<NumericColumn>(names.size()),
                                std::vector<CodeColumn>(names.size()), CodeColumn());
}

TEST(MissingValuesNote, ListsEachValueWithItsColumnsCountsAndLines) {
    Dataset d = named({"income", "City", "a", "b", "c", "d", "e"});
    EXPECT_EQ(missingValuesNote(d), "");
    d.addMissingCount({0, "NULL", 12, {}});
    d.addMissingCount({1, "NULL", 3, {}});
    d.addMissingCount({7, "NULL", 1, {}});  // the class
    d.addMissingCount({0, "Total", 1, {102}});
    d.addMissingCount({1, "#N/A N/A", 2, {5, 9}});
    d.addMissingCount({1, "n.a.", 3, {5}});  // fewer lines found than records: counted
    EXPECT_EQ(missingValuesNote(d),
              "read as missing: NULL in income (12), City (3) and class (1); Total in income "
              "(line 102); \"#N/A N/A\" in City (lines 5 and 9); n.a. in City (3)");
}

TEST(MissingValuesNote, CountsTheColumnsBeyondTheFirstFour) {
    Dataset d = named({"a", "b", "c", "d", "e", "f"});
    for (std::size_t c = 0; c < 5; ++c) d.addMissingCount({c, "-", c + 1, {}});
    EXPECT_EQ(missingValuesNote(d), "read as missing: - in a (1), b (2), c (3), d (4) and e (5)");
    d.addMissingCount({5, "-", 10, {}});
    EXPECT_EQ(missingValuesNote(d),
              "read as missing: - in a (1), b (2), c (3), d (4) and 2 more columns (15)");
}

TEST(ConversionsNote, GroupsColumnsByStyleAndGivesDatesEachTheirOwnExample) {
    Dataset d = named({"Price", "tax", "day", "when", "share"});
    EXPECT_EQ(conversionsNote(d), "");
    d.addConversion({0, NumberStyle::DecimalComma, "3,20", 3.2, DateOrder::Guess, false});
    d.addConversion({2, NumberStyle::Date, "07/06/2024", 19910, DateOrder::MonthFirst, true});
    d.addConversion({1, NumberStyle::DecimalComma, "0,5", 0.5, DateOrder::Guess, false});
    d.addConversion({3, NumberStyle::Date, "2024-01-02", 19724, DateOrder::Guess, false});
    d.addConversion({4, NumberStyle::Percent, "45 %", 45, DateOrder::Guess, false});
    EXPECT_EQ(conversionsNote(d),
              "read as numbers with a decimal comma: Price and tax (3,20 -> 3.2); as dates, in "
              "days since 1970-01-01: day (07/06/2024 -> 19910, month first; --dates dmy reads "
              "day first) and when (2024-01-02 -> 19724); as numbers with a percent sign: share "
              "(45 % -> 45)");
    Dataset two = named({"amount", "share"});
    two.addConversion({0, NumberStyle::Currency, "$3.20", 3.2, DateOrder::Guess, false});
    two.addConversion({1, NumberStyle::Percent, "45 %", 45, DateOrder::Guess, false});
    EXPECT_EQ(conversionsNote(two),
              "read as numbers with a currency sign: amount ($3.20 -> 3.2); with a percent "
              "sign: share (45 % -> 45)");
}

}  // namespace
}  // namespace mining
