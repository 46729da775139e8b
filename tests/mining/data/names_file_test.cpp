#include "data/names_file.h"

#include <gtest/gtest.h>

namespace mining {
namespace {

TEST(NamesFile, ReadsClassesAndAttributeTypes) {
    const auto names = parseNames(
        "\xEF\xBB\xBF| a comment line\r\n"
        "good, bad news .   | classes\r\n"
        "\n"
        "size: continuous.\n"
        "colour : dark red, light blue.\n"
        "id: ignore.\n"
        "grade: discrete 4.\n",
        "t.names");
    ASSERT_TRUE(names.ok()) << names.error();
    EXPECT_EQ(names->classValues, (std::vector<std::string>{"good", "bad news"}));
    ASSERT_EQ(names->attributes.size(), 4u);
    EXPECT_EQ(names->attributes[0].name, "size");
    EXPECT_EQ(names->attributes[0].type, AttributeType::Numeric);
    EXPECT_EQ(names->attributes[1].name, "colour");
    EXPECT_EQ(names->attributes[1].type, AttributeType::Nominal);
    EXPECT_EQ(names->attributes[1].values, (std::vector<std::string>{"dark red", "light blue"}));
    EXPECT_EQ(names->attributes[2].type, AttributeType::Ignored);
    EXPECT_EQ(names->attributes[3].type, AttributeType::Nominal);
    EXPECT_TRUE(names->attributes[3].values.empty());
}

TEST(NamesFile, JoinsAValueListThatWrapsAndKeepsPeriodsInsideValues) {
    const auto names = parseNames("a, b,\n c.\nv: 1.5, 2.5,\n   3.5.\nw: continuous\n", "t");
    ASSERT_TRUE(names.ok()) << names.error();
    EXPECT_EQ(names->classValues, (std::vector<std::string>{"a", "b", "c"}));
    ASSERT_EQ(names->attributes.size(), 2u);
    EXPECT_EQ(names->attributes[0].values, (std::vector<std::string>{"1.5", "2.5", "3.5"}));
    EXPECT_EQ(names->attributes[1].type, AttributeType::Numeric);
}

TEST(NamesFile, ErrorsNameTheFileAndLine) {
    struct Case {
        const char* text;
        const char* expected;
    };
    for (const Case& c : {
             Case{"", "t.names lists no class values"},
             Case{"| only a comment\n", "t.names lists no class values"},
             Case{"a: continuous.\n", "t.names, line 1: the first statement must list the class"},
             Case{"a, b.\nx continuous.\n", "t.names, line 2: expected \"name: type\""},
             Case{"a, b.\nx: continuous.\nx: ignore.\n",
                  "t.names, line 3: the attribute \"x\" is declared twice"},
             Case{"a, b.\n: continuous.\n", "t.names, line 2: an attribute has no name"},
             Case{"a, b.\nx: .\n", "t.names, line 2: the attribute \"x\" has no type"},
             Case{"a, a.\n", "t.names, line 1: the value \"a\" is listed twice"},
             Case{"a, b.\nx: u, , v.\n", "t.names, line 2: an empty value in a list"},
             Case{"a, b.\nx: u, ?.\n", "t.names, line 2: '?' cannot be a listed value"},
         }) {
        const auto names = parseNames(c.text, "t.names");
        ASSERT_FALSE(names.ok()) << c.text;
        EXPECT_EQ(names.error().rfind(c.expected, 0), 0u) << names.error();
    }
}

}  // namespace
}  // namespace mining
