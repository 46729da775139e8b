// The compact JSON document model files are read into: it must read every text as
// nlohmann-json's DOM does, for the readers' checks to hold as they did on the DOM.
#include "model/json_document.h"

#include <gtest/gtest.h>

#include <bit>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

namespace mining {
namespace {

using Kind = JsonValue::Kind;
using Json = nlohmann::json;

Kind kindOf(const Json& value) {
    switch (value.type()) {
        case Json::value_t::boolean:
            return Kind::Boolean;
        case Json::value_t::number_integer:
            return Kind::Integer;
        case Json::value_t::number_unsigned:
            return Kind::Unsigned;
        case Json::value_t::number_float:
            return Kind::Float;
        case Json::value_t::string:
            return Kind::String;
        case Json::value_t::array:
            return Kind::Array;
        case Json::value_t::object:
            return Kind::Object;
        default:
            return Kind::Null;
    }
}

// Expects `value` to hold what `dom` holds, to the bit, and says where it does not.
void expectSame(JsonValue value, const Json& dom, const std::string& where = "/") {
    ASSERT_EQ(value.kind(), kindOf(dom)) << where;
    switch (value.kind()) {
        case Kind::Boolean:
            EXPECT_EQ(value.boolean(), dom.get<bool>()) << where;
            break;
        case Kind::Integer:
        case Kind::Unsigned:
            EXPECT_EQ(value.toUint64(), dom.get<std::uint64_t>()) << where;
            break;
        case Kind::Float:
            EXPECT_EQ(std::bit_cast<std::uint64_t>(value.toDouble()),
                      std::bit_cast<std::uint64_t>(dom.get<double>()))
                << where;
            break;
        case Kind::String:
            EXPECT_EQ(value.text(), dom.get<std::string>()) << where;
            break;
        case Kind::Array: {
            ASSERT_EQ(value.size(), dom.size()) << where;
            std::size_t i = 0;
            for (const JsonValue element : value) {
                expectSame(element, dom[i], where + std::to_string(i) + "/");
                ++i;
            }
            break;
        }
        case Kind::Object:
            for (const auto& [key, member] : dom.items()) {
                const std::optional<JsonValue> found = value.find(key);
                ASSERT_TRUE(found) << where << key;
                expectSame(*found, member, where + key + "/");
            }
            break;
        case Kind::Null:
            break;
    }
}

std::string readText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Numbers at the edges of each kind, escapes, nesting, empty containers; the model files of
// the fuzz corpus. From a text, from a stream and from a DOM alike.
TEST(JsonDocument, ReadsEveryValueAsTheDomDoes) {
    std::vector<std::string> texts{
        R"({"whole": [0, -0, 1, 18446744073709551615, 18446744073709551616, -1,
                      -9223372036854775808, -9223372036854775809],
            "float": [0.0, -0.0, 1.5, 1e2, 5e-324, 1.7976931348623157e308, 0.1],
            "text": ["", "a\"b\\c\/", "\u00e9\ud83d\ude00", "\u0000x"],
            "nested": [[], {}, [[1], {"a": [2, {"b": null}]}], true, false, null],
            "last": "after the nesting"})",
        "  [1, 2]\n", "\"alone\"", "-12", "null"};
    for (const auto& file :
         std::filesystem::directory_iterator(EXAMPLES_DIR "/../fuzz/corpus/model_reader"))
        texts.push_back(readText(file.path()));
    for (const std::string& text : texts) {
        SCOPED_TRACE(text.substr(0, 60));
        const Json dom = Json::parse(text);
        const std::optional<JsonDocument> parsed = JsonDocument::parse(text, 64);
        ASSERT_TRUE(parsed);
        expectSame(parsed->root(), dom);
        std::istringstream stream(text);
        const std::optional<JsonDocument> streamed = JsonDocument::parse(stream, 64);
        ASSERT_TRUE(streamed);
        expectSame(streamed->root(), dom);
        const JsonDocument copied = JsonDocument::of(dom);
        expectSame(copied.root(), dom);
    }
}

// A key written twice keeps its last value, as the DOM keeps it; a lookup steps over nested
// values whole and finds members written after them.
TEST(JsonDocument, KeysWrittenTwiceKeepTheLastValue) {
    const std::optional<JsonDocument> parsed = JsonDocument::parse(
        R"({"a": 1, "b": {"a": [1, [2, {"a": 3}]]}, "a": "two", "c": [true]})", 64);
    ASSERT_TRUE(parsed);
    const JsonValue root = parsed->root();
    EXPECT_EQ(root.size(), 4u);  // as written
    ASSERT_TRUE(root.find("a"));
    EXPECT_EQ(root.find("a")->text(), "two");
    ASSERT_TRUE(root.find("c"));
    EXPECT_EQ(root.find("c")->size(), 1u);
    EXPECT_FALSE(root.find("d"));
    EXPECT_FALSE(root.find("A"));
    const JsonValue inner = *root.find("b")->find("a");
    ASSERT_EQ(inner.size(), 2u);
    EXPECT_EQ((*++inner.begin()).size(), 2u);
}

TEST(JsonDocument, RefusesTextThatIsNotJsonAndNestingPastTheLimit) {
    for (const char* text : {"", " ", "[1, 2", "[] []", "{\"a\" 1}", "{\"a\": 1,}", "1e999",
                             "\"\\ud800\"", "\"\xff\"", "[01]", "nul"}) {
        EXPECT_FALSE(JsonDocument::parse(text, 64)) << text;
        std::istringstream stream(text);
        EXPECT_FALSE(JsonDocument::parse(stream, 64)) << text;
    }
    EXPECT_TRUE(JsonDocument::parse("[{\"a\": []}]", 3));
    EXPECT_FALSE(JsonDocument::parse("[{\"a\": [[]]}]", 3));
}

}  // namespace
}  // namespace mining
