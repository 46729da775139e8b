#include "bayes/selective_bayes.h"

#include <numeric>
#include <stdexcept>

#include "data/reader.h"
#include "data/split.h"
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

Result<AttributeSelection> SelectiveBayes::selectOnShares(const Dataset& share,
                                                          std::span<const RowIndex> rows,
                                                          std::uint64_t total,
                                                          Collective& collective) const {
    AttributeSelection selection;
    const std::size_t records = selectionRecords(share, static_cast<std::size_t>(total));
    if (records == 0) return selection;
    const std::vector<std::uint64_t> before = everyProcess(collective, rows.size());
    const std::uint64_t first =
        std::accumulate(before.begin(), before.begin() + collective.rank(), std::uint64_t{0});
    Dataset sample =
        share.rowsOf(rowsAtPositions(rows, first, samplePositions(total, records, seed_)));
    // What the first process found: "!" and an error, or whether a choice was made, the mode it
    // started from, its figures, and a use per attribute.
    std::string choice;
    try {
        gatherRows(sample, collective);
        if (collective.rank() == 0) {
            std::vector<RowIndex> all(sample.recordCount());
            std::iota(all.begin(), all.end(), RowIndex{0});
            selection = selectAttributes(sample, all, seed_);
            choice =
                std::string(1, selection.made ? '1' : '0') + static_cast<char>(selection.start);
            for (const AttributeUse use : selection.uses) choice += static_cast<char>(use);
        }
    } catch (const std::invalid_argument& e) {
        choice = std::string("!") + share.dataPath() + ": " + e.what();
    }
    collective.broadcast(choice);
    if (choice.front() == '!') return Result<AttributeSelection>::failure(choice.substr(1));
    if (collective.rank() == 0) return selection;
    selection.made = choice[0] == '1';
    selection.start = static_cast<NumericMode>(choice[1]);
    for (std::size_t i = 2; i < choice.size(); ++i)
        selection.uses.push_back(static_cast<AttributeUse>(choice[i]));
    return selection;
}

Status SelectiveBayes::trainOnShares(const Dataset& share, std::span<const RowIndex> rows,
                                     Collective& collective) {
    if (collective.size() == 1) return train(share, rows);
    std::vector<std::uint64_t> total{rows.size()};
    collective.sum(total);
    if (total[0] == 0) return Status::failure("there are no training records");
    Result<AttributeSelection> selection = selectOnShares(share, rows, total[0], collective);
    if (!selection) return Status::failure(selection.error(), selection.kind());
    selection_ = std::move(selection.value());
    model_ = selection_.made ? NaiveBayes(selection_.start, selection_.uses) : NaiveBayes();
    return model_.trainOnShares(share, rows, collective);
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
