#include "cli/tuning.h"

#include <algorithm>
#include <sstream>

#include "data/split.h"
#include "util/number_format.h"
#include "util/report_text.h"
#include "util/text_table.h"

namespace mining {

std::size_t tuningRecords(const Dataset& data, std::size_t available,
                          const std::vector<Candidate>& candidates, const TuningBudget& budget) {
    const std::size_t most = std::min(available, kTuningRecords);
    if (budget.seconds <= 0) return most;
    double attributes = 0;
    for (std::size_t a = 0; a < data.attributeCount(); ++a)
        attributes += data.attribute(a).type == AttributeType::Ignored ? 0 : 1;
    double weights = 0;
    double heaviest = 0;
    for (const Candidate& c : candidates) {
        weights += c.weight;
        heaviest = std::max(heaviest, c.weight);
    }
    // Every candidate on every fold, then the chosen one (at most the heaviest) on the sample.
    const double trainings = static_cast<double>(kTuningFolds) * weights + heaviest;
    const TuningCosts& costs = budget.costs;
    const double perRecord =
        attributes * (costs.perCell + static_cast<double>(data.classCount()) * costs.perCellClass);
    const double fixed = attributes * costs.perAttribute;
    const double room = budget.seconds / trainings - fixed;
    const double affordable = perRecord > 0 ? room / perRecord : (room >= 0 ? 1e18 : 0.0);
    const std::size_t least = std::min(available, kLeastTuningRecords);
    if (affordable < static_cast<double>(least)) return 0;
    return affordable >= static_cast<double>(most) ? most : static_cast<std::size_t>(affordable);
}

Result<Tuning> tune(const Dataset& data, std::span<const RowIndex> rows,
                    const std::vector<Candidate>& candidates, std::uint64_t seed,
                    const TuningBudget& budget) {
    Tuning tuning;
    for (const Candidate& c : candidates) tuning.labels.push_back(c.label);
    tuning.accuracies.assign(candidates.size(), 0.0);
    const std::size_t count = tuningRecords(data, rows.size(), candidates, budget);
    if (count == 0 && !rows.empty()) {
        tuning.skipped = true;
        return tuning;
    }
    const std::vector<RowIndex> sample = sampleRows(rows, count, seed);
    tuning.records = sample.size();
    if (candidates.size() < 2 || sample.size() < 2) return tuning;
    // Folds of positions in the sample, stratified by class.
    std::vector<std::int32_t> classes(sample.size());
    for (std::size_t i = 0; i < sample.size(); ++i) classes[i] = data.classes()[sample[i]];
    const auto folds = stratifiedFolds(CodeSpan(std::span<const std::int32_t>(classes)),
                                       std::min(kTuningFolds, sample.size()), seed);
    std::vector<std::size_t> correct(candidates.size(), 0);
    std::size_t tested = 0;
    std::vector<char> inFold(sample.size());
    for (const std::vector<RowIndex>& fold : folds) {
        if (fold.empty()) continue;
        std::fill(inFold.begin(), inFold.end(), 0);
        for (const RowIndex i : fold) inFold[i] = 1;
        std::vector<RowIndex> train;
        std::vector<RowIndex> test;
        for (std::size_t i = 0; i < sample.size(); ++i)
            (inFold[i] ? test : train).push_back(sample[i]);
        tested += test.size();
        for (std::size_t c = 0; c < candidates.size(); ++c) {
            const std::unique_ptr<Model> model = candidates[c].make();
            const Status trained = model->train(data, train);
            if (!trained) return Result<Tuning>::failure(trained.error());
            std::vector<std::int32_t> predicted;
            model->predictRows(data, test, predicted);
            for (std::size_t i = 0; i < test.size(); ++i)
                correct[c] += predicted[i] == data.classes()[test[i]];
        }
    }
    for (std::size_t c = 0; c < candidates.size(); ++c) {
        tuning.accuracies[c] = static_cast<double>(correct[c]) / static_cast<double>(tested);
        if (correct[c] > correct[tuning.chosen]) tuning.chosen = c;
    }
    return tuning;
}

std::string describeTuning(const Tuning& tuning) {
    if (tuning.skipped)
        return wrapWords(
                   "Settings: the defaults. Choosing them by cross-validation on this data "
                   "would take longer than the time limit allows (--time-limit 0 lifts "
                   "it).") +
               "\n";
    std::string out = wrapWords("Settings chosen by " + std::to_string(kTuningFolds) +
                                "-fold cross-validation on " + std::to_string(tuning.records) +
                                " training records (--no-auto: the defaults, no search):");
    TextTable table;
    table.setHeader({"Candidate", "Accuracy", ""});
    for (std::size_t c = 0; c < tuning.labels.size(); ++c)
        table.addRow({tuning.labels[c], formatFixed(100.0 * tuning.accuracies[c], 2) + " %",
                      c == tuning.chosen ? "chosen" : ""});
    std::ostringstream lines;
    table.write(lines);
    return out + lines.str() + "\n";
}

}  // namespace mining
