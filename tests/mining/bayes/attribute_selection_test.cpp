// Naive Bayes with a treatment per attribute, and the cross-validated choice of treatments.
#include "bayes/attribute_selection.h"

#include <gtest/gtest.h>

#include <numeric>
#include <sstream>

#include "bayes/selective_bayes.h"
#include "bayes_test_data.h"
#include "data/reader.h"

namespace mining {
namespace {

// Class a at values near 2 and 8, class b near 0, 5 and 10: one normal per class sees two wide
// classes centred at 5, bins and kernels see where each class is. The second attribute is
// noise, the third a nominal attribute that agrees with the class two times in three.
std::string modesData() {
    std::string text;
    unsigned noise = 7;
    for (int i = 0; i < 240; ++i) {
        const bool a = i % 2 == 0;
        const double centre = a ? (i % 4 == 0 ? 2.0 : 8.0) : (i % 3) * 5.0;
        noise = noise * 1103515245u + 12345u;
        text += std::to_string(centre + (i % 11) / 20.0) + "," +
                std::to_string((noise >> 16) % 1000) + "," + ((i % 3 == 0) == a ? "p" : "q") + "," +
                (a ? "a" : "b") + "\n";
    }
    return text;
}

TEST(AttributeSelection, MixedTreatmentsScoreAsTheSumOfTheirTerms) {
    const Dataset d = parse(modesData());
    const std::vector<RowIndex> rows = allRows(d);
    for (const std::vector<AttributeUse>& uses : std::vector<std::vector<AttributeUse>>{
             {AttributeUse::Kernel, AttributeUse::Normal, AttributeUse::Normal},
             {AttributeUse::Discretize, AttributeUse::Kernel, AttributeUse::LeftOut},
             {AttributeUse::LeftOut, AttributeUse::Discretize, AttributeUse::Normal}}) {
        NaiveBayes model(NumericMode::Normal, uses);
        ASSERT_TRUE(model.train(d, rows).ok());
        std::vector<double> total(rows.size() * d.classCount());
        for (std::size_t i = 0; i < rows.size(); ++i)
            for (std::size_t c = 0; c < d.classCount(); ++c)
                total[i * d.classCount() + c] = model.logPrior(c);
        std::vector<double> terms;
        for (std::size_t a = 0; a < d.attributeCount(); ++a) {
            EXPECT_EQ(model.uses(a), uses[a] != AttributeUse::LeftOut);
            model.attributeScores(d, a, rows, terms);
            for (std::size_t j = 0; j < total.size(); ++j) {
                if (uses[a] == AttributeUse::LeftOut) {
                    EXPECT_EQ(terms[j], 0.0);
                }
                total[j] += terms[j];
            }
        }
        std::vector<std::int32_t> predicted;
        model.predictRows(d, rows, predicted);
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const double* s = &total[i * d.classCount()];
            EXPECT_EQ(predicted[i], s[1] > s[0] ? 1 : 0) << "row " << i;
        }
    }
    // Choices that do not fit the data are an error, not a guess.
    NaiveBayes wrong(NumericMode::Normal, {AttributeUse::Kernel});
    EXPECT_FALSE(wrong.train(d, rows).ok());
}

TEST(AttributeSelection, FitsEachAttributeItsTreatment) {
    const Dataset d = parse(modesData());
    const AttributeSelection s = selectAttributes(d, allRows(d), 1);
    ASSERT_TRUE(s.made);
    EXPECT_EQ(s.records, 240u);
    EXPECT_NE(s.uses[0], AttributeUse::Normal);
    EXPECT_NE(s.uses[0], AttributeUse::LeftOut);
    EXPECT_NE(s.start, NumericMode::Normal);
    EXPECT_GE(s.accuracy, s.startAccuracy);
    EXPECT_GT(s.accuracy, 0.9);
}

// v agrees with the class four times in five, w three times in five, and right where v is
// wrong; w is written five times. Counted five times w outvotes v (60 % right); v alone, or
// with up to three copies of w, is right 80 % of the time. Leaving out one copy at a time gains
// nothing until the fourth, so the search from no attribute at all finds it.
TEST(AttributeSelection, LeavesOutCopiesThatOutvoteABetterAttribute) {
    std::string text;
    for (int i = 0; i < 300; ++i) {
        const bool a = i % 2 == 0;
        const bool vRight = i % 5 != 0;
        const bool wRight = i % 5 < 3;
        const std::string w = wRight == a ? "x" : "y";
        text += std::string(vRight == a ? "s" : "t") + "," + w + "," + w + "," + w + "," + w + "," +
                w + "," + (a ? "A" : "B") + "\n";
    }
    const Dataset d = parse(text);
    const AttributeSelection s = selectAttributes(d, allRows(d), 1);
    ASSERT_TRUE(s.made);
    EXPECT_NEAR(s.startAccuracy, 0.6, 0.02);
    EXPECT_GE(s.accuracy, 0.79);
    EXPECT_NE(s.uses[0], AttributeUse::LeftOut);
    int copies = 0;
    for (std::size_t a = 1; a < 6; ++a) copies += s.uses[a] != AttributeUse::LeftOut;
    EXPECT_LE(copies, 3);

    // The model that chooses applies its choice to all its training records and says what it
    // chose.
    SelectiveBayes selective;
    ASSERT_TRUE(selective.train(d, allRows(d)).ok());
    NaiveBayes plain(selective.selection().start, selective.selection().uses);
    ASSERT_TRUE(plain.train(d, allRows(d)).ok());
    std::vector<std::int32_t> chosen, direct;
    selective.predictRows(d, allRows(d), chosen);
    plain.predictRows(d, allRows(d), direct);
    EXPECT_EQ(chosen, direct);
    std::ostringstream out;
    selective.describe(d, out);
    EXPECT_NE(out.str().find("  left out: "), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("80.00 % right,\nagainst 60.00 % with every attribute used."),
              std::string::npos)
        << out.str();
}

}  // namespace
}  // namespace mining
