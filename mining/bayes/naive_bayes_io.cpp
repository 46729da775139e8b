// Writing and reading naive Bayes models in model files (model/model_file.h). Every figure is
// written as it is held, so a model read back predicts to the same bits; the reader checks every
// size, count and kind against the schema before the model is used.
#include <algorithm>
#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>

#include "bayes/kernel_density.h"
#include "bayes/naive_bayes.h"
#include "data/text_fields.h"

namespace mining {

using model_json::Json;
using model_json::require;

namespace {

const char* modeName(NumericMode mode) {
    switch (mode) {
        case NumericMode::Discretize:
            return "discretize";
        case NumericMode::Kernel:
            return "kernel";
        case NumericMode::Normal:
            break;
    }
    return "normal";
}

NumericMode modeOfName(const std::string& name) {
    if (name == "discretize") return NumericMode::Discretize;
    if (name == "kernel") return NumericMode::Kernel;
    require(name == "normal", "the naive Bayes model has an unknown treatment of numbers");
    return NumericMode::Normal;
}

std::vector<std::size_t> toSizes(const std::vector<std::uint64_t>& counts) {
    return {counts.begin(), counts.end()};
}

std::vector<std::uint8_t> flags(JsonValue object, std::string_view key, std::size_t size) {
    const JsonValue list = model_json::array(object, key);
    require(list.size() == size, "\"" + std::string(key) + "\" has the wrong length");
    std::vector<std::uint8_t> out;
    out.reserve(size);
    for (const JsonValue value : list) {
        if (!value.isBoolean())
            model_json::fail("\"" + std::string(key) +
                             "\" holds something other than true or false");
        out.push_back(value.boolean() ? 1 : 0);
    }
    return out;
}

Json flagList(const std::vector<std::uint8_t>& values) {
    Json list = Json::array();
    for (const std::uint8_t v : values) list.push_back(v != 0);
    return list;
}

// The sample standard deviations, 0 where a class has fewer than two values (none is NaN).
std::vector<double> sampleSds(const std::vector<double>& sds) {
    std::vector<double> out(sds);
    for (double& sd : out)
        if (std::isnan(sd)) sd = 0;
    return out;
}

}  // namespace

bool NaiveBayes::save(Json& out) const {
    Json attributes = Json::array();
    for (const AttributeModel& m : attributes_) {
        Json a;
        switch (m.kind) {
            case Kind::Unused:
                a = {{"kind", "unused"}, {"note", m.note}};
                break;
            case Kind::Normal:
                a = {{"kind", "normal"},
                     {"resolution", m.resolution},
                     {"mean", m.mean},
                     {"sd", m.stdDev},
                     {"log normalizer", m.logNormalizer},
                     {"inverse two var", m.inverseTwoVar},
                     {"narrow", flagList(m.narrow)},
                     {"value counts", m.valueCounts},
                     {"sample sd", sampleSds(m.sampleSd)}};
                break;
            case Kind::Table:
            case Kind::Bins:
                a = {{"kind", m.kind == Kind::Table ? "table" : "bins"},
                     {"counts", m.counts},
                     {"log probability", m.logProbability}};
                if (m.kind == Kind::Bins) a["cuts"] = m.cuts;
                break;
            case Kind::Kernel: {
                Json kernels = Json::array();
                for (const KernelDensity& k : m.kernels) kernels.push_back(k.save());
                a = {{"kind", "kernel"},
                     {"resolution", m.resolution},
                     {"kernels", std::move(kernels)},
                     {"pooled", flagList(m.pooled)}};
                break;
            }
        }
        attributes.push_back(std::move(a));
    }
    out = {{"model", "naive Bayes"},
           {"numeric", modeName(mode_)},
           {"per attribute", !uses_.empty()},
           {"class counts", classCounts_},
           {"priors", priors_},
           {"log priors", logPriors_},
           {"attributes", std::move(attributes)}};
    return true;
}

NaiveBayes::AttributeModel NaiveBayes::loadAttribute(JsonValue saved, const Attribute& attribute,
                                                     NumericMode mode, bool perAttribute,
                                                     std::size_t classCount) {
    AttributeModel m;
    const std::string kind = model_json::text(saved, "kind");
    const bool numeric = attribute.type == AttributeType::Numeric;
    const std::string fits =
        "attribute " + quoteForMessage(attribute.name) + " does not fit its model";
    const std::uint64_t maxCount = std::numeric_limits<std::uint32_t>::max();
    if (kind == "unused") {
        m.note = model_json::text(saved, "note");
        return m;
    }
    if (kind == "table" || kind == "bins") {
        m.kind = kind == "table" ? Kind::Table : Kind::Bins;
        require(m.kind == Kind::Table
                    ? attribute.type == AttributeType::Nominal
                    : numeric && (perAttribute || mode == NumericMode::Discretize),
                fits);
        if (m.kind == Kind::Bins) {
            m.cuts = model_json::numbers(saved, "cuts");
            require(std::is_sorted(m.cuts.begin(), m.cuts.end()), fits + " (cuts out of order)");
        }
        m.valueCount = m.kind == Kind::Table ? attribute.values.size() : m.cuts.size() + 1;
        require(m.valueCount > 0, fits);
        const std::size_t cells = m.valueCount * classCount;
        m.counts = toSizes(model_json::counts(saved, "counts", maxCount, cells));
        m.logProbability = model_json::numbers(saved, "log probability", cells);
        return m;
    }
    require(numeric, fits);
    m.resolution = model_json::number(saved, "resolution");
    require(m.resolution > 0, fits + " (resolution)");
    if (kind == "normal") {
        require(perAttribute || mode == NumericMode::Normal, fits);
        m.kind = Kind::Normal;
        m.mean = model_json::numbers(saved, "mean", classCount);
        m.stdDev = model_json::numbers(saved, "sd", classCount);
        for (const double sd : m.stdDev)
            if (!(sd > 0)) model_json::fail(fits + " (a standard deviation)");
        m.logNormalizer = model_json::numbers(saved, "log normalizer", classCount);
        m.inverseTwoVar = model_json::numbers(saved, "inverse two var", classCount);
        m.narrow = flags(saved, "narrow", classCount);
        m.valueCounts = toSizes(model_json::counts(saved, "value counts", maxCount, classCount));
        m.sampleSd = model_json::numbers(saved, "sample sd", classCount);
        for (std::size_t c = 0; c < classCount; ++c) {
            if (!(m.sampleSd[c] >= 0)) model_json::fail(fits + " (a sample standard deviation)");
            if (m.valueCounts[c] < 2) m.sampleSd[c] = std::nan("");
        }
        return m;
    }
    require(kind == "kernel" && (perAttribute || mode == NumericMode::Kernel), fits);
    m.kind = Kind::Kernel;
    const JsonValue kernels = model_json::array(saved, "kernels");
    require(kernels.size() == classCount, fits + " (kernels per class)");
    m.kernels.reserve(classCount);
    for (const JsonValue k : kernels) m.kernels.push_back(KernelDensity::load(k));
    m.pooled = flags(saved, "pooled", classCount);
    return m;
}

std::unique_ptr<NaiveBayes> NaiveBayes::load(JsonValue saved, const ModelSchema& schema) {
    require(model_json::text(saved, "model") == "naive Bayes", "the model is not naive Bayes");
    auto model = std::make_unique<NaiveBayes>(modeOfName(model_json::text(saved, "numeric")));
    const std::size_t k = schema.classValues.size();
    model->classCount_ = k;
    model->classCounts_ = toSizes(
        model_json::counts(saved, "class counts", std::numeric_limits<std::uint32_t>::max(), k));
    model->priors_ = model_json::numbers(saved, "priors", k);
    model->logPriors_ = model_json::numbers(saved, "log priors", k);
    const JsonValue attributes = model_json::array(saved, "attributes");
    require(attributes.size() == schema.attributes.size(),
            "the model has " + std::to_string(attributes.size()) + " attributes, its schema " +
                std::to_string(schema.attributes.size()));
    const bool perAttribute = model_json::boolean(saved, "per attribute");
    model->attributes_.reserve(attributes.size());
    for (const JsonValue a : attributes)
        model->attributes_.push_back(loadAttribute(a, schema.attributes[model->attributes_.size()],
                                                   model->mode_, perAttribute, k));
    if (perAttribute) {
        // Each attribute's treatment, as its kind says.
        for (const AttributeModel& m : model->attributes_)
            model->uses_.push_back(m.kind == Kind::Unused   ? AttributeUse::LeftOut
                                   : m.kind == Kind::Bins   ? AttributeUse::Discretize
                                   : m.kind == Kind::Kernel ? AttributeUse::Kernel
                                                            : AttributeUse::Normal);
    }
    model->anyKernel_ = std::any_of(model->attributes_.begin(), model->attributes_.end(),
                                    [](const AttributeModel& m) { return m.kind == Kind::Kernel; });
    return model;
}

std::unique_ptr<NaiveBayes> NaiveBayes::load(const Json& saved, const ModelSchema& schema) {
    return load(JsonDocument::of(saved).root(), schema);
}

}  // namespace mining
