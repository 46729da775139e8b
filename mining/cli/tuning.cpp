#include "cli/tuning.h"

#include <algorithm>
#include <sstream>

#include "data/split.h"
#include "util/number_format.h"
#include "util/report_text.h"
#include "util/text_table.h"

namespace mining {

Result<Tuning> tune(const Dataset& data, std::span<const RowIndex> rows,
                    const std::vector<Candidate>& candidates, std::uint64_t seed,
                    const TuningPlan& plan) {
    Tuning tuning;
    const std::span<const Candidate> tried = std::span(candidates).first(plan.tried);
    for (const Candidate& c : tried) tuning.labels.push_back(c.label);
    for (const Candidate& c : std::span(candidates).subspan(tried.size()))
        tuning.untried.push_back(c.label);
    tuning.accuracies.assign(tried.size(), 0.0);
    if (plan.skipped) {
        tuning.skipped = true;
        tuning.tooLarge = plan.tooLarge;
        return tuning;
    }
    const std::vector<RowIndex> sample = sampleRows(rows, plan.records, seed);
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

Result<Tuning> tune(const Dataset& data, std::span<const RowIndex> rows,
                    const std::vector<Candidate>& candidates, std::uint64_t seed,
                    const TuningBudget& budget) {
    return tune(data, rows, candidates, seed, planTuning(data, rows.size(), candidates, budget));
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
                                " training records (--no-auto keeps the defaults instead):");
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
