#include "data/missing_marks.h"

#include <gtest/gtest.h>

namespace mining {
namespace {

TEST(MissingMarks, EveryMarkIsKnownByItsTextAndNoOtherTextIsAMark) {
    for (MarkId id = 0; id < kFirstTokenMark; ++id) {
        const std::string_view text = builtInMarkText(id);
        const MarkId found = id < kMarkDash ? builtInMark(text) : numberGapMark(text);
        EXPECT_EQ(found, id) << text;
        // A mark of a number's gap is no mark in a column of words, and the other way round.
        EXPECT_EQ(id < kMarkDash ? numberGapMark(text) : builtInMark(text), kNoMark) << text;
    }
    // Real values that look like marks: a category, a word, marks changed by a letter.
    for (const char* value : {"None", "none", "na", "Na", "NAN", "N/a", "#N/B", "NULLS", "<na>",
                              "1.#INF", "---", "..", "-.", "0", "-1", "NA "})
        EXPECT_EQ(builtInMark(value), kNoMark) << value;
    EXPECT_TRUE(isQuietMark(kMarkNaN));
    EXPECT_FALSE(isQuietMark(kMarkLowerNan));
}

TEST(MissingMarks, TokensAreKnownAsWrittenAndAsNumbers) {
    const MissingTokens tokens({" none ", "", "-999", "1e3"});
    EXPECT_EQ(tokens.markOf("none"), kFirstTokenMark);
    EXPECT_EQ(tokens.text(kFirstTokenMark), "none");
    EXPECT_EQ(tokens.markOf("-999"), kFirstTokenMark + 1);  // the empty token is dropped
    EXPECT_EQ(tokens.markOf("-999.0"), kNoMark);            // as text, only as written
    EXPECT_EQ(tokens.markOfNumber(-999.0), kFirstTokenMark + 1);
    EXPECT_EQ(tokens.markOfNumber(1000), kFirstTokenMark + 2);
    EXPECT_EQ(tokens.markOfNumber(999), kNoMark);
    EXPECT_EQ(tokens.text(kMarkNULL), "NULL");
    EXPECT_TRUE(MissingTokens().empty());
}

TEST(MarkTally, CountsEachColumnsMarksApartAndAddsTalliesUp) {
    MarkTally a;
    a.add(7, kMarkNULL);
    a.add(2, kMarkDash);
    a.add(7, kMarkSlashNA);
    a.add(7, kMarkNULL, 3);
    MarkTally b;
    b.add(2, kMarkDash, 5);
    b.add(100000, kMarkNull);
    a.addAll(b);
    const std::vector<MarkCount> counts = a.counts();
    ASSERT_EQ(counts.size(), 4u);
    EXPECT_EQ(counts[0].column, 2u);
    EXPECT_EQ(counts[0].count, 6u);
    EXPECT_EQ(counts[1].mark, kMarkSlashNA);  // by column, then by mark
    EXPECT_EQ(counts[2].mark, kMarkNULL);
    EXPECT_EQ(counts[2].count, 4u);
    EXPECT_EQ(counts[3].column, 100000u);
}

}  // namespace
}  // namespace mining
