#include "model/model_file.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <limits>
#include <optional>

namespace mining {

namespace model_json {

namespace {

std::string named(std::string_view key) { return "\"" + std::string(key) + "\""; }

// Throws the error that the field `key` `what` (" is not a list").
[[noreturn]] void failAt(std::string_view key, std::string_view what) {
    fail(named(key) + std::string(what));
}

}  // namespace

// The checks below build their messages only when they fail: they run for every figure read.
void fail(const std::string& message) { throw ModelFileError(message); }

void require(bool ok, const std::string& message) {
    if (!ok) fail(message);
}

void require(bool ok, const char* message) {
    if (!ok) fail(message);
}

JsonValue field(JsonValue object, std::string_view key) {
    if (!object.isObject()) fail("an object was expected where " + named(key) + " belongs");
    const std::optional<JsonValue> value = object.find(key);
    if (!value) fail("the field " + named(key) + " is missing");
    return *value;
}

JsonValue array(JsonValue object, std::string_view key) {
    const JsonValue value = field(object, key);
    if (!value.isArray()) failAt(key, " is not a list");
    return value;
}

bool boolean(JsonValue object, std::string_view key) {
    const JsonValue value = field(object, key);
    if (!value.isBoolean()) failAt(key, " is not true or false");
    return value.boolean();
}

namespace {

double finite(JsonValue value, std::string_view key) {
    if (!value.isNumber()) failAt(key, " holds something other than a number");
    const double x = value.toDouble();
    if (!std::isfinite(x)) failAt(key, " holds a number out of range");
    return x;
}

std::uint64_t whole(JsonValue value, std::string_view key, std::uint64_t max) {
    if (value.kind() != JsonValue::Kind::Unsigned &&
        (value.kind() != JsonValue::Kind::Integer || value.toInt64() < 0))
        failAt(key, " holds something other than a count");
    const std::uint64_t n = value.toUint64();
    if (n > max) failAt(key, " holds a count out of range (" + std::to_string(n) + ")");
    return n;
}

// Throws unless `list` holds `size` values (any number when size is npos); `what` names them.
void requireSize(JsonValue list, std::string_view key, std::size_t size, const char* what) {
    if (size != std::string::npos && list.size() != size)
        failAt(key, " holds " + std::to_string(list.size()) + " " + what + ", not " +
                        std::to_string(size));
}

}  // namespace

double number(JsonValue object, std::string_view key) { return finite(field(object, key), key); }

std::uint64_t count(JsonValue object, std::string_view key, std::uint64_t max) {
    return whole(field(object, key), key, max);
}

std::int64_t integer(JsonValue object, std::string_view key, std::int64_t low, std::int64_t high) {
    const JsonValue value = field(object, key);
    if (!value.isWhole()) failAt(key, " is not a whole number");
    // A whole number of 0 or more is parsed as unsigned: it must lie within both bounds too.
    const bool fits = value.kind() == JsonValue::Kind::Unsigned
                          ? value.toUint64() <= static_cast<std::uint64_t>(high) &&
                                static_cast<std::int64_t>(value.toUint64()) >= low
                          : value.toInt64() >= low && value.toInt64() <= high;
    if (!fits) failAt(key, " is out of range");
    return value.toInt64();
}

std::string text(JsonValue object, std::string_view key) {
    const JsonValue value = field(object, key);
    if (!value.isString()) failAt(key, " is not a text");
    return std::string(value.text());
}

std::vector<double> numbers(JsonValue object, std::string_view key, std::size_t size) {
    const JsonValue list = array(object, key);
    requireSize(list, key, size, "numbers");
    std::vector<double> out;
    out.reserve(list.size());
    for (const JsonValue value : list) out.push_back(finite(value, key));
    return out;
}

std::vector<std::uint64_t> counts(JsonValue object, std::string_view key, std::uint64_t max,
                                  std::size_t size) {
    const JsonValue list = array(object, key);
    requireSize(list, key, size, "counts");
    std::vector<std::uint64_t> out;
    out.reserve(list.size());
    for (const JsonValue value : list) out.push_back(whole(value, key, max));
    return out;
}

std::vector<std::string> texts(JsonValue object, std::string_view key) {
    const JsonValue list = array(object, key);
    std::vector<std::string> out;
    out.reserve(list.size());
    for (const JsonValue value : list) {
        if (!value.isString()) failAt(key, " holds something other than a text");
        out.emplace_back(value.text());
    }
    return out;
}

const Json& field(const Json& object, std::string_view key) {
    require(object.is_object(), "an object was expected where " + named(key) + " belongs");
    const auto it = object.find(key);
    require(it != object.end(), "the field " + named(key) + " is missing");
    return *it;
}

std::string text(const Json& object, std::string_view key) {
    const Json& value = field(object, key);
    require(value.is_string(), named(key) + " is not a text");
    return value.get<std::string>();
}

}  // namespace model_json

using model_json::Json;
using model_json::require;

namespace {

const char* typeName(AttributeType type) {
    switch (type) {
        case AttributeType::Numeric:
            return "numeric";
        case AttributeType::Nominal:
            return "nominal";
        case AttributeType::Ignored:
            break;
    }
    return "ignored";
}

// Throws unless every one of `names` is different; `what` says what they are.
void requireDistinct(const std::vector<std::string>& names, const std::string& what) {
    // Sorted views take a quarter of the memory of a set's nodes, on lists of millions of values.
    std::vector<std::string_view> sorted(names.begin(), names.end());
    std::sort(sorted.begin(), sorted.end());
    require(std::adjacent_find(sorted.begin(), sorted.end()) == sorted.end(),
            "the model lists " + what + " twice");
}

// The deepest nesting of arrays and objects in a text read in pieces, strings passed over.
class NestingScan {
public:
    explicit NestingScan(std::size_t limit) : limit_(limit) {}

