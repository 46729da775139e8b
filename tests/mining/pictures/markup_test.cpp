#include "pictures/markup.h"

#include <gtest/gtest.h>

namespace mining::pictures {
namespace {

TEST(Escape, NoNameCanCloseAnElementStartAnEntityOrEndAnAttribute) {
    EXPECT_EQ(escape("a<b>&\"c'd"), "a&lt;b&gt;&amp;&quot;c&#39;d");
    EXPECT_EQ(escape("</title><script>"), "&lt;/title&gt;&lt;script&gt;");
    EXPECT_EQ(escape("&amp;"), "&amp;amp;");
}

TEST(Escape, KeepsUtf8AndReplacesWhatXmlForbids) {
    EXPECT_EQ(escape("Zürich \xE2\x80\x93 \xF0\x9F\x8C\xB8"),
              "Zürich \xE2\x80\x93 \xF0\x9F\x8C\xB8");
    const std::string replacement = "\xEF\xBF\xBD";
    EXPECT_EQ(escape("a\x01z"), "a" + replacement + "z");
    EXPECT_EQ(escape(std::string("a\0z", 3)), "a" + replacement + "z");
    EXPECT_EQ(escape("tab\tline\n"), "tab\tline\n");
    // A lone continuation byte, a sequence cut short, and U+FFFF.
    EXPECT_EQ(escape("\x80"), replacement);
    EXPECT_EQ(escape("\xC3"), replacement);
    EXPECT_EQ(escape("\xEF\xBF\xBF"), replacement);
}

TEST(Coordinate, IsPlainDecimalWithAtMostOneFractionDigit) {
    EXPECT_EQ(coordinate(12.0), "12");
    EXPECT_EQ(coordinate(12.34), "12.3");
    EXPECT_EQ(coordinate(-0.01), "0");
    EXPECT_EQ(coordinate(-3.96), "-4");
    EXPECT_EQ(coordinate(1e21), "1000000000000000000000");
    EXPECT_EQ(coordinate(std::numeric_limits<double>::quiet_NaN()), "0");
    EXPECT_EQ(coordinate(-std::numeric_limits<double>::infinity()), "0");
}

}  // namespace
}  // namespace mining::pictures
