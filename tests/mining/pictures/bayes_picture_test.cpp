#include "pictures/bayes_picture.h"

#include <gtest/gtest.h>

#include <numeric>

#include "data/reader.h"

namespace mining::pictures {
namespace {

TEST(Separation, IsTheMutualInformationOfClassAndValue) {
    EXPECT_NEAR(separation({{1, 0}, {0, 1}}, {0.5, 0.5}), 1.0, 1e-12);
    EXPECT_NEAR(separation({{3, 1}, {3, 1}}, {0.5, 0.5}), 0.0, 1e-12);
    // Rows are scaled to sum to 1 first; a class of prior 0 counts for nothing.
    EXPECT_NEAR(separation({{2, 0}, {0, 7}}, {0.5, 0.5}), 1.0, 1e-12);
    EXPECT_NEAR(separation({{1, 0}, {0, 1}}, {1.0, 0.0}), 0.0, 1e-12);
    // Four equally likely classes each with its own value: two bits.
    EXPECT_NEAR(separation({{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}},
                           {0.25, 0.25, 0.25, 0.25}),
                2.0, 1e-12);
    EXPECT_EQ(separation({{0, 0}, {0, 0}}, {0.5, 0.5}), 0.0);
}

// x separates the classes, noise does not, colour a little, flat is the same everywhere.
Dataset mixedData() {
    std::string text;
    for (int i = 0; i < 40; ++i) {
        const bool b = i % 2 == 1;
        text += std::to_string(b ? 10 + i % 7 : i % 7) + "," + std::to_string(i % 5) + "," +
                (i % 4 == 1 || i % 4 == 2 ? "red" : "blue") + ",3," + (b ? "B" : "A") + "\n";
    }
    auto read = parseDataset(text,
                             "A, B.\nx: continuous.\nnoise: continuous.\n"
                             "colour: red, blue.\nflat: continuous.\n");
    EXPECT_TRUE(read) << read.error();
    return std::move(*read);
}

TEST(BayesPicture, OrdersTheAttributesBySeparationAndSaysWhatIsLeftOut) {
    const Dataset data = mixedData();
    std::vector<RowIndex> rows(data.recordCount());
    std::iota(rows.begin(), rows.end(), RowIndex{0});
    for (const NumericMode mode :
         {NumericMode::Normal, NumericMode::Kernel, NumericMode::Discretize}) {
        NaiveBayes model(mode);
        ASSERT_TRUE(model.train(data, rows));
        const std::string html = bayesPicture(model, data, rows, "");
        const std::size_t x = html.find("<b>x</b>");
        const std::size_t noise = html.find("<b>noise</b>");
        ASSERT_NE(x, std::string::npos);
        ASSERT_NE(noise, std::string::npos);
        EXPECT_LT(x, noise) << static_cast<int>(mode);
        EXPECT_NE(html.find("<b>colour</b> (values)"), std::string::npos);
        if (mode == NumericMode::Discretize) {
            EXPECT_NE(html.find("<b>x</b> (MDL bins)"), std::string::npos);
        }
        // flat is left out, with the model's reason, and drawn nowhere (MDL bins keep it as one
        // bin).
        if (mode == NumericMode::Discretize) continue;
        const std::size_t leftOut = html.find("Attributes left out");
        ASSERT_NE(leftOut, std::string::npos);
        EXPECT_NE(html.find("<b>flat</b>: " + model.leftOutReason(3)), std::string::npos);
        EXPECT_FALSE(model.leftOutReason(3).empty());
        EXPECT_EQ(html.find("<b>flat</b> ("), std::string::npos);
        EXPECT_NE(html.find("<title>B: "), std::string::npos);  // each curve names its class
    }
}

}  // namespace
}  // namespace mining::pictures
