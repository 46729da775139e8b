// Fuzz target: the model file reader. The input is a model file's text; both programs read it.
// A model either reads back or fails with one printable line; one that reads back describes
// itself, round-trips through save() to the same figures, and scores a record of its schema
// (every value present, then every value missing) without a fault.
#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "cli/apply_model.h"
#include "cli/bayes_program.h"
#include "cli/interval_program.h"
#include "fuzz_checks.h"

namespace {

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

void exercise(std::string_view text, const mining::ClassifierProgram& program) {
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
    const nlohmann::json file = nlohmann::json::parse(text, nullptr, false);
    if (file.is_discarded() || saved != file.at("model"))
        fuzz::fail("a model read back saves other figures than it read");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(bytes), size);
    static mining::BayesProgram bayes;
    static mining::IntervalProgram interval;
    exercise(text, bayes);
    exercise(text, interval);
    return 0;
}
