// Fuzz target: the model file reader. The input is a model file's text; both programs read it.
// The compact document the readers work on holds what nlohmann-json's DOM of the text holds, to
// the bit. A model either reads back or fails with one printable line; one that reads back
// describes itself, round-trips through save() to the same figures, and scores a record of its
// schema (every value present, then every value missing) without a fault.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "cli/apply_model.h"
#include "cli/bayes_program.h"
#include "cli/interval_program.h"
#include "fuzz_checks.h"
#include "model/json_document.h"

namespace {

using Kind = mining::JsonValue::Kind;

// Returns true when `value` and `dom` are the same scalar, to the bit.
bool sameScalar(mining::JsonValue value, const nlohmann::json& dom) {
    switch (value.kind()) {
        case Kind::Null:
            return dom.is_null();
        case Kind::Boolean:
            return dom.is_boolean() && value.boolean() == dom.get<bool>();
        case Kind::Integer:
            return dom.is_number_integer() && !dom.is_number_unsigned() &&
                   value.toInt64() == dom.get<std::int64_t>();
        case Kind::Unsigned:
            return dom.is_number_unsigned() && value.toUint64() == dom.get<std::uint64_t>();
        case Kind::Float:
            return dom.is_number_float() && std::bit_cast<std::uint64_t>(value.toDouble()) ==
                                                std::bit_cast<std::uint64_t>(dom.get<double>());
        case Kind::String:
            return dom.is_string() && value.text() == dom.get_ref<const std::string&>();
        default:
            return false;
    }
}

// Aborts unless `value` holds what `dom` holds, down to `depth` levels.
void checkSameValue(mining::JsonValue value, const nlohmann::json& dom, int depth) {
    if (depth == 0) return;
    if (value.isArray() && dom.is_array()) {
        if (value.size() != dom.size()) fuzz::fail("a list of the document has another length");
        auto it = dom.begin();
        for (const mining::JsonValue element : value) checkSameValue(element, *it++, depth - 1);
    } else if (value.isObject() && dom.is_object()) {
        for (auto it = dom.begin(); it != dom.end(); ++it) {
            const std::optional<mining::JsonValue> member = value.find(it.key());
            if (!member) fuzz::fail("a member of the DOM is missing from the document", it.key());
            checkSameValue(*member, it.value(), depth - 1);
        }
    } else if (!sameScalar(value, dom)) {
        fuzz::fail("a value of the document differs from the DOM's", dom.dump());
    }
}

// Aborts unless the document of `text` is JSON exactly when the DOM is, and holds its values.
void checkDocument(std::string_view text, const nlohmann::json& dom) {
    const std::optional<mining::JsonDocument> document =
        mining::JsonDocument::parse(text, std::numeric_limits<std::size_t>::max());
    if (document.has_value() == dom.is_discarded())
        fuzz::fail("the document and the DOM disagree on whether the text is JSON");
    if (document) checkSameValue(document->root(), dom, 100);
}

// Returns one record of the schema: each numeric attribute 0.5 or missing, each nominal one its
// first value (or one past its list when it has none) or missing.
mining::Dataset oneRecord(const mining::ModelSchema& schema, bool missing) {
    const std::size_t n = schema.attributes.size();
    std::vector<mining::NumericColumn> numeric(n);
    std::vector<mining::CodeColumn> nominal(n);
    for (std::size_t a = 0; a < n; ++a) {
        if (schema.attributes[a].type == mining::AttributeType::Numeric) {
            mining::ColumnVector<double> v(1);
            v[0] = missing ? std::numeric_limits<double>::quiet_NaN() : 0.5;
            numeric[a] = mining::NumericColumn::fromDoubles(std::move(v));
        } else if (schema.attributes[a].type == mining::AttributeType::Nominal) {
            mining::ColumnVector<std::int32_t> c(1);
            c[0] = missing ? mining::kMissingCode : 0;
            nominal[a] = mining::CodeColumn(std::move(c));
        }
    }
    mining::ColumnVector<std::int32_t> classes(1);
    classes[0] = 0;
    return mining::Dataset::fromColumns(schema.attributes, schema.classValues, std::move(numeric),
                                        std::move(nominal), mining::CodeColumn(std::move(classes)));
}

void exercise(std::string_view text, const nlohmann::json& file,
              const mining::ClassifierProgram& program) {
    const mining::Result<mining::LoadedModel> loaded =
        mining::loadModelText(text, "model", program);
    if (!loaded) {
        fuzz::checkMessage(loaded.error());
        return;
    }
    const mining::Model& model = *loaded->model;
    for (const bool missing : {false, true}) {
        const mining::Dataset data = oneRecord(loaded->schema, missing);
        std::vector<std::int32_t> predicted;
        std::vector<double> probabilities;
        const mining::RowIndex rows[] = {0};
        model.predictWithProbabilities(data, rows, predicted, probabilities);
        if (predicted.size() != 1 || predicted[0] < 0 ||
            static_cast<std::size_t>(predicted[0]) >= data.classCount())
            fuzz::fail("a prediction outside the class values");
        std::ostringstream description;
        model.describe(data, description);
    }
    nlohmann::json saved;
    if (!model.save(saved)) fuzz::fail("a model read back cannot be saved");
    if (file.is_discarded() || saved != file.at("model"))
        fuzz::fail("a model read back saves other figures than it read");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(bytes), size);
    static mining::BayesProgram bayes;
    static mining::IntervalProgram interval;
    const nlohmann::json file = nlohmann::json::parse(text, nullptr, false);
    checkDocument(text, file);
    exercise(text, file, bayes);
    exercise(text, file, interval);
    return 0;
}
