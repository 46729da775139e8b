#include "cli/tuning.h"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "data/split.h"
#include "util/number_format.h"
#include "util/report_text.h"
#include "util/text_table.h"

namespace mining {

namespace {

// The records and attributes a search runs on: `data`'s own rows, or a small data set of a
// seeded sample of its attributes over the sampled rows.
struct SearchData {
    Dataset projected;
    const Dataset* data = nullptr;
    std::vector<RowIndex> rows;
};

// Returns a data set of `data`'s rows `rows` with only the attributes `keep` (by index).
Dataset projectedData(const Dataset& data, std::span<const RowIndex> rows,
                      const std::vector<std::size_t>& keep) {
    std::vector<Attribute> attributes;
    std::vector<NumericColumn> numeric;
    std::vector<CodeColumn> nominal;
    for (const std::size_t a : keep) {
        attributes.push_back(data.attribute(a));
        NumericColumn column;
        if (data.attribute(a).type == AttributeType::Numeric) {
            ColumnVector<double> values(rows.size());
            for (std::size_t i = 0; i < rows.size(); ++i) values[i] = data.numeric(a)[rows[i]];
            column = NumericColumn::fromDoubles(std::move(values));
        }
        numeric.push_back(std::move(column));
        nominal.push_back(data.attribute(a).type == AttributeType::Nominal
                              ? data.nominal(a).gather(rows)
                              : CodeColumn());
    }
    Dataset projected =
        Dataset::fromColumns(std::move(attributes), data.classValues(), std::move(numeric),
                             std::move(nominal), data.classes().gather(rows));
    projected.setClassName(data.className());
    return projected;
}

// Returns what the search runs on: a seeded sample of plan.records of `rows`, and when the plan
// samples attributes, a seeded sample of plan.attributes of those not ignored.
SearchData searchData(const Dataset& data, std::span<const RowIndex> rows, const TuningPlan& plan,
                      std::uint64_t seed) {
    SearchData search;
    search.data = &data;
    search.rows = sampleRows(rows, plan.records, seed);
    if (plan.attributes == 0) return search;
    std::vector<RowIndex> used;
    for (std::size_t a = 0; a < data.attributeCount(); ++a)
        if (data.attribute(a).type != AttributeType::Ignored)
            used.push_back(static_cast<RowIndex>(a));
    const std::vector<RowIndex> kept = sampleRows(used, plan.attributes, seed ^ 0x5bd1e995u);
    search.projected =
        projectedData(data, search.rows, std::vector<std::size_t>(kept.begin(), kept.end()));
    search.data = &search.projected;
    for (std::size_t i = 0; i < search.rows.size(); ++i) search.rows[i] = static_cast<RowIndex>(i);
    return search;
}

// The counts of one candidate over the folds: records tested and right, in each fold.
struct FoldScores {
    std::vector<std::size_t> tested, correct;
};

// Cross-validates the candidates `tried` on `search`, plan.repeats deals of kTuningFolds folds.
// Stops before a fold once `deadline` comes closer than `reserve` and the slowest fold so far
// (the fold about to start may take as long), setting `cut`.
Result<std::vector<FoldScores>> crossValidate(const SearchData& search,
                                              const std::vector<const Candidate*>& tried,
                                              std::size_t repeats, std::uint64_t seed,
                                              const Deadline& deadline, double reserve, bool& cut) {
    const Dataset& data = *search.data;
    std::vector<FoldScores> scores(tried.size());
    std::vector<std::int32_t> classes(search.rows.size());
    for (std::size_t i = 0; i < search.rows.size(); ++i)
        classes[i] = data.classes()[search.rows[i]];
    std::vector<RowIndex> train, test;
    double slowestFold = 0;
    for (std::size_t r = 0; r < repeats; ++r) {
        const auto folds = stratifiedFolds(CodeSpan(std::span<const std::int32_t>(classes)),
                                           std::min(kTuningFolds, search.rows.size()),
                                           seed + 0x9E3779B97F4A7C15ull * r);
        for (const std::vector<RowIndex>& fold : folds) {
            if (fold.empty()) continue;
            if (deadline.passed(reserve + slowestFold)) {
                cut = true;
                return scores;
            }
            const double started = deadline.now();
            foldRows(search.rows, fold, train, test);
            for (std::size_t c = 0; c < tried.size(); ++c) {
                const std::unique_ptr<Model> model = tried[c]->make();
                if (const Status trained = model->train(data, train); !trained)
                    return Result<std::vector<FoldScores>>::failure(trained.error());
                std::vector<std::int32_t> predicted;
                model->predictRows(data, test, predicted);
                std::size_t right = 0;
                for (std::size_t i = 0; i < test.size(); ++i)
                    right += predicted[i] == data.classes()[test[i]];
                scores[c].tested.push_back(test.size());
                scores[c].correct.push_back(right);
            }
            slowestFold = std::max(slowestFold, deadline.now() - started);
        }
    }
    return scores;
}

// Returns the mean and the standard deviation of `values` (0 for fewer than two).
std::pair<double, double> meanAndSpread(const std::vector<double>& values) {
    if (values.empty()) return {0, 0};
    double sum = 0;
    for (const double v : values) sum += v;
    const double mean = sum / static_cast<double>(values.size());
    double squares = 0;
    for (const double v : values) squares += (v - mean) * (v - mean);
    const double sd =
        values.size() > 1 ? std::sqrt(squares / static_cast<double>(values.size() - 1)) : 0.0;
    return {mean, sd};
}

// Returns the accuracy of each fold of `scores`.
std::vector<double> foldAccuracies(const FoldScores& scores) {
    std::vector<double> accuracies;
    for (std::size_t f = 0; f < scores.tested.size(); ++f)
        accuracies.push_back(static_cast<double>(scores.correct[f]) /
                             static_cast<double>(scores.tested[f]));
    return accuracies;
}

// Fills in `tuning`'s scores from `scores` and makes the choice: the best pooled accuracy (the
// earliest on a tie), kept only when its gain over the defaults exceeds the standard error of
// the folds' paired differences.
void choose(const std::vector<FoldScores>& scores, Tuning& tuning) {
    std::size_t best = 0;
    for (std::size_t c = 0; c < scores.size(); ++c) {
        std::size_t tested = 0, correct = 0;
        for (std::size_t f = 0; f < scores[c].tested.size(); ++f) {
            tested += scores[c].tested[f];
            correct += scores[c].correct[f];
        }
        tuning.accuracies[c] =
            tested ? static_cast<double>(correct) / static_cast<double>(tested) : 0;
        tuning.spreads[c] = meanAndSpread(foldAccuracies(scores[c])).second;
        if (tuning.accuracies[c] > tuning.accuracies[best]) best = c;
    }
    const std::vector<double> mine = foldAccuracies(scores[best]);
    const std::vector<double> defaults = foldAccuracies(scores[0]);
    std::vector<double> differences;
    for (std::size_t f = 0; f < mine.size(); ++f) differences.push_back(mine[f] - defaults[f]);
    const double n = static_cast<double>(differences.size());
    tuning.gain = tuning.accuracies[best] - tuning.accuracies[0];
    tuning.standardError = n > 1 ? meanAndSpread(differences).second / std::sqrt(n) : 0.0;
    tuning.best = tuning.tried[best];
    tuning.chosen = tuning.gain > tuning.standardError ? tuning.best : tuning.tried[0];
}

}  // namespace

Result<Tuning> tune(const Dataset& data, std::span<const RowIndex> rows,
                    const std::vector<Candidate>& candidates, std::uint64_t seed,
                    const TuningPlan& plan, const Deadline& deadline) {
    Tuning tuning;
    tuning.tried = plan.tried;
    for (const std::size_t c : plan.tried) tuning.labels.push_back(candidates[c].label);
    for (const std::size_t c : plan.leftOut) tuning.untried.push_back(candidates[c].label);
    tuning.accuracies.assign(plan.tried.size(), 0.0);
    tuning.spreads.assign(plan.tried.size(), 0.0);
    tuning.repeats = plan.repeats;
    if (plan.skipped) {
        tuning.skipped = true;
        tuning.tooLarge = plan.tooLarge;
        return tuning;
    }
    const SearchData search = searchData(data, rows, plan, seed);
    tuning.records = search.rows.size();
    tuning.attributes = plan.attributes;
    tuning.allAttributes = data.attributeCount();
    if (plan.tried.size() < 2 || search.rows.size() < 2) return tuning;
    std::vector<const Candidate*> tried;
    for (const std::size_t c : plan.tried) tried.push_back(&candidates[c]);
    tuning.plannedFolds = plan.repeats * std::min(kTuningFolds, search.rows.size());
    const Result<std::vector<FoldScores>> scores =
        crossValidate(search, tried, plan.repeats, seed, deadline, plan.finalSeconds, tuning.cut);
    if (!scores) return scores.failureAs<Tuning>();
    tuning.folds = scores->front().tested.size();
    if (tuning.folds > 0) choose(*scores, tuning);
    tuning.training = plan.training.empty() ? 0 : plan.training[tuning.chosen];
    tuning.trainingOf = rows.size();
    return tuning;
}

Result<Tuning> tune(const Dataset& data, std::span<const RowIndex> rows,
                    const std::vector<Candidate>& candidates, std::uint64_t seed,
                    const TuningBudget& budget, const Deadline& deadline) {
    return tune(data, rows, candidates, seed, planTuning(data, rows.size(), candidates, budget),
                deadline);
}

namespace {

// Returns why the choice was made: the best's gain over the defaults against the standard error
// of that gain.
std::string choiceSentence(const Tuning& tuning) {
    const std::size_t best = static_cast<std::size_t>(
        std::find(tuning.tried.begin(), tuning.tried.end(), tuning.best) - tuning.tried.begin());
    if (best == 0) return "The defaults scored best.";
    const std::string gain = formatFixed(100.0 * tuning.gain, 2);
    const std::string error = formatFixed(100.0 * tuning.standardError, 2);
    if (tuning.chosen == tuning.best)
        return tuning.labels[best] + " scored " + gain +
               " points above the defaults, more than the standard error of the difference (" +
               error + "): chosen.";
    return tuning.labels[best] + " scored " + gain +
           " points above the defaults, within the standard error of the difference (" + error +
           "): the defaults are kept.";
}

}  // namespace

std::string trainingSentence(const Tuning& tuning) {
    const auto chosen = static_cast<std::size_t>(
        std::find(tuning.tried.begin(), tuning.tried.end(), tuning.chosen) - tuning.tried.begin());
    return tuning.labels[chosen] + " trained on a seeded sample of " +
           std::to_string(tuning.training) + " of the " + std::to_string(tuning.trainingOf) +
           " training records, to keep within the time limit.";
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
    const std::string deals = tuning.repeats > 1 ? std::to_string(tuning.repeats) + " x " : "";
    const std::string sampled = tuning.attributes > 0
                                    ? " and a seeded sample of " +
                                          std::to_string(tuning.attributes) + " of the " +
                                          std::to_string(tuning.allAttributes) + " attributes"
                                    : "";
    std::string out =
        wrapWords("Settings chosen by " + deals + std::to_string(kTuningFolds) +
                  "-fold cross-validation on " + std::to_string(tuning.records) +
                  " training records" + sampled + " (--no-auto keeps the defaults instead):");
    std::ostringstream lines;
    TextTable table;
    // sd: the standard deviation of the folds' accuracies, in points.
    table.setHeader({"Candidate", "Accuracy", "sd", ""});
    for (std::size_t c = 0; c < tuning.labels.size(); ++c)
        table.addRow({tuning.labels[c], formatFixed(100.0 * tuning.accuracies[c], 2) + " %",
                      formatFixed(100.0 * tuning.spreads[c], 1),
                      tuning.tried[c] == tuning.chosen ? "chosen" : ""});
    table.write(lines, kReportColumns);
    if (tuning.cut)
        lines << wrapWords("  The machine was slower than planned: the search stopped after " +
                           std::to_string(tuning.folds) + " of its " +
                           std::to_string(tuning.plannedFolds) + " folds" +
                           (tuning.folds == 0 ? ", and the defaults are kept." : "."));
    if (tuning.labels.size() > 1 && tuning.folds > 0)
        lines << wrapWords("  " + choiceSentence(tuning));
    if (tuning.training > 0) lines << wrapWords("  " + trainingSentence(tuning));
    if (!tuning.untried.empty())
        writeWrappedList(lines, "  Not tried, to keep within the time limit: ", tuning.untried);
    return out + lines.str() + "\n";
}

}  // namespace mining
