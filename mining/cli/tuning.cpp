#include "cli/tuning.h"

#include <algorithm>
#include <sstream>

#include "data/split.h"
#include "util/number_format.h"
#include "util/report_text.h"
#include "util/text_table.h"

namespace mining {

std::size_t tuningRecords(const Dataset& data, std::size_t available,
                          std::span<const Candidate> candidates, const TuningBudget& budget) {
    const std::size_t most = std::min(available, kTuningRecords);
    if (budget.seconds <= 0) return most;
    double attributes = 0;
    for (std::size_t a = 0; a < data.attributeCount(); ++a)
        attributes += data.attribute(a).type == AttributeType::Ignored ? 0 : 1;
    double weights = 0;
    double heaviest = 1;
    for (const Candidate& c : candidates) {
        weights += c.weight;
        heaviest = std::max(heaviest, c.weight);
    }
    const TuningCosts& costs = budget.costs;
    const double perRecord =
        attributes * (costs.perCell + static_cast<double>(data.classCount()) * costs.perCellClass);
    const double fixed = attributes * costs.perAttribute;
    // Every candidate on every fold; then the chosen one, whose training the run's own cost
    // counts but for what a heavier candidate adds (a model that cross-validates choices of its
    // own samples at most kTuningRecords for them).
    const double last = (heaviest - 1) * (fixed + perRecord * static_cast<double>(most));
    const double room =
        (budget.seconds - last) / (static_cast<double>(kTuningFolds) * weights) - fixed;
    const double affordable = perRecord > 0 ? room / perRecord : (room >= 0 ? 1e18 : 0.0);
    const std::size_t least = std::min(available, kLeastTuningRecords);
    if (affordable < static_cast<double>(least)) return 0;
    return affordable >= static_cast<double>(most) ? most : static_cast<std::size_t>(affordable);
}

Result<Tuning> tune(const Dataset& data, std::span<const RowIndex> rows,
                    const std::vector<Candidate>& candidates, std::uint64_t seed,
                    const TuningBudget& budget) {
    Tuning tuning;
    // The last candidates (the costlier settings) make way when the budget cannot try all.
    std::span<const Candidate> tried(candidates);
    std::size_t count = tuningRecords(data, rows.size(), tried, budget);
    while (count == 0 && tried.size() > 2) {
        tried = tried.first(tried.size() - 1);
        count = tuningRecords(data, rows.size(), tried, budget);
    }
    for (const Candidate& c : tried) tuning.labels.push_back(c.label);
    for (const Candidate& c : std::span(candidates).subspan(tried.size()))
        tuning.untried.push_back(c.label);
    tuning.accuracies.assign(tried.size(), 0.0);
    // Where training the defaults on all records already takes longer than the whole budget,
    // a costlier setting could not be afforded, and on a sample this small its cost on all
    // records cannot be told.
    const bool tooLarge = budget.seconds > 0 && budget.trainingSeconds > budget.seconds;
    if ((count == 0 || tooLarge) && !rows.empty()) {
        tuning.skipped = true;
        tuning.tooLarge = tooLarge;
        return tuning;
    }
    const std::vector<RowIndex> sample = sampleRows(rows, count, seed);
    tuning.records = sample.size();
    if (tried.size() < 2 || sample.size() < 2) return tuning;
    // Folds of positions in the sample, stratified by class.
    std::vector<std::int32_t> classes(sample.size());
    for (std::size_t i = 0; i < sample.size(); ++i) classes[i] = data.classes()[sample[i]];
    const auto folds = stratifiedFolds(CodeSpan(std::span<const std::int32_t>(classes)),
                                       std::min(kTuningFolds, sample.size()), seed);
    std::vector<std::size_t> correct(tried.size(), 0);
    std::size_t tested = 0;
    std::vector<RowIndex> train;
    std::vector<RowIndex> test;
    for (const std::vector<RowIndex>& fold : folds) {
        if (fold.empty()) continue;
        foldRows(sample, fold, train, test);
        tested += test.size();
        for (std::size_t c = 0; c < tried.size(); ++c) {
            const std::unique_ptr<Model> model = tried[c].make();
            const Status trained = model->train(data, train);
            if (!trained) return Result<Tuning>::failure(trained.error());
            std::vector<std::int32_t> predicted;
            model->predictRows(data, test, predicted);
            for (std::size_t i = 0; i < test.size(); ++i)
                correct[c] += predicted[i] == data.classes()[test[i]];
        }
    }
    for (std::size_t c = 0; c < tried.size(); ++c) {
        tuning.accuracies[c] = static_cast<double>(correct[c]) / static_cast<double>(tested);
        if (correct[c] > correct[tuning.chosen]) tuning.chosen = c;
    }
    return tuning;
}

std::string describeTuning(const Tuning& tuning) {
    if (tuning.skipped)
        return wrapWords(std::string("Settings: the defaults. ") +
                         (tuning.tooLarge
                              ? "On data this large, another setting's training on all the "
                                "records could take longer than the time limit allows"
                              : "Choosing them by cross-validation on this data would take "
                                "longer than the time limit allows") +
                         " (--time-limit 0 lifts it).") +
               "\n";
    std::string out = wrapWords("Settings chosen by " + std::to_string(kTuningFolds) +
                                "-fold cross-validation on " + std::to_string(tuning.records) +
                                " training records (--no-auto: the defaults, no search):");
    std::ostringstream lines;
    TextTable table;
    table.setHeader({"Candidate", "Accuracy", ""});
    for (std::size_t c = 0; c < tuning.labels.size(); ++c)
        table.addRow({tuning.labels[c], formatFixed(100.0 * tuning.accuracies[c], 2) + " %",
                      c == tuning.chosen ? "chosen" : ""});
    table.write(lines);
    if (!tuning.untried.empty())
        writeWrappedList(lines, "  Not tried, to keep within the time limit: ", tuning.untried);
    return out + lines.str() + "\n";
}

}  // namespace mining
