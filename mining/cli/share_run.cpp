#include "cli/share_run.h"

#include <algorithm>
#include <cstring>
#include <nlohmann/json.hpp>
#include <numeric>
#include <stdexcept>

#include "cli/apply_model.h"
#include "cli/run_evaluation.h"
#include "cli/tuning.h"
#include "data/duplicate_records.h"
#include "data/split.h"
#include "model/json_document.h"
#include "model/model_file.h"
#include "util/number_format.h"

namespace mining {

namespace {

using Clock = RunTimes::Clock;

// Returns rank 0's `status` at every process: what the first process alone did (tuning, or
// training on gathered records) fails or not for all.
Status firstProcessStatus(Collective& collective, const Status& status) {
    std::string error = status ? "" : status.error();
    collective.broadcast(error);
    if (error.empty()) return Status();
    return Status::failure(error, status ? ErrorKind::Data : status.kind());
}

// Returns at the first process a data set of every process's rows `rows` of its share, joined in
// process order; elsewhere an empty one.
Result<Dataset> gatheredRows(const Dataset& share, std::span<const RowIndex> rows,
                             Collective& collective) {
    Dataset part = share.rowsOf(rows);
    std::string error;
    try {
        gatherRows(part, collective);
    } catch (const std::invalid_argument& e) {
        error = share.dataPath() + ": " + e.what();
    }
    const Status sent =
        firstProcessStatus(collective, error.empty() ? Status() : Status::failure(error));
    if (!sent) return Result<Dataset>::failure(sent.error(), sent.kind());
    return part;
}

// Returns 0, 1, ..., n - 1.
std::vector<RowIndex> firstRows(std::size_t n) {
    std::vector<RowIndex> rows(n);
    std::iota(rows.begin(), rows.end(), RowIndex{0});
    return rows;
}

// Sends the first process's trained `model` to every other process, which gets one loaded from
// its saved figures: each then predicts its own records as the first process would.
Status sendModel(std::unique_ptr<Model>& model, const Dataset& share,
                 const ClassifierProgram& program, Collective& collective) {
    if (collective.size() == 1) return Status();
    std::string text;
    if (collective.rank() == 0)
        if (nlohmann::json saved; model->save(saved)) text = saved.dump();
    collective.broadcast(text);
    if (text.empty()) return Status::failure("this model cannot be sent to the other processes");
    std::string error;
    if (collective.rank() != 0) {
        const ModelSchema schema{share.attributes(), share.className(), share.classValues()};
        try {
            const std::optional<JsonDocument> saved = JsonDocument::parse(text, kMaxModelDepth);
            if (!saved) throw ModelFileError("not JSON");
            model = program.loadModel(saved->root(), schema);
        } catch (const ModelFileError& e) {
            error = std::string("the first process's model did not load: ") + e.what();
        }
    }
    error = firstError(collective, error);
    return error.empty() ? Status() : Status::failure(error);
}

// The training records of a split over the shares: this process's rows, those before them among
// every process's, and all of them.
struct ShareTraining {
    std::span<const RowIndex> rows;
    std::uint64_t before = 0;
    std::uint64_t total = 0;
};

// A model chosen for the training records, and what self-tuning found (at the first process).
struct SharedChoice {
    std::unique_ptr<Model> model;
    std::optional<Tuning> tuning;
};

// Self-tuning at the first process on the seeded sample of the training records one process
// would cross-validate on, gathered there; the choice sent to every process.
Result<SharedChoice> chooseOnShares(const Dataset& share, const ShareTraining& training,
                                    const std::vector<Candidate>& candidates,
                                    const RunOptions& options, const TimeBudget& budget,
                                    Collective& collective) {
    using R = Result<SharedChoice>;
    SharedChoice choice;
    const TuningPlan plan = planTuning(share, static_cast<std::size_t>(training.total), candidates,
                                       budget.tuning(share));
    const std::vector<std::uint64_t> positions =
        plan.skipped ? std::vector<std::uint64_t>()
                     : samplePositions(training.total, plan.records, options.seed);
    Result<Dataset> sample =
        gatheredRows(share, rowsAtPositions(training.rows, training.before, positions), collective);
    if (!sample) return sample.failureAs<SharedChoice>();
    Status tuned;
    std::string chosen;
    if (collective.rank() == 0) {
        Result<Tuning> tuning =
            tune(*sample, firstRows(sample->recordCount()), candidates, options.seed, plan);
        if (tuning) {
            tuning->trainingOf = static_cast<std::size_t>(training.total);
            chosen = std::to_string(tuning->chosen);
            choice.tuning = std::move(tuning.value());
        } else {
            tuned = Status::failure(tuning.error(), tuning.kind());
        }
    }
    if (const Status agreed = firstProcessStatus(collective, tuned); !agreed)
        return R::failure(agreed.error(), agreed.kind());
    collective.broadcast(chosen);
    choice.model = candidates[std::stoul(chosen)].make();
    return choice;
}

// Returns at the first process the evaluation of every process's predictions `predicted` of its
// rows `tested`.
Evaluation gatheredEvaluation(const Dataset& share, std::span<const RowIndex> tested,
                              const std::vector<std::int32_t>& predicted, Collective& collective) {
    Evaluation own(share.classCount());
    for (std::size_t i = 0; i < tested.size(); ++i)
        own.add(share.classes()[tested[i]], predicted[i]);
    // Each process's cells that count: actual, predicted, count.
    std::vector<std::uint64_t> cells;
    for (std::size_t c = 0; c < share.classCount(); ++c)
        if (own.count(c, c) > 0) cells.insert(cells.end(), {c, c, own.count(c, c)});
    for (const Evaluation::Confusion& cell : own.confusions())
        cells.insert(cells.end(), {cell.actual, cell.predicted, cell.count});
    std::string bytes(cells.size() * sizeof(std::uint64_t), '\0');
    if (!cells.empty()) std::memcpy(bytes.data(), cells.data(), bytes.size());
    Evaluation all(share.classCount());
    for (const std::string& part : collective.gather(bytes)) {
        std::vector<std::uint64_t> in(part.size() / sizeof(std::uint64_t));
        if (!in.empty()) std::memcpy(in.data(), part.data(), part.size());
        for (std::size_t i = 0; i + 2 < in.size(); i += 3)
            all.add(static_cast<std::size_t>(in[i]), static_cast<std::size_t>(in[i + 1]),
                    static_cast<std::size_t>(in[i + 2]));
    }
    return all;
}

// Returns every process's count of each class among its rows `rows`, summed.
std::vector<std::uint64_t> classCounts(const Dataset& share, std::span<const RowIndex> rows,
                                       Collective& collective) {
    std::vector<std::uint64_t> counts(share.classCount(), 0);
    for (const RowIndex r : rows) ++counts[static_cast<std::size_t>(share.classes()[r])];
    collective.sum(counts);
    return counts;
}

// Sends each process's `values` to the first process, which gets them joined in process order.
std::vector<std::uint64_t> gatheredValues(const std::vector<std::uint64_t>& values,
                                          Collective& collective) {
    std::string bytes(values.size() * sizeof(std::uint64_t), '\0');
    if (!values.empty()) std::memcpy(bytes.data(), values.data(), bytes.size());
    std::vector<std::uint64_t> all;
    for (const std::string& part : collective.gather(bytes)) {
        const std::size_t at = all.size();
        all.resize(at + part.size() / sizeof(std::uint64_t));
        if (!part.empty()) std::memcpy(all.data() + at, part.data(), part.size());
    }
    return all;
}

// The test records a duplicate check looks at, in one process's part or in all: each one's hash
// and record number, and whether its prediction was right.
struct CheckedRecords {
    std::vector<std::uint64_t> trainHashes, trainRecords;
    std::vector<std::uint64_t> testHashes, testRecords, testRight;
};

// Counts, into `warnings`, the test records that stand among the training records as well and the
// other test records predicted right (see recordsSeenAmong): hashes sent to the first process,
// which gathers the records whose hashes match and compares them.
Status countSeenRecords(const DataShare& share, const Split& split,
                        const std::vector<std::int32_t>& predicted, RunWarnings& warnings,
                        Collective& collective) {
    const Dataset& data = share.data;
    const std::vector<std::uint64_t> hashes = recordHashes(data);
    CheckedRecords own;
    for (const RowIndex r : split.train) {
        own.trainHashes.push_back(hashes[r]);
        own.trainRecords.push_back(share.first + r);
    }
    for (std::size_t i = 0; i < split.test.size(); ++i) {
        const RowIndex r = split.test[i];
        own.testHashes.push_back(hashes[r]);
        own.testRecords.push_back(share.first + r);
        own.testRight.push_back(predicted[i] == data.classes()[r]);
    }
    CheckedRecords all;
    all.trainHashes = gatheredValues(own.trainHashes, collective);
    all.trainRecords = gatheredValues(own.trainRecords, collective);
    all.testHashes = gatheredValues(own.testHashes, collective);
    all.testRecords = gatheredValues(own.testRecords, collective);
    all.testRight = gatheredValues(own.testRight, collective);
    // The records whose hashes a record of the other kind shares, in record order.
    std::vector<std::uint64_t> wanted;
    std::vector<std::uint64_t> trainSorted = all.trainHashes, testSorted = all.testHashes;
    std::sort(trainSorted.begin(), trainSorted.end());
    std::sort(testSorted.begin(), testSorted.end());
    const auto in = [](const std::vector<std::uint64_t>& sorted, std::uint64_t h) {
        return std::binary_search(sorted.begin(), sorted.end(), h);
    };
    for (std::size_t i = 0; i < all.trainHashes.size(); ++i)
        if (in(testSorted, all.trainHashes[i])) wanted.push_back(all.trainRecords[i]);
    for (std::size_t i = 0; i < all.testHashes.size(); ++i)
        if (in(trainSorted, all.testHashes[i])) wanted.push_back(all.testRecords[i]);
    std::sort(wanted.begin(), wanted.end());
    std::string bytes(wanted.size() * sizeof(std::uint64_t), '\0');
    if (!wanted.empty()) std::memcpy(bytes.data(), wanted.data(), bytes.size());
    collective.broadcast(bytes);
    wanted.resize(bytes.size() / sizeof(std::uint64_t));
    if (!wanted.empty()) std::memcpy(wanted.data(), bytes.data(), bytes.size());
    const std::vector<RowIndex> rows =
        rowsAtPositions(firstRows(data.recordCount()), share.first, wanted);
    Result<Dataset> gathered = gatheredRows(data, rows, collective);
    if (!gathered) return Status::failure(gathered.error(), gathered.kind());
    if (collective.rank() != 0) return Status();
    // The wanted records of each kind, by their place among the gathered ones.
    const auto placeOf = [&wanted](std::uint64_t record) {
        return static_cast<RowIndex>(std::lower_bound(wanted.begin(), wanted.end(), record) -
                                     wanted.begin());
    };
    std::vector<RowIndex> train, test;
    std::vector<std::size_t> tested;
    for (std::size_t i = 0; i < all.trainHashes.size(); ++i)
        if (in(testSorted, all.trainHashes[i])) train.push_back(placeOf(all.trainRecords[i]));
    for (std::size_t i = 0; i < all.testHashes.size(); ++i)
        if (in(trainSorted, all.testHashes[i])) {
            test.push_back(placeOf(all.testRecords[i]));
            tested.push_back(i);
        }
    const std::vector<bool> seen = recordsSeenAmong(*gathered, train, test);
    std::size_t right = 0;
    for (const std::uint64_t r : all.testRight) right += r;
    for (std::size_t i = 0; i < test.size(); ++i)
        if (seen[i]) {
            ++warnings.seenInTraining;
            right -= all.testRight[tested[i]];
        }
    warnings.unseenCorrect = right;
    return Status();
}

// Returns at the first process every process's predictions file `text` joined in process order,
// its header once; elsewhere "".
std::string joinedPredictions(std::string text, Collective& collective) {
    if (collective.rank() != 0) text.erase(0, text.find('\n') + 1);
    std::vector<std::string> parts = collective.gather(text);
    if (collective.rank() != 0) return "";
    for (std::size_t p = 1; p < parts.size(); ++p) {
        parts[0] += parts[p];
        std::string().swap(parts[p]);
    }
    return std::move(parts[0]);
}

// Returns at the first process the predictions file of every process's test records `tested`,
// each process writing the lines of its own; elsewhere "".
std::string predictionsOnShares(const Dataset& share, std::span<const RowIndex> tested,
                                const Model& model, Collective& collective) {
    std::vector<std::int32_t> predicted;
    std::vector<double> probabilities;
    model.predictWithProbabilities(share, tested, predicted, probabilities);
    std::vector<std::string> actual(share.recordCount());
    for (const RowIndex r : tested)
        actual[r] = share.classValues()[static_cast<std::size_t>(share.classes()[r])];
    return joinedPredictions(
        predictionsCsv(share, tested, share.recordLines(), actual, predicted, probabilities),
        collective);
}

// Returns the class with the most of `counts` (the earliest on a tie).
std::int32_t majorityOf(const std::vector<std::uint64_t>& counts) {
    return static_cast<std::int32_t>(std::max_element(counts.begin(), counts.end()) -
                                     counts.begin());
}

// Sets the result's baseline and warnings at the first process from every process's counts.
Status warnOnShares(const DataShare& share, const Split& split, std::span<const RowIndex> test,
                    const std::vector<std::int32_t>& predicted, RunResult& result,
                    Collective& collective) {
    const std::vector<std::uint64_t> trained = classCounts(share.data, split.train, collective);
    const std::vector<std::uint64_t> tested = classCounts(share.data, test, collective);
    result.majority = majorityOf(trained);
    const std::uint64_t testCount = std::accumulate(tested.begin(), tested.end(), std::uint64_t{0});
    result.baseline = testCount == 0
                          ? 0.0
                          : static_cast<double>(tested[static_cast<std::size_t>(result.majority)]) /
                                static_cast<double>(testCount);
    RunWarnings& warnings = result.warnings;
    warnings.belowBaseline =
        result.evaluation.total() > 0 && result.evaluation.accuracy() <= result.baseline;
    for (std::size_t c = 0; c < trained.size(); ++c)
        if (trained[c] == 0) warnings.untrainedClasses.push_back(c);
    warnings.duplicatesChecked = !result.onTraining && share.total <= kDuplicateCheckRecords;
    if (!warnings.duplicatesChecked) return Status();
    return countSeenRecords(share, split, predicted, warnings, collective);
}

// How the run makes its models on the shares: the program's own, or the candidates self-tuning
// chooses among.
struct ShareModels {
    const ClassifierProgram& program;
    std::vector<Candidate> candidates;
    const RunOptions& options;
    const TimeBudget& budget;
};

// Returns the training records of every process whose own are `rows`.
ShareTraining trainingOf(std::span<const RowIndex> rows, Collective& collective) {
    const std::vector<std::uint64_t> counts = everyProcess(collective, rows.size());
    ShareTraining training{rows, 0, 0};
    for (std::size_t k = 0; k < counts.size(); ++k) {
        if (k < static_cast<std::size_t>(collective.rank())) training.before += counts[k];
        training.total += counts[k];
    }
    return training;
}

// Returns a model trained on `training` (the candidate self-tuning chooses, where it runs),
// every process holding the first process's. Without a time limit the model trains on every
// training record, never on a sample.
Result<SharedChoice> modelOnShares(const Dataset& share, const ShareTraining& training,
                                   const ShareModels& models, Collective& collective) {
    using R = Result<SharedChoice>;
    SharedChoice choice;
    if (models.options.autoTune && models.candidates.size() >= 2) {
        Result<SharedChoice> chosen = chooseOnShares(share, training, models.candidates,
                                                     models.options, models.budget, collective);
        if (!chosen) return chosen;
        choice = std::move(chosen.value());
    } else {
        choice.model = models.program.makeModel();
    }
    if (const Status trained = choice.model->trainOnShares(share, training.rows, collective);
        !trained)
        return R::failure(trained.error(), trained.kind());
    if (const Status sent = sendModel(choice.model, share, models.program, collective); !sent)
        return R::failure(sent.error(), sent.kind());
    return choice;
}

// Returns this process's rows in each of `k` stratified folds of every process's records, as
// recordFolds() deals them over all of them: only the class counts of every process are
// combined, and each process finds the folds of its own records.
std::vector<std::vector<RowIndex>> foldsOnShares(const Dataset& share, std::size_t k,
                                                 std::uint64_t seed, Collective& collective) {
    const std::size_t classes = share.classCount();
    const auto processes = static_cast<std::size_t>(collective.size());
    const auto rank = static_cast<std::size_t>(collective.rank());
    std::vector<std::uint64_t> counts(processes * classes, 0);  // [process * classes + class]
    for (std::size_t r = 0; r < share.recordCount(); ++r)
        ++counts[rank * classes + static_cast<std::size_t>(share.classes()[r])];
    collective.sum(counts);
    std::vector<std::uint64_t> totals(classes, 0);
    std::vector<std::uint64_t> before(classes, 0);
    for (std::size_t p = 0; p < processes; ++p) {
        for (std::size_t c = 0; c < classes; ++c) {
            totals[c] += counts[p * classes + c];
            if (p < rank) before[c] += counts[p * classes + c];
        }
    }
    return RecordFolds(std::move(totals), k, seed).folds(share.classes(), before);
}

// Every process's predictions of its own records, each made by the model of its fold, for the
// predictions file.
struct SharePredictions {
    std::vector<std::int32_t> predicted;
    std::vector<double> probabilities;
};

// Returns the cross-validation over the shares (see shareCrossValidation) but for the model the
// report describes: each fold's evaluation counted at the first process.
Status crossValidateOnShares(const Dataset& share, const ShareModels& models,
                             SharePredictions& kept, RunResult& result, Collective& collective) {
    const auto k = static_cast<std::size_t>(models.options.folds);
    const std::size_t classes = share.classCount();
    const std::vector<std::vector<RowIndex>> folds =
        foldsOnShares(share, k, models.options.seed, collective);
    std::vector<std::uint64_t> sizes(k, 0);
    for (std::size_t f = 0; f < k; ++f) sizes[f] = folds[f].size();
    collective.sum(sizes);
    result.evaluation = Evaluation(classes);
    for (std::size_t f = 0; f < k; ++f) {
        if (sizes[f] == 0) continue;
        const std::vector<RowIndex> train = rowsLeftOut(folds[f], share.recordCount());
        Result<SharedChoice> chosen =
            modelOnShares(share, trainingOf(train, collective), models, collective);
        if (!chosen) return Status::failure(chosen.error(), chosen.kind());
        const Model& model = *chosen->model;
        std::vector<std::int32_t> predicted;
        model.predictRows(share, folds[f], predicted);
        const Evaluation evaluation = gatheredEvaluation(share, folds[f], predicted, collective);
        if (models.options.predictions) {
            std::vector<double> probabilities;
            model.predictWithProbabilities(share, folds[f], predicted, probabilities);
            for (std::size_t i = 0; i < folds[f].size(); ++i) {
                const RowIndex r = folds[f][i];
                kept.predicted[r] = predicted[i];
                std::copy_n(probabilities.begin() + static_cast<std::ptrdiff_t>(i * classes),
                            classes,
                            kept.probabilities.begin() + static_cast<std::ptrdiff_t>(r * classes));
            }
        }
        result.evaluation.addEvaluation(evaluation);
        result.foldAccuracies.push_back(evaluation.accuracy());
        result.foldRecords += static_cast<std::size_t>(sizes[f]);
    }
    return Status();
}

// Returns at the first process the predictions file of every process's records, each
// predicted as `kept` holds; elsewhere "".
std::string keptPredictionsText(const Dataset& share, const SharePredictions& kept,
                                Collective& collective) {
    std::vector<RowIndex> rows(share.recordCount());
    std::iota(rows.begin(), rows.end(), RowIndex{0});
    std::vector<std::string> actual(share.recordCount());
    for (const RowIndex r : rows)
        actual[r] = share.classValues()[static_cast<std::size_t>(share.classes()[r])];
    return joinedPredictions(predictionsCsv(share, rows, share.recordLines(), actual,
                                            kept.predicted, kept.probabilities),
                             collective);
}

}  // namespace

bool runsOnShares(const RunOptions& options, const ClassifierProgram& program,
                  const std::set<std::string>& given) {
    if (!options.html.empty()) return false;
    if (!program.makeModel()->trainsOnShares()) return false;
    if (!options.autoTune) return true;
    const std::vector<Candidate> candidates = program.candidates(given);
    return std::all_of(candidates.begin(), candidates.end(),
                       [](const Candidate& c) { return c.make()->trainsOnShares(); });
}

Result<RunResult> shareSplitRun(const DataShare& share, const RunOptions& options,
                                const ClassifierProgram& program,
                                const std::set<std::string>& given, const TimeBudget& budget,
                                RunTimes times, Collective& collective) {
    using R = Result<RunResult>;
    const Dataset& data = share.data;
    const Split split = splitShare(share.first, data.recordCount(), share.total, options.percent,
                                   options.keepOrder, options.seed);
    const ShareTraining training = trainingOf(split.train, collective);
    if (training.total == 0)
        return R::failure("the split leaves no training records (" +
                          formatGeneral(options.percent, 6) + " % of " +
                          std::to_string(share.total) + " records)");
    RunResult result;
    result.percent = options.percent;
    result.onTraining = training.total == share.total;
    result.trainCount = static_cast<std::size_t>(training.total);
    result.testCount =
        static_cast<std::size_t>(result.onTraining ? training.total : share.total - training.total);
    const ShareModels models{program, program.candidates(given), options, budget};
    Result<SharedChoice> choice = modelOnShares(data, training, models, collective);
    if (!choice) return choice.failureAs<RunResult>();
    times.trainDone = Clock::now();
    const std::span<const RowIndex> test = result.onTraining ? split.train : split.test;
    std::vector<std::int32_t> predicted;
    choice->model->predictRows(data, test, predicted);
    result.evaluation = gatheredEvaluation(data, test, predicted, collective);
    if (options.predictions)
        result.predictionsText = predictionsOnShares(data, test, *choice->model, collective);
    times.testDone = Clock::now();
    if (const Status warned = warnOnShares(share, split, test, predicted, result, collective);
        !warned)
        return R::failure(warned.error(), warned.kind());
    result.model = std::move(choice->model);
    result.tuning = std::move(choice->tuning);
    result.times = times;
    return result;
}

Result<RunResult> shareCrossValidation(const DataShare& share, const RunOptions& options,
                                       const ClassifierProgram& program,
                                       const std::set<std::string>& given, const TimeBudget& budget,
                                       RunTimes times, Collective& collective) {
    using R = Result<RunResult>;
    const Dataset& data = share.data;
    if (share.total < 2)
        return R::failure("cross-validation needs 2 records or more, and " + data.dataPath() +
                          " has " + std::to_string(share.total));
    RunResult result;
    result.kind = EvaluationKind::CrossValidation;
    result.folds = options.folds;
    const ShareModels models{program, program.candidates(given), options, budget};
    SharePredictions kept;
    if (options.predictions) {
        kept.predicted.assign(data.recordCount(), 0);
        kept.probabilities.assign(data.recordCount() * data.classCount(), 0.0);
    }
    if (const Status done = crossValidateOnShares(data, models, kept, result, collective); !done)
        return R::failure(done.error(), done.kind());
    if (options.predictions) result.predictionsText = keptPredictionsText(data, kept, collective);
    std::vector<RowIndex> all(data.recordCount());
    std::iota(all.begin(), all.end(), RowIndex{0});
    Result<SharedChoice> choice =
        modelOnShares(data, trainingOf(all, collective), models, collective);
    if (!choice) return choice.failureAs<RunResult>();
    times.trainDone = Clock::now();
    times.testDone = times.trainDone;
    const std::vector<std::uint64_t> counts = classCounts(data, all, collective);
    result.majority = majorityOf(counts);
    result.baseline = static_cast<double>(counts[static_cast<std::size_t>(result.majority)]) /
                      static_cast<double>(share.total);
    result.warnings.belowBaseline = result.evaluation.accuracy() <= result.baseline;
    for (std::size_t c = 0; c < counts.size(); ++c)
        if (counts[c] > 0 && counts[c] < static_cast<std::uint64_t>(options.folds))
            result.warnings.fewerThanFolds.push_back(c);
    result.model = std::move(choice->model);
    result.tuning = std::move(choice->tuning);
    result.times = times;
    return result;
}

}  // namespace mining