    // Follows the nesting through the next piece of the text, until it passes the limit.
    void feed(std::string_view text) {
        for (std::size_t i = 0; i < text.size() && deepest_ <= limit_; ++i) {
            const char c = text[i];
            if (escaped_) {
                escaped_ = false;
            } else if (inString_) {
                escaped_ = c == '\\';
                inString_ = c != '"';
            } else if (c == '"') {
                inString_ = true;
            } else if (c == '[' || c == '{') {
                deepest_ = std::max(deepest_, ++depth_);
            } else if ((c == ']' || c == '}') && depth_ > 0) {
                --depth_;
            }
        }
    }
    // Returns true when the text so far nests deeper than the limit.
    bool tooDeep() const { return deepest_ > limit_; }

private:
    std::size_t limit_;
    std::size_t depth_ = 0;
    std::size_t deepest_ = 0;
    bool inString_ = false;
    bool escaped_ = false;  // the next byte, inside a string, follows a backslash
};

std::string tooLarge(const std::string& name) {
    return name + " is larger than a model file can be (" +
           std::to_string(kMaxModelFileBytes >> 20) + " MB)";
}

std::string notOurs(const std::string& name) {
    return name + " is not a model file of these programs";
}

// Returns the model file `name` that `parsed` holds when it was JSON and its frame is ours and
// readable, else the error.
Result<JsonDocument> checkFrame(std::optional<JsonDocument> parsed, const std::string& name) {
    using R = Result<JsonDocument>;
    if (!parsed) return R::failure(notOurs(name) + " (not JSON, or cut short)");
    const JsonValue file = parsed->root();
    const std::optional<JsonValue> format = file.isObject() ? file.find("format") : std::nullopt;
    if (!format || !format->isString() || format->text() != kModelFormat)
        return R::failure(notOurs(name));
    const std::optional<JsonValue> version = file.find("version");
    // A whole number of 1 or more is parsed as unsigned.
    if (!version || version->kind() != JsonValue::Kind::Unsigned || version->toUint64() == 0)
        return R::failure(name + ": the model's format version is not readable");
    if (version->toUint64() > static_cast<std::uint64_t>(kModelVersion))
        return R::failure(name + " was saved by a newer version of these programs (model format " +
                          std::to_string(version->toUint64()) + "; this one reads up to " +
                          std::to_string(kModelVersion) + ")");
    return std::move(*parsed);
}

}  // namespace

Json schemaToJson(const Dataset& data) {
    Json attributes = Json::array();
    for (const Attribute& a : data.attributes()) {
        Json entry{{"name", a.name}, {"type", typeName(a.type)}};
        if (a.type == AttributeType::Nominal) entry["values"] = a.values;
        attributes.push_back(std::move(entry));
    }
    return Json{{"attributes", std::move(attributes)},
                {"class", data.className()},
                {"class values", data.classValues()}};
}

ModelSchema schemaFromJson(JsonValue schema) {
    ModelSchema out;
    const JsonValue attributes = model_json::array(schema, "attributes");
    require(!attributes.empty(), "the model lists no attribute");
    std::vector<std::string> names;
    names.reserve(attributes.size());
    out.attributes.reserve(attributes.size());
    for (const JsonValue entry : attributes) {
        Attribute a;
        a.name = model_json::text(entry, "name");
        const std::string type = model_json::text(entry, "type");
        if (type == "numeric") {
            a.type = AttributeType::Numeric;
        } else if (type == "nominal") {
            a.type = AttributeType::Nominal;
            a.values = model_json::texts(entry, "values");
            requireDistinct(a.values, "a value of an attribute");
        } else {
            require(type == "ignored", "an attribute has an unknown type");
            a.type = AttributeType::Ignored;
        }
        names.push_back(a.name);
        out.attributes.push_back(std::move(a));
    }
    requireDistinct(names, "an attribute");
    out.className = model_json::text(schema, "class");
    out.classValues = model_json::texts(schema, "class values");
    require(!out.classValues.empty(), "the model lists no class value");
    requireDistinct(out.classValues, "a class value");
    return out;
}

ModelSchema schemaFromJson(const Json& schema) {
    return schemaFromJson(JsonDocument::of(schema).root());
}

std::string modelFileText(const std::string& program, const Dataset& data, const Json& model,
                          const std::string& run) {
    Json file{{"format", kModelFormat},
              {"version", kModelVersion},
              {"program", program},
              {"schema", schemaToJson(data)},
              {"model", model}};
    if (!run.empty()) file["run"] = run;
    // Invalid UTF-8 in names or values is written as U+FFFD rather than failing the save.
    return file.dump(1, ' ', false, Json::error_handler_t::replace) + "\n";
}

Result<JsonDocument> parseModelDocument(std::string_view text, const std::string& name) {
    using R = Result<JsonDocument>;
    if (text.size() > kMaxModelFileBytes) return R::failure(tooLarge(name));
    NestingScan nesting(kMaxModelDepth);
    nesting.feed(text);
    if (nesting.tooDeep()) return R::failure(notOurs(name) + " (nested too deeply)");
    return checkFrame(JsonDocument::parse(text, kMaxModelDepth), name);
}

namespace {

// Returns the error of the model file `path` that the stream `in` holds and that did not parse:
// too large, nested too deeply (each as the whole text shows) or else not JSON.
std::string parseFailure(std::istream& in, const std::string& path) {
    in.clear();
    in.seekg(0);
    NestingScan nesting(kMaxModelDepth);
    std::uint64_t size = 0;
    std::vector<char> piece(std::size_t{1} << 16);
    while (in.read(piece.data(), static_cast<std::streamsize>(piece.size())) || in.gcount() > 0) {
        size += static_cast<std::uint64_t>(in.gcount());
        nesting.feed({piece.data(), static_cast<std::size_t>(in.gcount())});
    }
    if (in.bad()) return "cannot read " + path;
    if (size > kMaxModelFileBytes) return tooLarge(path);
    if (nesting.tooDeep()) return notOurs(path) + " (nested too deeply)";
    return notOurs(path) + " (not JSON, or cut short)";
}

}  // namespace

Result<JsonDocument> readModelDocument(const std::string& path) {
    using R = Result<JsonDocument>;
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return R::failure("cannot open " + path);
    if (!S_ISREG(info.st_mode)) return R::failure(path + " is not a file");
    if (static_cast<std::uint64_t>(info.st_size) > kMaxModelFileBytes)
        return R::failure(tooLarge(path));
    std::ifstream in(path, std::ios::binary);
    if (!in) return R::failure("cannot open " + path);
    // One pass for a sound file. JSON nested within the limit nests the text within it, so the
    // text's nesting and size decide the message only when parsing fails.
    std::optional<JsonDocument> parsed = JsonDocument::parse(in, kMaxModelDepth);
    if (!parsed) return R::failure(parseFailure(in, path));
    in.clear();
    in.seekg(0, std::ios::end);  // the file may have grown since stat()
    if (const std::streamoff size = in.tellg();
        size > 0 && static_cast<std::uint64_t>(size) > kMaxModelFileBytes)
        return R::failure(tooLarge(path));
    return checkFrame(std::move(parsed), path);
}

Result<Json> parseModelText(std::string_view text, const std::string& name) {
    if (const Result<JsonDocument> checked = parseModelDocument(text, name); !checked)
        return Result<Json>::failure(checked.error());
    return Json::parse(text, nullptr, false);
}

Result<Json> readModelFile(const std::string& path) {
    if (const Result<JsonDocument> checked = readModelDocument(path); !checked)
        return Result<Json>::failure(checked.error());
    std::ifstream in(path, std::ios::binary);
    Json file = Json::parse(in, nullptr, false);
    if (file.is_discarded())
        return Result<Json>::failure(notOurs(path) + " (not JSON, or cut short)");
    return file;
}

}  // namespace mining
