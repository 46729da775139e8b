#include "data/column_checks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>

#include "data/reader.h"

namespace mining {
namespace {

// Reads `text` as a delimited file whose types are guessed, as a run reads it.
Dataset readTable(const std::string& text, const ReadOptions& options = {}) {
    Result<Dataset> read =
        parseData(text, DataFormat::Delimited, std::nullopt, options, "t.csv", "", 1);
    EXPECT_TRUE(read.ok()) << read.error();
    return read.ok() ? std::move(read.value()) : Dataset();
}

// Returns a table "key,x,label" of `keys.size()` records with the keys as written.
std::string keyedTable(const std::vector<std::string>& keys) {
    std::string text = "key,x,label\n";
    for (std::size_t i = 0; i < keys.size(); ++i)
        text += keys[i] + "," + std::to_string(i % 7) + (i % 2 ? ",a\n" : ",b\n");
    return text;
}

std::vector<std::string> asText(const std::vector<long>& numbers) {
    std::vector<std::string> text;
    for (const long n : numbers) text.push_back(std::to_string(n));
    return text;
}

bool hasNote(const Dataset& data, const std::string& part) {
    return std::any_of(data.readNotes().begin(), data.readNotes().end(),
                       [&](const std::string& note) { return note.find(part) != note.npos; });
}

TEST(ColumnChecks, RecordNumbersInAnyOrderOrWithGapsAreLeftOut) {
    std::mt19937_64 engine(3);
    std::vector<long> shuffled(60);
    std::iota(shuffled.begin(), shuffled.end(), 1);
    std::shuffle(shuffled.begin(), shuffled.end(), engine);
    // R's row names after removing records with missing values: 1, 2, 5, 6, 8, ... up to 79.
    std::vector<long> gaps;
    for (long n = 1; gaps.size() < 50; ++n)
        if (n % 8 != 3) gaps.push_back(n);
    std::vector<long> fromZero(40);
    std::iota(fromZero.begin(), fromZero.end(), 0);
    std::reverse(fromZero.begin(), fromZero.end());
    for (const auto& keys : {shuffled, gaps, fromZero}) {
        const Dataset d = readTable(keyedTable(asText(keys)));
        EXPECT_EQ(d.attribute(0).type, AttributeType::Ignored) << keys[0];
        EXPECT_TRUE(hasNote(d, "left out as identifiers: key (it numbers the records)"));
        EXPECT_EQ(d.attribute(1).type, AttributeType::Numeric);
    }
    std::vector<long> inOrder(30);
    std::iota(inOrder.begin(), inOrder.end(), 1);
    EXPECT_TRUE(hasNote(readTable(keyedTable(asText(inOrder))), "key (it counts the records)"));
    ReadOptions keep;
    keep.keepIds = true;
    EXPECT_EQ(readTable(keyedTable(asText(shuffled)), keep).attribute(0).type,
              AttributeType::Numeric);
}

TEST(ColumnChecks, MeasurementsThatDifferInEveryRecordAreKept) {
    std::mt19937_64 engine(5);
    std::vector<long> incomes(40);
    for (long& income : incomes) income = 20000 + static_cast<long>(engine() % 70000);
    std::sort(incomes.begin(), incomes.end());
    incomes.erase(std::unique(incomes.begin(), incomes.end()), incomes.end());
    // Whole numbers just beyond twice the records; one number twice; one missing.
    std::vector<long> wide(40);
    for (std::size_t i = 0; i < wide.size(); ++i) wide[i] = 3 * static_cast<long>(i) + 1;
    std::vector<long> twice(40);
    std::iota(twice.begin(), twice.end(), 1);
    std::shuffle(twice.begin(), twice.end(), engine);
    twice[7] = twice[8];
    std::vector<std::string> missing = asText(twice);
    missing[7] = "?";
    std::vector<std::string> prices;
    for (int i = 0; i < 40; ++i) prices.push_back(std::to_string(i + 1) + ".5");
    std::vector<long> few(19);
    std::iota(few.begin(), few.end(), 1);
    std::shuffle(few.begin(), few.end(), engine);
    for (const auto& keys :
         {asText(incomes), asText(wide), asText(twice), missing, prices, asText(few)}) {
        const Dataset d = readTable(keyedTable(keys));
        EXPECT_EQ(d.attribute(0).type, AttributeType::Numeric) << keys[0] << " " << keys[1];
        EXPECT_FALSE(hasNote(d, "identifiers"));
    }
}

// Returns a column "amount" of `n` numbers with `odd` in the records at `at`.
std::string amounts(std::size_t n, const std::vector<std::pair<std::size_t, std::string>>& odd) {
    std::string text = "amount,label\n";
    for (std::size_t i = 0; i < n; ++i) {
        std::string value = std::to_string(100 + i * 7 % 300);
        for (const auto& [at, word] : odd)
            if (at == i) value = word;
        text += value + (i % 2 ? ",a\n" : ",b\n");
    }
    return text;
}

TEST(ColumnChecks, AFewWordsAmongNumbersAreMissingAndNamedByLine) {
    const Dataset total = readTable(amounts(150, {{149, "Total"}, {20, "-"}}));
    ASSERT_EQ(total.attribute(0).type, AttributeType::Numeric);
    EXPECT_TRUE(isMissing(total.numeric(0)[149]));
    EXPECT_TRUE(isMissing(total.numeric(0)[20]));
    EXPECT_EQ(total.numeric(0)[21], 247.0);
    // The header is line 1, so the 150th record is line 151.
    EXPECT_TRUE(hasNote(total, "read as missing: - in amount (1); Total in amount (line 151)"))
        << total.readNotes().back();
    // More than one in a hundred, or more than five records, and the column stays words.
    EXPECT_EQ(readTable(amounts(150, {{3, "Total"}, {149, "Total"}})).attribute(0).type,
              AttributeType::Nominal);
    std::vector<std::pair<std::size_t, std::string>> six;
    for (std::size_t i = 0; i < 6; ++i) six.push_back({i * 100, "n.a."});
    EXPECT_EQ(readTable(amounts(1000, six)).attribute(0).type, AttributeType::Nominal);
    six.pop_back();
    EXPECT_EQ(readTable(amounts(1000, six)).attribute(0).type, AttributeType::Numeric);
}

TEST(ColumnChecks, DashesAreMissingOnlyAmongNumbers) {
    std::string text = "price;kind;label\n";
    for (int i = 0; i < 30; ++i)
        text += (i % 5 == 0 ? std::string("-") : "$" + std::to_string(i) + ",50") + ";" +
                (i % 3 ? "-" : "big") + (i % 2 ? ";a\n" : ";b\n");
    const Dataset d = readTable(text);
    ASSERT_EQ(d.attribute(0).type, AttributeType::Numeric);
    EXPECT_EQ(d.numeric(0)[1], 1.5);
    EXPECT_TRUE(isMissing(d.numeric(0)[0]));
    EXPECT_EQ(d.attribute(1).values, (std::vector<std::string>{"big", "-"}));
    EXPECT_TRUE(hasNote(d, "read as missing: - in price (6)"));
    EXPECT_TRUE(hasNote(d, "read as numbers with a currency sign: price ($1,50 -> 1.5)"));
}

TEST(ColumnChecks, ColumnsAskedToBeNominalStayNominal) {
    ReadOptions options;
    options.columns.nominal = {"amount"};
    options.keepIds = true;
    EXPECT_EQ(readTable(amounts(150, {{149, "Total"}}), options).attribute(0).type,
              AttributeType::Nominal);
}

TEST(ColumnChecks, DatesInAGuessedOrderAreSaidSo) {
    std::string text = "when,label\n";
    for (int i = 1; i <= 12; ++i)
        text += (i < 10 ? "0" : "") + std::to_string(i) + "/03/2024" + (i % 2 ? ",a\n" : ",b\n");
    const Dataset guessed = readTable(text);
    ASSERT_EQ(guessed.attribute(0).type, AttributeType::Numeric);
    EXPECT_EQ(guessed.numeric(0)[0], 19723 + 2);  // 3 January
    EXPECT_TRUE(hasNote(guessed,
                        "read as dates, in days since 1970-01-01: when (01/03/2024 -> 19725, "
                        "month first; --dates dmy reads day first)"));
    ReadOptions dayFirst;
    dayFirst.dates = DateOrder::DayFirst;
    const Dataset asked = readTable(text, dayFirst);
    EXPECT_EQ(asked.numeric(0)[0], 19783);  // 1 March
    EXPECT_TRUE(hasNote(asked, "when (01/03/2024 -> 19783, day first)"));
}

TEST(LinesHolding, FindsTheRecordsWhoseFieldHoldsTheValue) {
    const std::string text = "1,Total\nTotal,2\n\"Total\",3\n4,\"a,Total\"\n5,Total\n";
    EXPECT_EQ(linesHolding(text, ',', 0, {"Total"}, 5), (std::vector<std::uint64_t>{2, 3}));
    EXPECT_EQ(linesHolding(text, ',', 1, {"Total"}, 5), (std::vector<std::uint64_t>{1, 5}));
    EXPECT_EQ(linesHolding(text, ',', 1, {"Total"}, 1), (std::vector<std::uint64_t>{1}));
    EXPECT_EQ(linesHolding("a;x\rb;y\rc;x\r", ';', 1, {"x"}, 5),
              (std::vector<std::uint64_t>{1, 3}));
    EXPECT_TRUE(linesHolding(text, ',', 2, {"Total"}, 5).empty());
}

TEST(NumericTargetNote, NamesAClassOfManyNumbers) {
    std::string text;
    for (int i = 0; i < 60; ++i) text += std::to_string(i % 7) + "," + std::to_string(i) + "\n";
    EXPECT_TRUE(hasNote(readTable(text), "the class holds 60 different numbers"));
    EXPECT_EQ(numericTargetNote(readTable("1,a\n2,b\n3,c\n")), "");
}

}  // namespace
}  // namespace mining
