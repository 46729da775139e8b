#include "util/display_width.h"

#include <gtest/gtest.h>

#include <string>

namespace mining {
namespace {

struct WidthCase {
    const char* text;
    std::size_t width;
};

TEST(DisplayWidth, CountsColumnsNotBytes) {
    const WidthCase cases[] = {
        {"", 0},
        {"plain", 5},
        {"caf\xC3\xA9", 4},               // precomposed e-acute
        {"cafe\xCC\x81", 4},              // e + combining acute accent
        {"\xE6\x9D\xB1\xE4\xBA\xAC", 4},  // two CJK ideographs
        {"\xEF\xBC\xA1", 2},              // fullwidth A
        {"\xED\x95\x9C", 2},              // a Hangul syllable
        {"\xF0\x9F\x98\x80", 2},          // an emoji
        {"\xF0\xA0\x80\x80", 2},          // a CJK extension B ideograph
        {"a\xE2\x80\x8B"
         "b",
         2},                  // zero-width space
        {"\xFF\xFE", 2},      // invalid bytes count one each
        {"\xE6\x9D", 2},      // a truncated sequence: its bytes count one each
        {"\xC0\xAF", 2},      // an overlong encoding of '/'
        {"\xED\xA0\x80", 3},  // an encoded surrogate
        {"\xE2\x94\x80", 1},  // box drawing: narrow
    };
    for (const WidthCase& c : cases) EXPECT_EQ(displayWidth(c.text), c.width) << c.text;
}

TEST(DisplayWidth, PrefixFittingEndsOnACharacterBoundary) {
    const std::string tokyo = "\xE6\x9D\xB1\xE4\xBA\xAC";
    EXPECT_EQ(prefixFitting(tokyo, 3), 3u);  // the second ideograph would take columns 3 and 4
    EXPECT_EQ(prefixFitting(tokyo, 4), 6u);
    EXPECT_EQ(prefixFitting("cafe\xCC\x81!", 4), 6u);  // the accent stays with its letter
    EXPECT_EQ(prefixFitting("abc", 0), 0u);
    EXPECT_EQ(prefixFitting("\xFF"
                            "a",
                            1),
              1u);
}

}  // namespace
}  // namespace mining
