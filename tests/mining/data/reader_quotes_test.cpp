// Double quotes that go on over many lines: the reader follows them in one pass, so that an
// unclosed quote or a long quoted field costs its length, never its length squared. The sizes
// here would take minutes at a quadratic cost, far past the test's time limit.
#include <gtest/gtest.h>

#include <random>

#include "data/dataset_builder.h"
#include "data/reader.h"
#include "data/text_fields.h"

namespace mining {
namespace {

// Records "i,vK,x|y" for i in [from, to).
std::string records(int from, int to) {
    std::string text;
    for (int i = from; i < to; ++i)
        text += std::to_string(i) + ",v" + std::to_string(i % 7) + (i % 2 ? ",x\n" : ",y\n");
    return text;
}

TEST(ReaderQuotes, AQuotedFieldOverManyLinesIsOneValue) {
    constexpr int kLines = 300000;
    std::string note;
    for (int i = 0; i < kLines; ++i) note += "line " + std::to_string(i) + " of the note\n";
    note.pop_back();
    const std::string text = "1,a,x\n2,\"" + note + "\",y\n" + records(3, 50);
    const Result<Dataset> d = DatasetBuilder::build(text, nullptr, "d", "n", 0, ReleaseCallback());
    ASSERT_TRUE(d.ok()) << d.error();
    ASSERT_EQ(d->recordCount(), 49u);
    EXPECT_EQ(d->attribute(1).values[d->nominal(1)[1]], note);
    EXPECT_EQ(d->numeric(0)[2], 3.0);
}

TEST(ReaderQuotes, AnUnclosedQuoteIsNamedByItsLineWhateverFollows) {
    const std::string text = "1,a,x\n2,b,y\n3,\"c,x\n" + records(4, 200000);
    for (std::size_t parts : {1u, 2u, 4u}) {
        const Result<Dataset> d = parseDataset(text, std::nullopt, "d", "n", parts);
        ASSERT_FALSE(d.ok());
        EXPECT_EQ(d.error(), "d, line 3: a quoted value is not closed") << parts;
    }
    // A delimited text and a header line take the same path.
    const Result<Dataset> csv = parseData("n,v,c\n" + text, DataFormat::Delimited, std::nullopt,
                                          ReadOptions(), "t.csv", "", 0);
    ASSERT_FALSE(csv.ok());
    EXPECT_EQ(csv.error(), "t.csv, line 4: a quoted value is not closed");
}

TEST(ReaderQuotes, FollowingTheQuotesPieceByPieceAgreesWithTheWholeLine) {
    // Random records of quotes, delimiters, blanks and letters, cut at random places: after
    // each piece the tracker says what leavesQuoteOpen() says of everything so far.
    std::mt19937 random(7);
    const std::string alphabet = "\"\",, \ta\n;";
    for (int round = 0; round < 2000; ++round) {
        std::string text(random() % 30, ' ');
        for (char& c : text) c = alphabet[random() % alphabet.size()];
        for (const char delimiter : {',', '\t'}) {
            QuoteTracker tracker(delimiter);
            std::size_t at = 0;
            while (at < text.size()) {
                const std::size_t piece = 1 + random() % 5;
                const std::string_view so = std::string_view(text).substr(0, at + piece);
                const bool open = tracker.add(std::string_view(text).substr(at, piece));
                ASSERT_EQ(open, leavesQuoteOpen(so, delimiter)) << '[' << so << ']';
                at += piece;
            }
        }
    }
}

TEST(ReaderQuotes, DoubledQuotesInTheFirstRecordAndInDeclaredValues) {
    // .names lists values, and without it the first record settles the types: both keep a value
    // that held "" as read, once the line is split.
    const Result<Dataset> d = parseDataset(
        "\"a \"\"quoted\"\" word, and more\",1,\"x \"\"one\"\" class value\"\n"
        "b,2,\"y \"\"two\"\" class value\"\n",
        std::string_view("\"x \"\"one\"\" class value\", \"y \"\"two\"\" class value\".\n"
                         "w: \"a \"\"quoted\"\" word, and more\", b.\nn: continuous.\n"));
    ASSERT_TRUE(d.ok()) << d.error();
    EXPECT_EQ(d->classValues(),
              (std::vector<std::string>{"x \"one\" class value", "y \"two\" class value"}));
    EXPECT_EQ(d->attribute(0).values[0], "a \"quoted\" word, and more");
    const Result<Dataset> guessed = DatasetBuilder::build(
        "\"1\"\"5 and a long tail of text\",2,x\n3,4,y\n", nullptr, "d", "n", 1, {});
    ASSERT_TRUE(guessed.ok()) << guessed.error();
    EXPECT_EQ(guessed->attribute(0).type, AttributeType::Nominal);
    EXPECT_EQ(guessed->attribute(0).values[0], "1\"5 and a long tail of text");
}

}  // namespace
}  // namespace mining
