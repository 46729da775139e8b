#include "model/json_document.h"

#include <bit>
#include <istream>
#include <limits>
#include <nlohmann/json.hpp>
#include <unordered_map>
#include <utility>

namespace mining {

using Kind = JsonValue::Kind;

// Builds a JsonDocument from nlohmann-json's SAX events (the names of its interface).
class JsonBuilder {
public:
    using Json = nlohmann::json;

    explicit JsonBuilder(std::size_t maxDepth) : maxDepth_(maxDepth) {}

    bool null() { return add(Kind::Null, 0); }
    bool boolean(bool value) { return add(Kind::Boolean, value ? 1 : 0); }
    bool number_integer(std::int64_t value) {
        return add(Kind::Integer, std::bit_cast<std::uint64_t>(value));
    }
    bool number_unsigned(std::uint64_t value) { return add(Kind::Unsigned, value); }
    bool number_float(double value, const std::string& /*text*/) {
        return add(Kind::Float, std::bit_cast<std::uint64_t>(value));
    }
    bool string(const std::string& value) {
        const std::size_t offset = document_.strings_.size();
        if (offset > kMaxIndex || value.size() > kMaxIndex) return false;
        document_.strings_ += value;
        return add(Kind::String, offset | std::uint64_t{value.size()} << 32);
    }
    bool binary(Json::binary_t& /*value*/) { return false; }  // JSON text holds none
    bool start_object(std::size_t /*elements*/) { return open(Kind::Object); }
    bool start_array(std::size_t /*elements*/) { return open(Kind::Array); }
    bool end_object() { return close(); }
    bool end_array() { return close(); }
    bool key(const std::string& name) {
        const auto [it, added] =
            keyNumbers_.try_emplace(name, static_cast<std::uint32_t>(document_.keys_.size()));
        if (added) document_.keys_.push_back(name);
        key_ = it->second;
        return true;
    }
    bool parse_error(std::size_t /*position*/, const std::string& /*token*/,
                     const nlohmann::detail::exception& /*error*/) {
        return false;
    }

    // Requires a whole value built. Returns the document.
    JsonDocument take() { return std::move(document_); }

private:
    static constexpr std::size_t kMaxIndex = std::numeric_limits<std::uint32_t>::max() - 1;

    bool add(Kind kind, std::uint64_t bits) {
        std::deque<JsonDocument::Entry>& entries = document_.entries_;
        if (entries.size() >= kMaxIndex) return false;
        if (!open_.empty()) ++open_.back().size;
        entries.push_back({bits, key_, kind});
        key_ = JsonDocument::kNoKey;
        return true;
    }
    bool open(Kind kind) {
        if (open_.size() >= maxDepth_ || !add(kind, 0)) return false;
        open_.push_back({static_cast<std::uint32_t>(document_.entries_.size() - 1), 0});
        return true;
    }
    bool close() {
        const Container done = open_.back();
        open_.pop_back();
        document_.entries_[done.at].bits = document_.entries_.size() | std::uint64_t{done.size}
                                                                           << 32;
        return true;
    }

    struct Container {
        std::uint32_t at;    // its entry
        std::uint32_t size;  // its values so far
    };
    std::size_t maxDepth_;
    JsonDocument document_;
    std::vector<Container> open_;
    std::uint32_t key_ = JsonDocument::kNoKey;  // the key of the next value
    std::unordered_map<std::string, std::uint32_t> keyNumbers_;
};

std::optional<JsonDocument> JsonDocument::parse(std::istream& in, std::size_t maxDepth) {
    JsonBuilder builder(maxDepth);
    if (!nlohmann::json::sax_parse(in, &builder)) return std::nullopt;
    return builder.take();
}

std::optional<JsonDocument> JsonDocument::parse(std::string_view text, std::size_t maxDepth) {
    JsonBuilder builder(maxDepth);
    if (!nlohmann::json::sax_parse(text.begin(), text.end(), &builder)) return std::nullopt;
    return builder.take();
}

namespace {

// Hands `value` and everything in it to `builder` as the parser would.
void feed(const nlohmann::json& value, JsonBuilder& builder) {
    using Type = nlohmann::json::value_t;
    switch (value.type()) {
        case Type::object:
            builder.start_object(value.size());
            for (auto it = value.begin(); it != value.end(); ++it) {
                builder.key(it.key());
                feed(it.value(), builder);
            }
            builder.end_object();
            return;
        case Type::array:
            builder.start_array(value.size());
            for (const nlohmann::json& element : value) feed(element, builder);
            builder.end_array();
            return;
        case Type::string:
            builder.string(value.get_ref<const std::string&>());
            return;
        case Type::boolean:
            builder.boolean(value.get<bool>());
            return;
        case Type::number_integer:
            builder.number_integer(value.get<std::int64_t>());
            return;
        case Type::number_unsigned:
            builder.number_unsigned(value.get<std::uint64_t>());
            return;
        case Type::number_float:
            builder.number_float(value.get<double>(), "");
            return;
        default:  // null, and what no JSON text holds
            builder.null();
    }
}

}  // namespace

JsonDocument JsonDocument::of(const nlohmann::json& value) {
    JsonBuilder builder(std::numeric_limits<std::size_t>::max());
    feed(value, builder);
    return builder.take();
}

namespace {

std::uint32_t low(std::uint64_t bits) { return static_cast<std::uint32_t>(bits); }
std::uint32_t high(std::uint64_t bits) { return static_cast<std::uint32_t>(bits >> 32); }

}  // namespace

Kind JsonValue::kind() const { return document_->entries_[at_].kind; }

bool JsonValue::boolean() const { return document_->entries_[at_].bits != 0; }

double JsonValue::toDouble() const {
    const std::uint64_t bits = document_->entries_[at_].bits;
    switch (kind()) {
        case Kind::Integer:
            return static_cast<double>(std::bit_cast<std::int64_t>(bits));
        case Kind::Unsigned:
            return static_cast<double>(bits);
        default:
            return std::bit_cast<double>(bits);
    }
}

std::int64_t JsonValue::toInt64() const {
    return std::bit_cast<std::int64_t>(document_->entries_[at_].bits);
}

std::uint64_t JsonValue::toUint64() const { return document_->entries_[at_].bits; }

std::string_view JsonValue::text() const {
    const std::uint64_t bits = document_->entries_[at_].bits;
    return std::string_view(document_->strings_).substr(low(bits), high(bits));
}

std::size_t JsonValue::size() const { return high(document_->entries_[at_].bits); }

std::optional<JsonValue> JsonValue::find(std::string_view key) const {
    std::optional<JsonValue> found;
    const auto& entries = document_->entries_;
    for (Iterator it = begin(); it != end(); ++it)
        if (document_->keys_[entries[it.at_].key] == key) found = *it;
    return found;
}

JsonValue::Iterator& JsonValue::Iterator::operator++() {
    const JsonDocument::Entry& entry = document_->entries_[at_];
    at_ = entry.kind == Kind::Array || entry.kind == Kind::Object ? low(entry.bits) : at_ + 1;
    return *this;
}

JsonValue::Iterator JsonValue::begin() const { return {document_, at_ + 1}; }

JsonValue::Iterator JsonValue::end() const {
    return {document_, low(document_->entries_[at_].bits)};
}

}  // namespace mining
