#include "model/model_file.h"

#include <sys/stat.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <limits>
#include <set>

namespace mining {

namespace model_json {

namespace {

std::string named(std::string_view key) { return "\"" + std::string(key) + "\""; }

}  // namespace

void require(bool ok, const std::string& message) {
    if (!ok) throw ModelFileError(message);
}

const Json& field(const Json& object, std::string_view key) {
    require(object.is_object(), "an object was expected where " + named(key) + " belongs");
    const auto it = object.find(key);
    require(it != object.end(), "the field " + named(key) + " is missing");
    return *it;
}

const Json& array(const Json& object, std::string_view key) {
    const Json& value = field(object, key);
    require(value.is_array(), named(key) + " is not a list");
    return value;
}

bool boolean(const Json& object, std::string_view key) {
    const Json& value = field(object, key);
    require(value.is_boolean(), named(key) + " is not true or false");
    return value.get<bool>();
}

namespace {

double finite(const Json& value, std::string_view key) {
    require(value.is_number(), named(key) + " holds something other than a number");
    const double x = value.get<double>();
    require(std::isfinite(x), named(key) + " holds a number out of range");
    return x;
}

std::uint64_t whole(const Json& value, std::string_view key, std::uint64_t max) {
    require(
        value.is_number_unsigned() || (value.is_number_integer() && value.get<std::int64_t>() >= 0),
        named(key) + " holds something other than a count");
    const std::uint64_t n = value.get<std::uint64_t>();
    require(n <= max, named(key) + " holds a count out of range (" + std::to_string(n) + ")");
    return n;
}

}  // namespace

double number(const Json& object, std::string_view key) { return finite(field(object, key), key); }

std::uint64_t count(const Json& object, std::string_view key, std::uint64_t max) {
    return whole(field(object, key), key, max);
}

std::int64_t integer(const Json& object, std::string_view key, std::int64_t low,
                     std::int64_t high) {
    const Json& value = field(object, key);
    require(value.is_number_integer(), named(key) + " is not a whole number");
    // A whole number of 0 or more is parsed as unsigned: it must lie within both bounds too.
    const bool fits = value.is_number_unsigned()
                          ? value.get<std::uint64_t>() <= static_cast<std::uint64_t>(high) &&
                                static_cast<std::int64_t>(value.get<std::uint64_t>()) >= low
                          : value.get<std::int64_t>() >= low && value.get<std::int64_t>() <= high;
    require(fits, named(key) + " is out of range");
    return value.get<std::int64_t>();
}

std::string text(const Json& object, std::string_view key) {
    const Json& value = field(object, key);
    require(value.is_string(), named(key) + " is not a text");
    return value.get<std::string>();
}

std::vector<double> numbers(const Json& object, std::string_view key, std::size_t size) {
    const Json& list = array(object, key);
    require(size == std::string::npos || list.size() == size,
            named(key) + " holds " + std::to_string(list.size()) + " numbers, not " +
                std::to_string(size));
    std::vector<double> out;
    out.reserve(list.size());
    for (const Json& value : list) out.push_back(finite(value, key));
    return out;
}

std::vector<std::uint64_t> counts(const Json& object, std::string_view key, std::uint64_t max,
                                  std::size_t size) {
    const Json& list = array(object, key);
    require(size == std::string::npos || list.size() == size,
            named(key) + " holds " + std::to_string(list.size()) + " counts, not " +
                std::to_string(size));
    std::vector<std::uint64_t> out;
    out.reserve(list.size());
    for (const Json& value : list) out.push_back(whole(value, key, max));
    return out;
}

std::vector<std::string> texts(const Json& object, std::string_view key) {
    const Json& list = array(object, key);
    std::vector<std::string> out;
    out.reserve(list.size());
    for (const Json& value : list) {
        require(value.is_string(), named(key) + " holds something other than a text");
        out.push_back(value.get<std::string>());
    }
    return out;
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
    std::set<std::string_view> seen;
    for (const std::string& name : names)
        require(seen.insert(name).second, "the model lists " + what + " twice");
}

// Returns the deepest nesting of arrays and objects in `text`, stopping once it passes `limit`.
std::size_t nestingDepth(std::string_view text, std::size_t limit) {
    std::size_t depth = 0;
    std::size_t deepest = 0;
    bool inString = false;
    for (std::size_t i = 0; i < text.size() && deepest <= limit; ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            deepest = std::max(deepest, ++depth);
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return deepest;
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

ModelSchema schemaFromJson(const Json& schema) {
    ModelSchema out;
    const Json& attributes = model_json::array(schema, "attributes");
    require(!attributes.empty(), "the model lists no attribute");
    std::vector<std::string> names;
    for (const Json& entry : attributes) {
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

Result<Json> parseModelText(std::string_view text, const std::string& name) {
    using R = Result<Json>;
    const std::string notOurs = name + " is not a model file of these programs";
    if (text.size() > kMaxModelFileBytes)
        return R::failure(name + " is larger than a model file can be (" +
                          std::to_string(kMaxModelFileBytes >> 20) + " MB)");
    if (nestingDepth(text, kMaxModelDepth) > kMaxModelDepth)
        return R::failure(notOurs + " (nested too deeply)");
    Json file = Json::parse(text, nullptr, false);
    if (file.is_discarded()) return R::failure(notOurs + " (not JSON, or cut short)");
    if (!file.is_object() || !file.contains("format") || file["format"] != kModelFormat)
        return R::failure(notOurs);
    const Json& version = file["version"];
    // A whole number of 1 or more is parsed as unsigned.
    if (!version.is_number_unsigned() || version.get<std::uint64_t>() == 0)
        return R::failure(name + ": the model's format version is not readable");
    if (version.get<std::uint64_t>() > static_cast<std::uint64_t>(kModelVersion))
        return R::failure(name + " was saved by a newer version of these programs (model format " +
                          version.dump() + "; this one reads up to " +
                          std::to_string(kModelVersion) + ")");
    return file;
}

Result<Json> readModelFile(const std::string& path) {
    using R = Result<Json>;
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return R::failure("cannot open " + path);
    if (!S_ISREG(info.st_mode)) return R::failure(path + " is not a file");
    if (static_cast<std::uint64_t>(info.st_size) > kMaxModelFileBytes)
        return R::failure(path + " is larger than a model file can be (" +
                          std::to_string(kMaxModelFileBytes >> 20) + " MB)");
    std::ifstream in(path, std::ios::binary);
    if (!in) return R::failure("cannot open " + path);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return R::failure("cannot read " + path);
    return parseModelText(text, path);
}

}  // namespace mining
