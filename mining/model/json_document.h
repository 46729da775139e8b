#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <iosfwd>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mining {

class JsonDocument;

// One value of a JsonDocument, read as nlohmann-json's DOM reads it: a whole number of 0 or more
// is Unsigned, a negative one Integer, any other number a Float. A view, cheap to copy: valid
// while its document lives and stays where it is.
class JsonValue {
public:
    enum class Kind : std::uint8_t {
        Null,
        Boolean,
        Integer,
        Unsigned,
        Float,
        String,
        Array,
        Object
    };

    Kind kind() const;
    bool isObject() const { return kind() == Kind::Object; }
    bool isArray() const { return kind() == Kind::Array; }
    bool isString() const { return kind() == Kind::String; }
    bool isBoolean() const { return kind() == Kind::Boolean; }
    // Integer or Unsigned.
    bool isWhole() const { return kind() == Kind::Integer || kind() == Kind::Unsigned; }
    // Integer, Unsigned or Float.
    bool isNumber() const { return isWhole() || kind() == Kind::Float; }

    // Require isBoolean().
    bool boolean() const;
    // Requires isNumber(). Returns the number as a double (a whole one converted).
    double toDouble() const;
    // Require isWhole(). Return the number converted as static_cast converts it.
    std::int64_t toInt64() const;
    std::uint64_t toUint64() const;
    // Requires isString(). Returns its bytes (escapes decoded).
    std::string_view text() const;

    // Requires isArray() or isObject(). Returns its elements, or its members as written
    // (a key written twice counts twice).
    std::size_t size() const;
    bool empty() const { return size() == 0; }
    // Requires isObject(). Returns the value of its member `key`, the last one when the key is
    // written twice (as the DOM keeps it), or nullopt when it has none.
    std::optional<JsonValue> find(std::string_view key) const;

    // The elements of an array (the values of an object's members), in order.
    class Iterator {
    public:
        JsonValue operator*() const { return {document_, at_}; }
        Iterator& operator++();
        bool operator==(const Iterator& other) const { return at_ == other.at_; }

    private:
        friend class JsonValue;
        Iterator(const JsonDocument* document, std::uint32_t at) : document_(document), at_(at) {}
        const JsonDocument* document_;
        std::uint32_t at_;
    };
    // Require isArray() or isObject().
    Iterator begin() const;
    Iterator end() const;

private:
    friend class JsonDocument;
    JsonValue(const JsonDocument* document, std::uint32_t at) : document_(document), at_(at) {}
    const JsonDocument* document_;
    std::uint32_t at_;
};

// A JSON text parsed for reading, held compactly: every value is one 16-byte entry in the order
// of the text (a member's entry carries its key's number, a container's its size and where it
// ends) and every string's bytes sit in one buffer. nlohmann-json's DOM, a map node of about 100
// bytes a member and a 16-byte value an element besides every string's own allocation, took
// five times the text of a large tree's model file; this takes about as much as the text.
// Parsing is nlohmann-json's own (json::sax_parse), so what it accepts and how it reads each
// number are the DOM's.
class JsonDocument {
public:
    // Returns the document of the JSON text `in` holds from where it stands to its end (one
    // value, blanks around it), or nullopt when that is not JSON or nests arrays and objects
    // deeper than `maxDepth`.
    static std::optional<JsonDocument> parse(std::istream& in, std::size_t maxDepth);
    static std::optional<JsonDocument> parse(std::string_view text, std::size_t maxDepth);
    // Returns the document of `value` (a copy of it, as its text would parse). Recursive: for
    // values nested as a model file may be (kMaxModelDepth, model/model_file.h).
    static JsonDocument of(const nlohmann::json& value);

    // Requires a parsed document. Returns its value.
    JsonValue root() const { return {this, 0}; }

private:
    friend class JsonValue;
    friend class JsonBuilder;
    struct Entry {
        // A number's bits; a string's offset (low half) and length; a container's end, the
        // entry after its last (low half), and its size.
        std::uint64_t bits = 0;
        std::uint32_t key = 0;  // a member's key, an index into keys_; kNoKey for other values
        JsonValue::Kind kind = JsonValue::Kind::Null;
    };
    static constexpr std::uint32_t kNoKey = 0xFFFFFFFF;

    // In blocks rather than one array: growing never copies it, nor holds twice its size.
    std::deque<Entry> entries_;
    std::string strings_;
    std::vector<std::string> keys_;
};

}  // namespace mining
