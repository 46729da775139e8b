#pragma once

#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "data/dataset.h"
#include "model/json_document.h"
#include "util/result.h"

namespace mining {

// A saved model is one JSON object:
//   {"format": "classifiers-model", "version": 1, "program": "classify",
//    "schema": {...}, "model": {...}}
// "schema" holds what the model was trained on: the attributes (name, type, values), the class
// column's name and the class values; "model" holds the model's own figures and settings, written
// and read by the model (NaiveBayes::save/load, interval::saveTree/loadTree). Doubles are written
// so that they read back to the same bits.
inline constexpr std::string_view kModelFormat = "classifiers-model";
inline constexpr int kModelVersion = 1;
// Larger files are refused before they are parsed: a model holds figures, not data.
inline constexpr std::uint64_t kMaxModelFileBytes = std::uint64_t{256} << 20;
// Arrays and objects nested deeper are refused before parsing (a model needs about 6 levels).
inline constexpr std::size_t kMaxModelDepth = 64;

// What a saved model was trained on.
struct ModelSchema {
    std::vector<Attribute> attributes;
    std::string className = "class";
    std::vector<std::string> classValues;
};

// A model file that does not hold what it should. The readers of model figures throw it, and
// readModelText() and the programs' model loaders catch it: it never leaves the library.
class ModelFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Checked access to the fields of a model file. Each throws ModelFileError naming the field
// when it is missing or of another kind or range than asked.
namespace model_json {

using Json = nlohmann::json;

JsonValue field(JsonValue object, std::string_view key);
JsonValue array(JsonValue object, std::string_view key);
bool boolean(JsonValue object, std::string_view key);
// A finite number.
double number(JsonValue object, std::string_view key);
// A whole number in [0, max].
std::uint64_t count(JsonValue object, std::string_view key, std::uint64_t max);
// An integer in [low, high].
std::int64_t integer(JsonValue object, std::string_view key, std::int64_t low, std::int64_t high);
std::string text(JsonValue object, std::string_view key);
// An array of finite numbers (of exactly `size` when size != npos).
std::vector<double> numbers(JsonValue object, std::string_view key,
                            std::size_t size = std::string::npos);
// An array of whole numbers in [0, max] (of exactly `size` when size != npos).
std::vector<std::uint64_t> counts(JsonValue object, std::string_view key, std::uint64_t max,
                                  std::size_t size = std::string::npos);
std::vector<std::string> texts(JsonValue object, std::string_view key);
// As field() and text(), on nlohmann-json's DOM.
const Json& field(const Json& object, std::string_view key);
std::string text(const Json& object, std::string_view key);
// Throws ModelFileError with `message` unless `ok`.
void require(bool ok, const std::string& message);
void require(bool ok, const char* message);
// Throws ModelFileError with `message`.
[[noreturn]] void fail(const std::string& message);

}  // namespace model_json

// Returns the schema of `data` as a model file holds it.
nlohmann::json schemaToJson(const Dataset& data);

// Returns the schema a model file holds. Throws ModelFileError when it is malformed: no
// attribute or class value, a name or value twice, an unknown type.
ModelSchema schemaFromJson(JsonValue schema);
ModelSchema schemaFromJson(const nlohmann::json& schema);

// Returns the JSON text of a model file: the format, version, program, schema and model, and
// when `run` is not empty, the identifier of the run that saved it ("run").
std::string modelFileText(const std::string& program, const Dataset& data,
                          const nlohmann::json& model, const std::string& run = "");

// Parses the text of a model file `name` and checks its frame: its size, its nesting, that it is
// JSON, that its format is ours and its version one this program reads. Returns the whole
// of it, or a one-line error naming `name`.
Result<JsonDocument> parseModelDocument(std::string_view text, const std::string& name);

// Reads and parses the model file at `path` as parseModelDocument() does, through a stream (its
// text is never held whole); refuses a file over kMaxModelFileBytes without reading it.
Result<JsonDocument> readModelDocument(const std::string& path);

// As parseModelDocument() and readModelDocument(), returning nlohmann-json's DOM, which takes
// several times the memory of the text.
Result<nlohmann::json> parseModelText(std::string_view text, const std::string& name);
Result<nlohmann::json> readModelFile(const std::string& path);

}  // namespace mining
