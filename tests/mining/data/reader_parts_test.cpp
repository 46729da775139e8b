// The reader parses large texts in several parts at once; the result must not depend on it.
#include <gtest/gtest.h>

#include <atomic>
#include <new>
#include <stdexcept>

#include "data/part_parser.h"
#include "data/reader.h"
#include "same_dataset.h"

namespace mining {
namespace {

// Values that first appear late, a column whose decimals get finer in a later part, records
// without class and late non-numbers that make a column nominal (too many to be read as
// missing: see checkColumns).
std::string mixedData() {
    std::string data;
    for (int i = 0; i < 300; ++i) {
        data += std::to_string(i);
        if (i > 200) data += ".25";
        data += ", v" + std::to_string(i * 7 % (i < 150 ? 3 : 40));
        data += i >= 250 && i % 10 == 0 ? ", late" : ", " + std::to_string(i % 5);
        data += i % 37 == 0 ? ", ?" : ", c" + std::to_string((300 - i) % 4);
        data += i % 50 == 0 ? "\r\n\n" : "\n";
    }
    return data;
}

TEST(ReaderParts, ManyPartsGiveTheSameDataSetAsOne) {
    const std::string data = mixedData();
    const Result<Dataset> one = parseDataset(data, std::nullopt, "d", "n", 1);
    ASSERT_TRUE(one.ok()) << one.error();
    EXPECT_EQ(one->attribute(2).type, AttributeType::Nominal);
    for (std::size_t parts : {2u, 3u, 7u}) {
        const Result<Dataset> many = parseDataset(data, std::nullopt, "d", "n", parts);
        ASSERT_TRUE(many.ok()) << many.error();
        expectSame(*one, *many);
    }
}

TEST(ReaderParts, WithNamesManyPartsGiveTheSameDataSetAsOne) {
    std::string data;
    for (int i = 0; i < 200; ++i)
        data +=
            std::to_string(i % 9) + ".5," + (i % 3 ? "b" : "a") + "," + (i % 4 ? "y" : "x") + "\n";
    const char* names = "y, x.\nn: continuous.\nk: a, b.\n";
    const Result<Dataset> one = parseDataset(data, std::string_view(names), "d", "n", 1);
    const Result<Dataset> many = parseDataset(data, std::string_view(names), "d", "n", 4);
    ASSERT_TRUE(one.ok() && many.ok());
    expectSame(*one, *many);
}

// A column is kept as 32-bit mantissas when every value fits at its finest scale, else as
// doubles, whichever part holds which value; a record left out for its missing class counts
// for neither.
TEST(ReaderParts, TheStorageOfANumericColumnDoesNotDependOnTheParts) {
    std::string data;
    for (int i = 0; i < 400; ++i) {
        data += std::to_string(i) + (i > 300 ? ".125" : "");                   // finer late: scaled
        data += i == 350 ? ",3000000000" : "," + std::to_string(i);            // too wide: doubles
        data += i == 390 ? ",1.5,?\n" : "," + std::to_string(i % 3) + ",c\n";  // no class
    }
    const Result<Dataset> one = parseDataset(data, std::nullopt, "d", "n", 1);
    ASSERT_TRUE(one.ok()) << one.error();
    ASSERT_TRUE(one->numeric(0).decimals() && one->numeric(2).decimals());
    EXPECT_EQ(one->numeric(0).decimals()->scale(), 1000.0);
    EXPECT_FALSE(one->numeric(1).decimals());
    EXPECT_EQ(one->numeric(2).decimals()->scale(), 1.0);
    for (std::size_t parts : {2u, 3u, 5u}) {
        const Result<Dataset> many = parseDataset(data, std::nullopt, "d", "n", parts);
        ASSERT_TRUE(many.ok()) << many.error();
        expectSame(*one, *many);
        for (std::size_t i = 0; i < 3; ++i) {
            const auto decimals = many->numeric(i).decimals();
            ASSERT_EQ(decimals.has_value(), one->numeric(i).decimals().has_value());
            if (decimals) {
                EXPECT_EQ(decimals->scale(), one->numeric(i).decimals()->scale());
            }
        }
    }
}

// Lines without a record in an early part leave rows that the later parts' rows must close up,
// numbers, codes and classes alike.
// Codes are kept one byte a record while a column's values fit; a column of more values must
// come out the same whichever way it outgrows a byte: in one part, only once the parts' lists
// are joined (each part holds fewer than 255 values), or listed by .names from the start.
TEST(ReaderParts, ColumnsOfMoreValuesThanAByteHoldKeepEveryCode) {
    std::string data;
    std::string listed = "v0";
    for (int i = 0; i < 1200; ++i) {
        // Values 0..399 first, then all again: a single part meets more than 255 of them,
        // each of eight parts fewer.
        const int v = i < 400 ? i : i % 400;
        data += "v" + std::to_string(v) + ", " + (i % 97 == 0 ? "?" : "w" + std::to_string(i % 3)) +
                ", c" + std::to_string(v % 260) + "\n";
        if (i > 0 && i < 400) listed += ", v" + std::to_string(i);
    }
    std::string classes = "c0";
    for (int c = 1; c < 260; ++c) classes += ", c" + std::to_string(c);
    const std::string names = classes + ".\nmany: " + listed + ".\nfew: w0, w1, w2.\n";
    for (const bool withNames : {false, true}) {
        for (std::size_t parts : {1u, 8u}) {
            const Result<Dataset> d = withNames ? parseDataset(data, names, "d", "n", parts)
                                                : parseDataset(data, std::nullopt, "d", "n", parts);
            ASSERT_TRUE(d.ok()) << d.error();
            ASSERT_EQ(d->recordCount(), 1200u);
            ASSERT_EQ(d->attribute(0).values.size(), 400u);
            ASSERT_EQ(d->classCount(), 260u);
            for (std::size_t r = 0; r < 1200; ++r) {
                const std::size_t v = r < 400 ? r : r % 400;
                const auto code = static_cast<std::size_t>(d->nominal(0)[r]);
                ASSERT_EQ(d->attribute(0).values[code], "v" + std::to_string(v)) << r;
                const auto cls = static_cast<std::size_t>(d->classes()[r]);
                ASSERT_EQ(d->classValues()[cls], "c" + std::to_string(v % 260)) << r;
                const std::int32_t few = d->nominal(1)[r];
                if (r % 97 == 0) {
                    ASSERT_EQ(few, kMissingCode) << r;
                } else {
                    ASSERT_EQ(d->attribute(1).values[static_cast<std::size_t>(few)],
                              "w" + std::to_string(r % 3));
                }
            }
        }
    }
}

TEST(ReaderParts, LinesWithoutARecordLeaveNoGapBetweenParts) {
    std::string data;
    for (int i = 0; i < 100; ++i) data += i % 2 ? "\n  \n1.5,x,?\n" : "2,y,a\n";
    for (int i = 0; i < 100; ++i) data += std::to_string(i) + ",z,b\n";
    for (std::size_t parts : {1u, 2u, 4u}) {
        const Result<Dataset> d = parseDataset(data, std::nullopt, "d", "n", parts);
        ASSERT_TRUE(d.ok()) << d.error();
        ASSERT_EQ(d->recordCount(), 150u);
        EXPECT_EQ(d->missingClassCount(), 50u);
        EXPECT_EQ(d->attribute(1).values, (std::vector<std::string>{"y", "x", "z"}));
        EXPECT_EQ(d->numeric(0)[49], 2.0);
        EXPECT_EQ(d->numeric(0)[50], 0.0);
        EXPECT_EQ(d->numeric(0)[149], 99.0);
        EXPECT_EQ(d->nominal(1)[50], 2);
        EXPECT_EQ(d->classes()[49], 0);
        EXPECT_EQ(d->classes()[50], 1);
    }
}

TEST(ReaderParts, AnErrorInALaterPartNamesItsLineInTheWholeFile) {
    std::string data;
    for (int i = 0; i < 100; ++i) data += std::to_string(i) + ",a\n";
    data += "\n1,2,a\n";
    for (int i = 0; i < 100; ++i) data += std::to_string(i) + ",a\n";
    for (std::size_t parts : {1u, 2u, 5u}) {
        const Result<Dataset> d = parseDataset(data, std::nullopt, "d", "n", parts);
        ASSERT_FALSE(d.ok());
        EXPECT_EQ(d.error(), "d, line 102: found 3 fields, expected 2") << parts;
    }
}

TEST(ReaderParts, RecordsOfEmptyFieldsWithoutAClassFieldEachGetARow) {
    // Without a class field a record needs one delimiter fewer: ",\n" is a record of two
    // missing values, and the rows set aside for a part must count it so.
    std::string data;
    for (int i = 0; i < 3000000; ++i) data += ",\n";
    ReadOptions options;
    options.columns.classAbsent = true;
    options.keepMissingClass = true;
    options.keepIds = true;
    const Result<Dataset> d =
        parseData(data, DataFormat::Records, std::nullopt, options, "d", "n", 1);
    ASSERT_TRUE(d.ok()) << d.error();
    EXPECT_EQ(d->recordCount(), 3000000u);
    EXPECT_EQ(d->attributeCount(), 2u);
}

TEST(ReaderParts, APartWhoseRowsRunOutStopsRatherThanWritePastThem) {
    // The rows are counted from the text before it is read: only a text that changed since (a
    // mapped file rewritten meanwhile) holds more records than that.
    const Result<RecordLayout> layout = layoutFromFirstRecord("1,x\n", "d");
    ASSERT_TRUE(layout.ok());
    constexpr std::size_t kRows = 2;
    SharedColumns columns;
    columns.numbers.emplace_back(kRows);
    columns.codes.resize(2);
    columns.codes[1].bytes = ColumnVector<std::uint8_t>(kRows);
    const ReleaseCallback none;
    PartParser part(*layout, "1,x\n2,y\n\n3,x\n", 0, none, columns, 0, kRows);
    part.run();
    EXPECT_EQ(part.outcome(), PartOutcome::Failed);
    EXPECT_EQ(part.errorLine(), 4u);
    EXPECT_EQ(part.kept(), 2u);
    EXPECT_NE(part.error().find("changed while it was read"), std::string::npos);
}

}  // namespace
}  // namespace mining
