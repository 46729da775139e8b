#include "bayes/selective_bayes.h"

#include "util/number_format.h"
#include "util/report_text.h"

namespace mining {

namespace {

const char* treatmentName(AttributeUse use) {
    switch (use) {
        case AttributeUse::Normal:
            return "normal";
        case AttributeUse::Discretize:
            return "discretized";
        case AttributeUse::Kernel:
            return "kernels";
        case AttributeUse::LeftOut:
            break;
    }
    return "left out";
}

}  // namespace

std::string SelectiveBayes::name() const {
    return "Naive Bayes (each attribute's treatment chosen by cross-validation)";
}

Status SelectiveBayes::train(const Dataset& data, std::span<const RowIndex> rows) {
    if (rows.empty()) return Status::failure("there are no training records");
    selection_ = selectAttributes(data, rows, seed_);
    model_ = selection_.made ? NaiveBayes(selection_.start, selection_.uses) : NaiveBayes();
    return model_.train(data, rows);
}

std::int32_t SelectiveBayes::predict(const Dataset& data, RowIndex row) const {
    return model_.predict(data, row);
}

void SelectiveBayes::predictRows(const Dataset& data, std::span<const RowIndex> rows,
                                 std::vector<std::int32_t>& predicted) const {
    model_.predictRows(data, rows, predicted);
}

void SelectiveBayes::predictWithProbabilities(const Dataset& data, std::span<const RowIndex> rows,
                                              std::vector<std::int32_t>& predicted,
                                              std::vector<double>& probabilities) const {
    model_.predictWithProbabilities(data, rows, predicted, probabilities);
}

bool SelectiveBayes::save(nlohmann::json& out) const { return model_.save(out); }

void SelectiveBayes::describe(const Dataset& data, std::ostream& out) const {
    out << name() << "\n\n";
    if (!selection_.made) {
        out << wrapWords(
                   "Too many attributes and classes to choose a treatment for each: every "
                   "numeric attribute has a normal distribution.")
            << '\n';
        model_.describe(data, out);
        return;
    }
    bool anyNumeric = false;
    for (std::size_t a = 0; a < data.attributeCount(); ++a)
        anyNumeric = anyNumeric || data.attribute(a).type == AttributeType::Numeric;
    const std::string start =
        anyNumeric ? std::string(" and every numeric one ") + treatmentName(useOf(selection_.start))
                   : std::string();
    out << wrapWords("Chosen by " + std::to_string(kSelectionFolds) + "-fold cross-validation on " +
                     std::to_string(selection_.records) +
                     " training records: " + formatFixed(100.0 * selection_.accuracy, 2) +
                     " % right, against " + formatFixed(100.0 * selection_.startAccuracy, 2) +
                     " % with every attribute used" + start + ".");
    // One line per treatment, listing the attributes that have it.
    for (const AttributeUse use : {AttributeUse::Normal, AttributeUse::Discretize,
                                   AttributeUse::Kernel, AttributeUse::LeftOut}) {
        std::vector<std::string> names;
        for (std::size_t a = 0; a < data.attributeCount(); ++a) {
            const Attribute& attribute = data.attribute(a);
            if (attribute.type == AttributeType::Ignored || selection_.uses[a] != use) continue;
            if (attribute.type == AttributeType::Nominal && use != AttributeUse::LeftOut) continue;
            names.push_back(attribute.name);
        }
        if (!names.empty())
            writeWrappedList(out, std::string("  ") + treatmentName(use) + ": ", names);
    }
    out << '\n';
    model_.describe(data, out);
}

}  // namespace mining
