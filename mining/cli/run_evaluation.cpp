#include "cli/run_evaluation.h"

#include <algorithm>
#include <vector>

#include "cli/tuning.h"
#include "data/duplicate_records.h"
#include "data/split.h"
#include "evaluation/baseline.h"
#include "util/number_format.h"

namespace mining {

namespace {

using Clock = RunTimes::Clock;

// How a run makes its models: the program's own, or the candidates self-tuning chooses among,
// within what the budget allows.
struct Models {
    const ClassifierProgram& program;
    std::vector<Candidate> candidates;
    const RunOptions& options;
    const TimeBudget& budget;
    const Deadline& deadline;
};

// A fresh model for some training rows, with the settings self-tuning chose for them (if it ran),
// and the rows to train it on: all of them, or the seeded sample that the setting's cost leaves
// room for (`sample`, when not empty).
struct ChosenModel {
    std::unique_ptr<Model> model;
    std::optional<Tuning> tuning;
    std::vector<RowIndex> sample;

    std::span<const RowIndex> rows(std::span<const RowIndex> train) const {
        return sample.empty() ? train : std::span<const RowIndex>(sample);
    }
};

// Returns a fresh model for the training rows `train`: the candidate cross-validation on them
// chooses when options.autoTune and there is a choice, else the program's own.
Result<ChosenModel> chooseModel(const Dataset& data, std::span<const RowIndex> train,
                                const Models& models) {
    ChosenModel chosen;
    if (!models.options.autoTune || models.candidates.size() < 2) {
        chosen.model = models.program.makeModel();
        return chosen;
    }
    Result<Tuning> tuning = tune(data, train, models.candidates, models.options.seed,
                                 models.budget.tuning(data), models.deadline);
    if (!tuning) return tuning.failureAs<ChosenModel>();
    chosen.model = models.candidates[tuning->chosen].make();
    if (tuning->training > 0)
        chosen.sample =
            sampleRows(train, tuning->training, models.options.seed ^ kTrainingSampleSeed);
    chosen.tuning = std::move(tuning.value());
    return chosen;
}

// Returns the evaluation of `model`'s predictions on the rows `rows`.
Evaluation evaluate(const Model& model, const Dataset& data, std::span<const RowIndex> rows) {
    std::vector<std::int32_t> predicted;
    model.predictRows(data, rows, predicted);
    Evaluation evaluation(data.classCount());
    const CodeSpan classes = data.classes();
    for (std::size_t i = 0; i < rows.size(); ++i) evaluation.add(classes[rows[i]], predicted[i]);
    return evaluation;
}

// Returns the classes whose records number above 0 and below `least` among `rows` (0: any that
// has none).
std::vector<std::size_t> classesWithFewer(const Dataset& data, std::span<const RowIndex> rows,
                                          std::size_t least, bool emptyOnly) {
    std::vector<std::size_t> counts(data.classCount(), 0);
    for (const RowIndex r : rows) ++counts[static_cast<std::size_t>(data.classes()[r])];
    std::vector<std::size_t> few;
    for (std::size_t c = 0; c < counts.size(); ++c)
        if (emptyOnly ? counts[c] == 0 : counts[c] > 0 && counts[c] < least) few.push_back(c);
    return few;
}

// Keeps the predictions of `model` for `rows` in `predictions`, at each row's place among all
// records (every record is predicted once, by the model of its fold).
void keepFoldPredictions(const Model& model, const Dataset& data, std::span<const RowIndex> rows,
                         Predictions& predictions) {
    std::vector<std::int32_t> predicted;
    std::vector<double> probabilities;
    model.predictWithProbabilities(data, rows, predicted, probabilities);
    const std::size_t k = data.classCount();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        predictions.predicted[rows[i]] = predicted[i];
        std::copy_n(probabilities.begin() + static_cast<std::ptrdiff_t>(i * k), k,
                    predictions.probabilities.begin() + static_cast<std::ptrdiff_t>(rows[i] * k));
    }
}

// Keeps, of the predictions made for every record, those of the records `tested` (ascending).
void keepTested(const std::vector<RowIndex>& tested, std::size_t classCount,
                Predictions& predictions) {
    Predictions kept;
    kept.rows = tested;
    for (const RowIndex r : tested) {
        kept.predicted.push_back(predictions.predicted[r]);
        const auto first = predictions.probabilities.begin() +
                           static_cast<std::ptrdiff_t>(static_cast<std::size_t>(r) * classCount);
        kept.probabilities.insert(kept.probabilities.end(), first,
                                  first + static_cast<std::ptrdiff_t>(classCount));
    }
    predictions = std::move(kept);
}

// Tests each of options.folds stratified folds of `data` by a fresh model trained on the
// others, pooling their counts into `result`. Past the deadline, less the time of two folds
// (the next and the final model's training), the folds still to come are left out: the
// evaluation and the predictions are of the records the folds done tested.
Status crossValidate(const Dataset& data, const Models& models, RunResult& result) {
    const RunOptions& options = models.options;
    const auto k = static_cast<std::size_t>(options.folds);
    if (data.recordCount() < 2)
        return Status::failure("cross-validation needs 2 records or more, and " + data.dataPath() +
                               " has " + std::to_string(data.recordCount()));
    result.evaluation = Evaluation(data.classCount());
    const std::vector<std::vector<RowIndex>> folds = recordFolds(data.classes(), k, options.seed);
    std::vector<RowIndex> tested;
    double spent = 0;
    for (const std::vector<RowIndex>& fold : folds) {
        if (fold.empty()) continue;
        const std::size_t done = result.foldAccuracies.size();
        if (done > 0 && models.deadline.passed(2 * spent / static_cast<double>(done))) {
            result.foldsCut = true;
            break;
        }
        const double begun = models.deadline.now();
        const std::vector<RowIndex> train = rowsLeftOut(fold, data.recordCount());
        Result<ChosenModel> chosen = chooseModel(data, train, models);
        if (!chosen) return Status::failure(chosen.error(), chosen.kind());
        const std::unique_ptr<Model>& model = chosen->model;
        if (const Status trained = model->train(data, chosen->rows(train)); !trained)
            return trained;
        const Evaluation evaluation = evaluate(*model, data, fold);
        if (options.predictions) keepFoldPredictions(*model, data, fold, result.predictions);
        result.evaluation.addEvaluation(evaluation);
        result.foldAccuracies.push_back(evaluation.accuracy());
        tested.insert(tested.end(), fold.begin(), fold.end());
        spent += models.deadline.now() - begun;
    }
    result.foldRecords = tested.size();
    if (result.foldsCut && options.predictions) {
        std::sort(tested.begin(), tested.end());
        keepTested(tested, data.classCount(), result.predictions);
    }
    return Status();
}

// The run evaluated by cross-validation (see runEvaluation).
Result<RunResult> crossValidationRun(const Dataset& data, const Models& models, RunTimes times) {
    using R = Result<RunResult>;
    RunResult result;
    result.kind = EvaluationKind::CrossValidation;
    result.folds = models.options.folds;
    if (models.options.predictions) {
        result.predictions.rows.resize(data.recordCount());
        for (std::size_t r = 0; r < data.recordCount(); ++r)
            result.predictions.rows[r] = static_cast<RowIndex>(r);
        result.predictions.predicted.assign(data.recordCount(), 0);
        result.predictions.probabilities.assign(data.recordCount() * data.classCount(), 0.0);
    }
    if (const Status done = crossValidate(data, models, result); !done)
        return R::failure(done.error(), done.kind());
    std::vector<RowIndex> all(data.recordCount());
    for (std::size_t r = 0; r < all.size(); ++r) all[r] = static_cast<RowIndex>(r);
    Result<ChosenModel> chosen = chooseModel(data, all, models);
    if (!chosen) return chosen.failureAs<RunResult>();
    if (const Status trained = chosen->model->train(data, chosen->rows(all)); !trained)
        return R::failure(trained.error(), trained.kind());
    times.trainDone = Clock::now();
    times.testDone = times.trainDone;
    result.model = std::move(chosen->model);
    result.tuning = std::move(chosen->tuning);
    result.majority = majorityClass(data, all);
    result.baseline = classShare(data, all, result.majority);
    result.warnings.belowBaseline = result.evaluation.accuracy() <= result.baseline;
    result.warnings.fewerThanFolds =
        classesWithFewer(data, all, static_cast<std::size_t>(models.options.folds), false);
    result.times = times;
    return result;
}

// The run evaluated on a split (see runEvaluation).
Result<RunResult> splitRun(const Dataset& data, const Models& models, RunTimes times) {
    using R = Result<RunResult>;
    const RunOptions& options = models.options;
    Split split =
        splitRecords(data.recordCount(), options.percent, options.keepOrder, options.seed);
    if (split.train.empty())
        return R::failure("the split leaves no training records (" +
                          formatGeneral(options.percent, 6) + " % of " +
                          std::to_string(data.recordCount()) + " records)");
    RunResult result;
    result.percent = options.percent;
    result.onTraining = split.test.empty();
    result.trainCount = split.train.size();
    result.testCount = result.onTraining ? split.train.size() : split.test.size();
    // The test rows are made only once the model is trained, so that both never take memory at
    // once.
    split.test = std::vector<RowIndex>();
    Result<ChosenModel> chosen = chooseModel(data, split.train, models);
    if (!chosen) return chosen.failureAs<RunResult>();
    Model& model = *chosen->model;
    if (const Status trained = model.train(data, chosen->rows(split.train)); !trained)
        return R::failure(trained.error(), trained.kind());
    times.trainDone = Clock::now();
    const std::vector<RowIndex> test =
        result.onTraining ? split.train : rowsLeftOut(split.train, data.recordCount());
    std::vector<std::int32_t> predicted;
    model.predictRows(data, test, predicted);
    result.evaluation = Evaluation(data.classCount());
    for (std::size_t i = 0; i < test.size(); ++i)
        result.evaluation.add(data.classes()[test[i]], predicted[i]);
    times.testDone = Clock::now();
    result.majority = majorityClass(data, split.train);
    result.baseline = classShare(data, test, result.majority);
    RunWarnings& warnings = result.warnings;
    warnings.belowBaseline =
        result.evaluation.total() > 0 && result.evaluation.accuracy() <= result.baseline;
    warnings.duplicatesChecked = !result.onTraining && data.recordCount() <= kDuplicateCheckRecords;
    if (warnings.duplicatesChecked) {
        const std::vector<bool> seen = recordsSeenAmong(data, split.train, test);
        for (std::size_t i = 0; i < test.size(); ++i) {
            if (seen[i])
                ++warnings.seenInTraining;
            else
                warnings.unseenCorrect += predicted[i] == data.classes()[test[i]];
        }
    }
    warnings.untrainedClasses = classesWithFewer(data, split.train, 0, true);
    if (options.predictions) {
        Predictions& p = result.predictions;
        p.rows = test;
        std::sort(p.rows.begin(), p.rows.end());
        model.predictWithProbabilities(data, p.rows, p.predicted, p.probabilities);
    }
    result.model = std::move(chosen->model);
    result.tuning = std::move(chosen->tuning);
    result.times = times;
    result.trainRows = std::move(split.train);
    return result;
}

}  // namespace

Result<RunResult> runEvaluation(const Dataset& data, const RunOptions& options,
                                const ClassifierProgram& program,
                                const std::set<std::string>& given, const TimeBudget& budget,
                                RunTimes times, const Deadline& deadline) {
    const Models models{program, program.candidates(given), options, budget, deadline};
    if (options.folds > 0) return crossValidationRun(data, models, times);
    return splitRun(data, models, times);
}

}  // namespace mining
