#include "pictures/palette.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <tuple>

namespace mining::pictures {
namespace {

TEST(Palette, GivesEachOfTheFirstClassesASwatchOfItsOwn) {
    std::set<std::pair<std::string, std::size_t>> seen;
    for (std::size_t k = 0; k < kDistinctSwatches; ++k) {
        const Swatch s = classSwatch(k);
        EXPECT_TRUE(seen.insert({s.colour, s.pattern}).second) << k;
        EXPECT_EQ(s.pattern == 0, s.dashes.empty()) << k;
    }
    // The first eight are Okabe and Ito's solid colours.
    EXPECT_EQ(classSwatch(0).colour, "#e69f00");
    EXPECT_EQ(classSwatch(4).colour, "#0072b2");
    for (std::size_t k = 0; k < kPaletteColours; ++k) EXPECT_EQ(classSwatch(k).pattern, 0u);
}

TEST(Palette, EveryPatternAStyleNamesIsDefined) {
    for (const std::size_t classes : {3u, 9u, 40u, 130u}) {
        const std::string css = classStyles(classes);
        const std::string defs = patternDefinitions(classes);
        const std::regex reference("url\\(#(p[0-9]+)\\)");
        for (auto it = std::sregex_iterator(css.begin(), css.end(), reference);
             it != std::sregex_iterator(); ++it)
            EXPECT_NE(defs.find("id=\"" + (*it)[1].str() + "\""), std::string::npos)
                << classes << " " << (*it)[1];
        EXPECT_NE(css.find(".c" + std::to_string(classes - 1) + "{"), std::string::npos);
    }
    EXPECT_EQ(patternDefinitions(8), "");
}

TEST(Palette, TextStaysReadableAndTheRampShowsASingleRecord) {
    EXPECT_EQ(textColourOn("#000000"), "#ffffff");
    EXPECT_EQ(textColourOn("#F0E442"), "#000000");  // yellow
    EXPECT_EQ(textColourOn("#0072B2"), "#ffffff");  // blue
    EXPECT_EQ(rampColour("#0072B2", 0), "#ffffff");
    EXPECT_NE(rampColour("#0072B2", 0.001), "#ffffff");
    EXPECT_EQ(rampColour("#0072B2", 1), "#0072b2");
    EXPECT_EQ(rampColour("#0072B2", 7), "#0072b2");
}

}  // namespace
}  // namespace mining::pictures
