#include "data/reader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

namespace mining {
namespace {

Dataset parseOk(std::string_view data, std::optional<std::string_view> names = std::nullopt) {
    Result<Dataset> result = parseDataset(data, names, "t.data", "t.names");
    EXPECT_TRUE(result.ok()) << result.error();
    if (!result.ok()) return Dataset();
    return std::move(result.value());
}

std::string parseError(std::string_view data,
                       std::optional<std::string_view> names = std::nullopt) {
    Result<Dataset> result = parseDataset(data, names, "t.data", "t.names");
    EXPECT_FALSE(result.ok());
    return result.ok() ? "" : result.error();
}

TEST(Reader, WithoutNamesInfersTypesNamesAndValueOrder) {
    const Dataset d = parseOk("1, red, 2.5, yes\n3, blue, ?, no\n? , red, 7, yes\n");
    ASSERT_EQ(d.attributeCount(), 3u);
    EXPECT_EQ(d.attribute(0).name, "a1");
    EXPECT_EQ(d.attribute(2).name, "a3");
    EXPECT_EQ(d.attribute(0).type, AttributeType::Numeric);
    EXPECT_EQ(d.attribute(1).type, AttributeType::Nominal);
    EXPECT_EQ(d.attribute(2).type, AttributeType::Numeric);
    EXPECT_EQ(d.attribute(1).values, (std::vector<std::string>{"red", "blue"}));
    EXPECT_EQ(d.classValues(), (std::vector<std::string>{"yes", "no"}));
    ASSERT_EQ(d.recordCount(), 3u);
    EXPECT_EQ(d.numeric(0)[1], 3.0);
    EXPECT_TRUE(isMissing(d.numeric(0)[2]));
    EXPECT_TRUE(isMissing(d.numeric(2)[1]));
    EXPECT_EQ(d.numeric(2)[0], 2.5);
    EXPECT_EQ(d.nominal(1)[1], 1);
    EXPECT_EQ(std::vector<std::int32_t>(d.classes().begin(), d.classes().end()),
              (std::vector<std::int32_t>{0, 1, 0}));
    EXPECT_EQ(d.namesPath(), "");
}

TEST(Reader, AColumnWithALateNonNumberIsNominal) {
    std::string data;
    for (int i = 0; i < 40; ++i) data += std::to_string(i) + "," + std::to_string(i % 3) + ",c\n";
    data += "x,1,c\n";
    const Dataset d = parseOk(data);
    EXPECT_EQ(d.attribute(0).type, AttributeType::Nominal);
    EXPECT_EQ(d.attribute(1).type, AttributeType::Numeric);
    EXPECT_EQ(d.attribute(0).values.size(), 41u);  // beyond the linear-scan limit too
    EXPECT_EQ(d.attribute(0).values[40], "x");
    EXPECT_EQ(d.nominal(0)[17], 17);
    EXPECT_EQ(d.recordCount(), 41u);
}

TEST(Reader, AcceptsByteOrderMarkCrLfBlankLinesAndQuotes) {
    const Dataset d = parseOk(
        "\xEF\xBB\xBF"
        "1,'a, b',x\r\n\r\n   \n2 , \"c\" ,y\r\n\n");
    ASSERT_EQ(d.recordCount(), 2u);
    EXPECT_EQ(d.attribute(1).values, (std::vector<std::string>{"a, b", "c"}));
    EXPECT_EQ(d.classValues(), (std::vector<std::string>{"x", "y"}));
    EXPECT_EQ(d.numeric(0)[1], 2.0);
}

// A carriage return before a field is a blank like a space: the value is the same whether the
// rest of the line is plain or not, and a quote after it still opens a quoted value.
TEST(Reader, ACarriageReturnBeforeAFieldIsABlank) {
    const Dataset d = parseOk("1, red, yes\n2,\rred, no\n3,\r red , '?'\n");
    EXPECT_EQ(d.attribute(1).values, (std::vector<std::string>{"red"}));
    EXPECT_EQ(d.nominal(1)[1], 0);
    EXPECT_EQ(parseError("1, red, yes\n2, \r'x, no\n"),
              "t.data, line 2: a quoted value is not closed");
}

TEST(Reader, LeavesOutAndCountsRecordsWithoutClass) {
    const Dataset d = parseOk("1,a\n2,?\n3,b\n4, ?\n");
    EXPECT_EQ(d.recordCount(), 2u);
    EXPECT_EQ(d.missingClassCount(), 2u);
    EXPECT_EQ(d.numeric(0)[1], 3.0);
}

TEST(Reader, UsesNamesForTypesValueCodesAndIgnoredColumns) {
    const char* names = "no, yes.\nage: continuous.\nid: ignore.\ncolour: red, green, blue.\n";
    const Dataset d = parseOk("30, 17, blue, yes\n?, x, ?, no\n41.5, 9, red, yes\n", names);
    ASSERT_EQ(d.attributeCount(), 3u);
    EXPECT_EQ(d.attribute(1).type, AttributeType::Ignored);
    EXPECT_EQ(d.nominal(2)[0], 2);
    EXPECT_EQ(d.nominal(2)[1], kMissingCode);
    EXPECT_EQ(d.classes()[0], 1);
    EXPECT_EQ(d.numeric(0)[2], 41.5);
    EXPECT_EQ(d.namesPath(), "t.names");
}

// The class column's name and place among the fields, which a table of the file's columns needs:
// unnamed in .names ("class"), the header's or the ARFF attribute's name, wherever it stands.
TEST(Reader, NamesTheClassColumnAndItsPlaceInEveryFormat) {
    struct Case {
        std::string text;
        DataFormat format;
        std::optional<std::string> names;
        std::string classColumn;
        std::string className;
        std::size_t classField;
    };
    const std::string names = "no, yes.\nage: continuous.\ncolour: red, blue.\n";
    const std::vector<Case> cases = {
        {"30,red,yes\n40,blue,no\n", DataFormat::Records, names, "", "class", 2},
        {"30,red,yes\n40,blue,no\n", DataFormat::Records, names, "colour", "colour", 1},
        {"age,kind,size\n1,x,2\n3,y,4\n", DataFormat::Delimited, std::nullopt, "kind", "kind", 1},
        {"1,x,2\n3,y,4\n", DataFormat::Delimited, std::nullopt, "", "a3", 2},
        {"@relation r\n@attribute 'the kind' {x,y}\n@attribute n numeric\n@data\nx,1\ny,2\n",
         DataFormat::Arff, std::nullopt, "1", "the kind", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        ReadOptions options;
        options.columns.classColumn = c.classColumn;
        std::optional<std::string_view> namesText;
        if (c.names) namesText = *c.names;
        const Result<Dataset> d =
            parseData(c.text, c.format, namesText, options, "t", "t.names", 1);
        ASSERT_TRUE(d) << d.error();
        EXPECT_EQ(d->className(), c.className);
        EXPECT_EQ(d->classField(), c.classField);
    }
}

Dataset parseAs(const std::string& text, DataFormat format, const ReadOptions& options = {}) {
    Result<Dataset> result = parseData(text, format, std::nullopt, options, "t", "", 1);
    EXPECT_TRUE(result.ok()) << result.error();
    return result.ok() ? std::move(result.value()) : Dataset();
}

TEST(Reader, MarksOfMissingValuesAreMissingInEveryFormatAndNoted) {
    const Dataset table = parseAs("x,colour,label\n1.5,red,a\n#N/A,NULL,b\n2,N/A,a\n3,red,null\n",
                                  DataFormat::Delimited);
    ASSERT_EQ(table.attribute(0).type, AttributeType::Numeric);
    EXPECT_TRUE(isMissing(table.numeric(0)[1]));
    EXPECT_EQ(table.attribute(1).values, (std::vector<std::string>{"red"}));
    EXPECT_EQ(table.missingClassCount(), 1u);
    ASSERT_EQ(table.readNotes().size(), 1u);
    EXPECT_EQ(table.readNotes()[0],
              "read as missing: #N/A in x (1); N/A in colour (1); NULL in colour (1); null in "
              "label (1)");
    const Dataset arff =
        parseAs("@relation r\n@attribute x numeric\n@attribute c {p, q}\n@data\n1,p\nNULL,q\n-,?\n",
                DataFormat::Arff);
    EXPECT_EQ(arff.recordCount(), 2u);
    EXPECT_EQ(arff.readNotes(), (std::vector<std::string>{"read as missing: NULL in x (1)"}));
    // The reader's own marks need no note.
    EXPECT_TRUE(parseAs("1,?,a\nNA,NaN,b\n,3,a\n", DataFormat::Records).readNotes().empty());
}

TEST(Reader, TheRunsMissingTokensAreMissingInEveryColumn) {
    ReadOptions options;
    options.missingTokens = {"none", "-999"};
    const Dataset d = parseAs("x,y,label\nnone,1,a\n-999,-999.0,b\n2,none,a\n3.5,\"none\",b\n",
                              DataFormat::Delimited, options);
    ASSERT_EQ(d.attribute(0).type, AttributeType::Numeric);  // a token first is no word
    ASSERT_EQ(d.attribute(1).type, AttributeType::Numeric);
    EXPECT_TRUE(isMissing(d.numeric(0)[1]));
    EXPECT_TRUE(isMissing(d.numeric(1)[3]));
    EXPECT_EQ(d.numeric(0)[3], 3.5);
    EXPECT_EQ(d.readNotes(),
              (std::vector<std::string>{
                  "read as missing: none in x (1) and y (2); -999 in x (1) and y (1)"}));
}

TEST(Reader, AnArffClassDeclaredNumericIsNotedAsATable) {
    std::string numeric = "@relation r\n@attribute size numeric\n@attribute price numeric\n@data\n";
    std::string nominal = "@relation r\n@attribute size numeric\n@attribute price {";
    std::string records;
    for (int i = 0; i < 30; ++i) {
        records += std::to_string(i % 4) + "," + std::to_string(100 + 3 * i) + "\n";
        nominal += (i ? "," : "") + std::to_string(100 + 3 * i);
    }
    nominal += "}\n@data\n";
    const Dataset d = parseAs(numeric + records, DataFormat::Arff);
    ASSERT_EQ(d.readNotes().size(), 1u);
    EXPECT_EQ(d.readNotes()[0].rfind("the class holds 30 different numbers: a numeric target", 0),
              0u);
    EXPECT_TRUE(parseAs(nominal + records, DataFormat::Arff).readNotes().empty());
}

TEST(Reader, NumbersAreExactlyTheDoublesTheTextDenotes) {
    const Dataset d = parseOk("0.1,c\n123456.78,c\n-0.000000001,c\n1e300,c\n0.3,c\n");
    const NumericColumn& c = d.numeric(0);
    EXPECT_EQ(c[0], 0.1);
    EXPECT_EQ(c[1], 123456.78);
    EXPECT_EQ(c[2], -0.000000001);
    EXPECT_EQ(c[3], 1e300);
    EXPECT_EQ(c[4], 0.3);
}

TEST(Reader, ErrorsNameTheFileAndTheLine) {
    const char* names = "no, yes.\nage: continuous.\ncolour: red, green.\n";
    EXPECT_EQ(parseError("1,a,b\n\n2,a\n"), "t.data, line 3: found 2 fields, expected 3");
    EXPECT_EQ(parseError("1,red,yes\n2,red\n", names),
              "t.data, line 2: found 2 fields, expected 3");
    EXPECT_EQ(parseError("1,red,yes\nold,red,no\n", names),
              "t.data, line 2: \"old\" is not a number, but attribute age is continuous");
    EXPECT_EQ(parseError("1,pink,yes\n", names),
              "t.data, line 1: \"pink\" is not a value of attribute colour listed in t.names");
    EXPECT_EQ(parseError("1,red,maybe\n", names),
              "t.data, line 1: \"maybe\" is not a class value listed in t.names");
    EXPECT_EQ(parseError("1,'red,yes\n", names), "t.data, line 1: a quoted value is not closed");
    // A record without class is still checked.
    EXPECT_EQ(parseError("1,red,yes\nx,red,?\n", names),
              "t.data, line 2: \"x\" is not a number, but attribute age is continuous");
}

TEST(Reader, AFileWithoutRecordsIsAnError) {
    EXPECT_EQ(parseError(""), "t.data holds no records");
    EXPECT_EQ(parseError("\n  \r\n\n"), "t.data holds no records");
    EXPECT_EQ(parseError("1,?\n2,?\n"),
              "t.data holds no record with a class value (2 records have '?' as class)");
}

TEST(Reader, ABadNamesFileIsReported) {
    EXPECT_EQ(parseError("1,a\n", "x: continuous.\n"),
              "t.names, line 1: the first statement must list the class values");
}

TEST(Reader, NeverCrashesOnRandomBytes) {
    std::mt19937_64 engine(7);
    const std::string alphabet = "0123456789.,-+e?'\" \t\r\nabc\x00\xff|:";
    for (int round = 0; round < 300; ++round) {
        std::string data;
        const std::size_t length = engine() % 200;
        for (std::size_t i = 0; i < length; ++i) data += alphabet[engine() % alphabet.size()];
        const Result<Dataset> result = parseDataset(data, std::nullopt);
        if (result.ok()) {
            const Dataset& d = *result;
            for (std::size_t a = 0; a < d.attributeCount(); ++a)
                if (d.attribute(a).type == AttributeType::Numeric)
                    EXPECT_EQ(d.numeric(a).size(), d.recordCount());
                else
                    EXPECT_EQ(d.nominal(a).size(), d.recordCount());
        } else {
            EXPECT_FALSE(result.error().empty());
        }
        const Result<Dataset> withNames =
            parseDataset(data, std::string_view("a, b.\nx: continuous.\n"));
        if (withNames.ok())
            EXPECT_EQ(withNames->numeric(0).size(), withNames->recordCount());
        else
            EXPECT_FALSE(withNames.error().empty());
    }
}

class ReaderFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("reader_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    void write(const std::string& name, const std::string& content) {
        std::ofstream(dir_ / name, std::ios::binary) << content;
    }
    std::filesystem::path dir_;
};

TEST_F(ReaderFiles, ReadsDataAndNamesFromDisk) {
    write("s.data", "1,a\n2,b\n");
    write("s.names", "b, a.\nx: continuous.\n");
    const Result<Dataset> d = readDataset((dir_ / "s").string());
    ASSERT_TRUE(d.ok()) << d.error();
    EXPECT_EQ(d->classValues(), (std::vector<std::string>{"b", "a"}));
    EXPECT_EQ(d->dataPath(), (dir_ / "s.data").string());
    EXPECT_EQ(d->namesPath(), (dir_ / "s.names").string());
}

TEST_F(ReaderFiles, AMissingOrUnreadableFileIsAnError) {
    const Result<Dataset> missing = readDataset((dir_ / "none").string());
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.error(),
              "cannot read " + (dir_ / "none.data").string() + ": No such file or directory");
    std::filesystem::create_directory(dir_ / "folder.data");
    const Result<Dataset> folder = readDataset((dir_ / "folder").string());
    ASSERT_FALSE(folder.ok());
    EXPECT_NE(folder.error().find("it is a folder"), std::string::npos);
    write("empty.data", "");
    const Result<Dataset> empty = readDataset((dir_ / "empty").string());
    ASSERT_FALSE(empty.ok());
    EXPECT_EQ(empty.error(), (dir_ / "empty.data").string() + " holds no records");
}

}  // namespace
}  // namespace mining
