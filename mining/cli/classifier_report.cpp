#include "cli/classifier_report.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <sstream>
#include <vector>

#include "cli/tuning.h"
#include "data/split.h"
#include "report/evaluation.h"
#include "util/text_table.h"

namespace mining {

namespace {

using Clock = std::chrono::steady_clock;

// When each stage of a run ended.
struct Timings {
    Clock::time_point start, readDone, trainDone, testDone;
};

// The records a run trains on, and how many it tests on. The test rows are the others (or the
// training rows themselves); they are made only once the model is trained, so that the two
// never take memory at once.
struct RunSplit {
    std::vector<RowIndex> train;
    std::size_t testCount = 0;
    bool onTraining = false;  // no record is left for testing: the test rows are the training rows

    std::vector<RowIndex> testRows(std::size_t recordCount) const {
        return onTraining ? train : rowsLeftOut(train, recordCount);
    }
};

// Returns the split `settings` ask for, or an error when it leaves no training records.
Result<RunSplit> splitForRun(const Dataset& data, const RunSettings& settings) {
    Split split =
        splitRecords(data.recordCount(), settings.percent, settings.keepOrder, settings.seed);
    if (split.train.empty())
        return Result<RunSplit>::failure("the split leaves no training records (" +
                                         formatGeneral(settings.percent, 6) + " % of " +
                                         std::to_string(data.recordCount()) + " records)");
    RunSplit run;
    run.onTraining = split.test.empty();
    run.testCount = run.onTraining ? split.train.size() : split.test.size();
    run.train = std::move(split.train);
    return run;
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

// Returns what the run left out to keep within its time limit, one sentence each: the records a
// sample of a large file left unread, and what the model's training left out.
std::vector<std::string> limitNotes(const Dataset& data, const Model& model) {
    std::vector<std::string> notes;
    const SampleInfo& sample = data.sample();
    if (sample.sampled) {
        const std::size_t read = data.recordCount() + data.missingClassCount();
        notes.push_back(
            "the data file is larger than this run reads within its time limit: a "
            "seeded sample of " +
            std::to_string(read) + " records of about " + std::to_string(sample.estimatedRecords) +
            " (" + std::to_string(sample.readBytes / 1000000) + " of " +
            std::to_string(sample.fileBytes / 1000000) +
            " MB), spread over the whole file, was read.");
    }
    for (std::string& note : model.limitNotes()) notes.push_back(std::move(note));
    return notes;
}

// Returns the Wilson score interval (95 %) of `correct` successes in `total` trials, in [0, 1].
std::pair<double, double> wilsonInterval(std::size_t correct, std::size_t total) {
    if (total == 0) return {0.0, 1.0};
    const double z = 1.959963984540054;
    const double n = static_cast<double>(total);
    const double p = static_cast<double>(correct) / n;
    const double denominator = 1 + z * z / n;
    const double centre = (p + z * z / (2 * n)) / denominator;
    const double half = z * std::sqrt(p * (1 - p) / n + z * z / (4 * n * n)) / denominator;
    return {std::max(0.0, centre - half), std::min(1.0, centre + half)};
}

// Returns the class most of `rows` hold (the earliest on a tie).
std::int32_t majorityClass(const Dataset& data, std::span<const RowIndex> rows) {
    std::vector<std::size_t> counts(data.classCount(), 0);
    for (const RowIndex r : rows) ++counts[static_cast<std::size_t>(data.classes()[r])];
    return static_cast<std::int32_t>(std::max_element(counts.begin(), counts.end()) -
                                     counts.begin());
}

// Returns the share of `rows` whose class is `c`.
double shareOfClass(const Dataset& data, std::span<const RowIndex> rows, std::int32_t c) {
    if (rows.empty()) return 0;
    std::size_t n = 0;
    for (const RowIndex r : rows) n += data.classes()[r] == c;
    return static_cast<double>(n) / static_cast<double>(rows.size());
}

// Returns the result line: the accuracy on `what` ("50 test records"), its 95 % interval and
// the accuracy of always answering the majority class, `baseline`.
std::string resultLine(const Evaluation& evaluation, const std::string& what, double baseline) {
    const auto [low, high] = wilsonInterval(evaluation.correct(), evaluation.total());
    return "Result: " + formatFixed(100.0 * evaluation.accuracy(), 2) + " % correct on " + what +
           " (95 % interval " + formatFixed(100.0 * low, 1) + "\u2013" +
           formatFixed(100.0 * high, 1) + " %), majority class " +
           formatFixed(100.0 * baseline, 2) + " %";
}

// The most records the check for test records among the training records looks at: on larger
// data it would cost a noticeable share of the run, and a repeated record there matters little.
constexpr std::size_t kDuplicateCheckRecords = 500000;

// Returns a hash of every row's values (attributes and class), column by column.
std::vector<std::uint64_t> rowHashes(const Dataset& data) {
    const std::size_t n = data.recordCount();
    std::vector<std::uint64_t> h(n);
    const CodeSpan classes = data.classes();
    for (std::size_t r = 0; r < n; ++r)
        h[r] = 0x9E3779B97F4A7C15ull ^ static_cast<std::uint64_t>(classes[r]);
    auto mix = [](std::uint64_t& x, std::uint64_t v) {
        x = (x ^ v) * 0xBF58476D1CE4E5B9ull;
        x ^= x >> 29;
    };
    for (std::size_t a = 0; a < data.attributeCount(); ++a) {
        const AttributeType type = data.attribute(a).type;
        if (type == AttributeType::Numeric) {
            const NumericColumn& column = data.numeric(a);
            const std::span<const std::int32_t> mantissas = column.mantissas();
            for (std::size_t r = 0; r < n; ++r) {
                if (!mantissas.empty()) {
                    mix(h[r], static_cast<std::uint64_t>(static_cast<std::int64_t>(mantissas[r])));
                    continue;
                }
                const double x = column[r];
                std::uint64_t bits = 0x7FF8000000000001ull;
                if (!isMissing(x)) std::memcpy(&bits, &x, sizeof bits);
                mix(h[r], bits);
            }
        } else if (type == AttributeType::Nominal) {
            const CodeSpan codes = data.nominal(a);
            for (std::size_t r = 0; r < n; ++r)
                mix(h[r], static_cast<std::uint64_t>(static_cast<std::int64_t>(codes[r])));
        }
    }
    return h;
}

// Returns true when rows `a` and `b` hold the same values (attributes and class).
bool sameRecord(const Dataset& data, RowIndex a, RowIndex b) {
    if (data.classes()[a] != data.classes()[b]) return false;
    for (std::size_t i = 0; i < data.attributeCount(); ++i) {
        const AttributeType type = data.attribute(i).type;
        if (type == AttributeType::Numeric) {
            const double x = data.numeric(i)[a];
            const double y = data.numeric(i)[b];
            if (!(x == y || (isMissing(x) && isMissing(y)))) return false;
        } else if (type == AttributeType::Nominal && data.nominal(i)[a] != data.nominal(i)[b]) {
            return false;
        }
    }
    return true;
}

// Returns how many of `test` hold the same values as one of `train`.
std::size_t testRecordsSeenInTraining(const Dataset& data, std::span<const RowIndex> train,
                                      std::span<const RowIndex> test) {
    const std::vector<std::uint64_t> h = rowHashes(data);
    std::vector<std::pair<std::uint64_t, RowIndex>> hashes;
    hashes.reserve(train.size());
    for (const RowIndex r : train) hashes.push_back({h[r], r});
    std::sort(hashes.begin(), hashes.end());
    std::size_t seen = 0;
    for (const RowIndex r : test) {
        auto it = std::lower_bound(hashes.begin(), hashes.end(), std::make_pair(h[r], RowIndex{0}));
        for (; it != hashes.end() && it->first == h[r]; ++it) {
            if (sameRecord(data, it->second, r)) {
                ++seen;
                break;
            }
        }
    }
    return seen;
}

// The most class names a note lists; the rest are counted.
constexpr std::size_t kListedClasses = 5;

// Returns the names of `classes` for a note: "a, b, c", at most kListedClasses of them, then
// "and N more".
std::string classList(const Dataset& data, const std::vector<std::size_t>& classes) {
    std::string list;
    for (std::size_t i = 0; i < classes.size() && i < kListedClasses; ++i)
        list += (i > 0 ? ", " : "") + shortForReport(data.classValues()[classes[i]]);
    if (classes.size() > kListedClasses)
        list += " and " + std::to_string(classes.size() - kListedClasses) + " more";
    return list;
}

// Returns the warnings on a split's evaluation: a model that does not beat the majority class,
// test records that also stand among the training records, a small test set, a class without
// training records.
std::vector<std::string> splitWarnings(const Dataset& data, std::span<const RowIndex> train,
                                       std::span<const RowIndex> test, bool onTraining,
                                       const Evaluation& evaluation, double baseline,
                                       std::int32_t majority) {
    std::vector<std::string> warnings;
    const std::string majorityName =
        shortForReport(data.classValues()[static_cast<std::size_t>(majority)]);
    if (evaluation.total() > 0 && evaluation.accuracy() <= baseline)
        warnings.push_back("Warning: the model does not beat always answering \"" + majorityName +
                           "\" (" + formatFixed(100.0 * baseline, 2) + " % of these records).");
    if (!onTraining && data.recordCount() <= kDuplicateCheckRecords) {
        const std::size_t seen = testRecordsSeenInTraining(data, train, test);
        if (seen > 0)
            warnings.push_back("Warning: " + std::to_string(seen) + " of the " +
                               std::to_string(test.size()) +
                               " test records also stand among the training records (the same "
                               "values), which flatters the accuracy.");
    }
    if (!onTraining && evaluation.total() > 0 && evaluation.total() < 100) {
        const auto [low, high] = wilsonInterval(evaluation.correct(), evaluation.total());
        warnings.push_back("Warning: only " + std::to_string(evaluation.total()) +
                           " test records: the accuracy is known only to lie between " +
                           formatFixed(100.0 * low, 1) + " and " + formatFixed(100.0 * high, 1) +
                           " % (95 %).");
    }
    std::vector<std::size_t> trained(data.classCount(), 0);
    for (const RowIndex r : train) ++trained[static_cast<std::size_t>(data.classes()[r])];
    std::vector<std::size_t> untrained;
    for (std::size_t c = 0; c < trained.size(); ++c)
        if (trained[c] == 0) untrained.push_back(c);
    if (untrained.size() == 1)
        warnings.push_back("Warning: class " +
                           shortForReport(data.classValues()[untrained.front()]) +
                           " has no training records; the model cannot predict it.");
    else if (!untrained.empty())
        warnings.push_back("Warning: " + std::to_string(untrained.size()) +
                           " classes have no training records, and the model cannot predict "
                           "them: " +
                           classList(data, untrained) + ".");
    return warnings;
}

// Writes the notes on what the reader converted or left out.
// Returns `notes` as one paragraph: the first keeps its label ("Note: ", "Warning: "), the
// others follow as sentences, each keeping a label that differs from the first's.
std::string paragraph(const std::vector<std::string>& notes) {
    std::string text;
    std::string firstLabel;
    for (const std::string& note : notes) {
        const std::size_t colon = note.find(": ");
        const std::string label = colon == std::string::npos ? "" : note.substr(0, colon + 2);
        if (text.empty()) {
            firstLabel = label;
            text = note;
        } else {
            std::string sentence = label == firstLabel ? note.substr(label.size()) : note;
            if (!sentence.empty() && sentence[0] >= 'a' && sentence[0] <= 'z')
                sentence[0] = static_cast<char>(sentence[0] - 'a' + 'A');
            text += " " + sentence;
        }
    }
    return text;
}

// Writes the title line, the result line and at most three short notes the reader must see
// first: what the time limit cut (and how to lift it), what the reader converted or left out,
// and the run's warnings and notes (an evaluation on the training records among them).
void writeTitle(std::ostream& out, const ProgramInfo& info, bool onTraining,
                const std::vector<std::string>& limits, const Dataset& data,
                const std::string& result, const std::vector<std::string>& runNotes = {}) {
    out << info.name << " " << kProgramVersion << ": " << info.summary << '\n';
    out << result << '\n';
    if (!limits.empty()) {
        std::vector<std::string> cut;
        for (const std::string& note : limits) cut.push_back("Note: " + note);
        cut.push_back(
            "Note: --time-limit 0 lifts the time limit; --time-limit S allows about "
            "S seconds (default " +
            formatGeneral(kDefaultTimeLimit) + ").");
        out << wrapWords(paragraph(cut));
    }
    std::vector<std::string> read;
    for (const std::string& note : data.readNotes()) read.push_back("Note: " + note + ".");
    if (!read.empty()) out << wrapWords(paragraph(read));
    std::vector<std::string> run = runNotes;
    if (onTraining)
        run.push_back(
            "Note: every record trains, none is left for testing; the evaluation below is on "
            "the training records and overstates how well the model does on new data.");
    if (!run.empty()) out << wrapWords(paragraph(run));
    out << '\n';
}

// How many distinct values an attribute holds over all records, counted up to two.
enum class Spread { NoValues, OneValue, Varied };

// Returns the spread of attribute `a`; it stops at the second distinct value, so only a
// constant or empty column is read whole.
Spread spreadOf(const Dataset& data, std::size_t a) {
    bool seen = false;
    if (data.attribute(a).type == AttributeType::Numeric) {
        const NumericColumn& column = data.numeric(a);
        double first = 0;
        for (std::size_t r = 0; r < data.recordCount(); ++r) {
            const double x = column[r];
            if (isMissing(x)) continue;
            if (seen && x != first) return Spread::Varied;
            first = x;
            seen = true;
        }
    } else {
        const CodeSpan column = data.nominal(a);
        std::int32_t first = 0;
        for (std::size_t r = 0; r < data.recordCount(); ++r) {
            const std::int32_t v = column[r];
            if (v < 0) continue;
            if (seen && v != first) return Spread::Varied;
            first = v;
            seen = true;
        }
    }
    return seen ? Spread::OneValue : Spread::NoValues;
}

// Writes "Attributes:  N" and a wrapped list of the attributes of each type that has any;
// attributes with no value or one value in every record are listed apart, once.
void writeAttributes(std::ostream& out, const Dataset& data) {
    std::vector<std::string> numeric, nominal, constant, empty, ignored;
    for (std::size_t a = 0; a < data.attributeCount(); ++a) {
        const Attribute& attribute = data.attribute(a);
        if (attribute.type == AttributeType::Ignored) {
            ignored.push_back(attribute.name);
            continue;
        }
        const Spread spread = spreadOf(data, a);
        if (spread == Spread::NoValues) {
            empty.push_back(attribute.name);
        } else if (spread == Spread::OneValue) {
            constant.push_back(attribute.name);
        } else {
            (attribute.type == AttributeType::Numeric ? numeric : nominal)
                .push_back(attribute.name);
        }
    }
    out << "Attributes:  " << data.attributeCount() << '\n';
    auto typeLine = [&](const char* label, const std::vector<std::string>& names) {
        if (names.empty()) return;
        writeWrappedList(
            out, std::string("  ") + label + " (" + std::to_string(names.size()) + "): ", names);
    };
    typeLine("numeric", numeric);
    typeLine("nominal", nominal);
    typeLine("one value in every record", constant);
    typeLine("no values (all missing)", empty);
    typeLine("ignored", ignored);
}

// Writes "Split: ..." on one line, or on two (broken after the ';') when one would be wider
// than 80 columns, as with millions of records or a long seed.
void writeSplitLine(std::ostream& out, const RunSettings& settings, const RunSplit& run) {
    const std::size_t tested = run.onTraining ? 0 : run.testCount;
    const std::string counts = "Split:       " + formatGeneral(settings.percent, 6) +
                               " % train: " + std::to_string(run.train.size()) + " training, " +
                               std::to_string(tested) + " test records;";
    const std::string order = settings.keepOrder
                                  ? "in file order (--keep-order)"
                                  : "shuffled with seed " + std::to_string(settings.seed);
    if (counts.size() + 1 + order.size() <= 80)
        out << counts << ' ' << order << '\n';
    else
        out << counts << "\n             " << order << '\n';
}

// Writes the lines on the data: its files, attributes, class values, records and the split.
void writeDataLines(std::ostream& out, const Dataset& data) {
    out << "Data file:   " << data.dataPath();
    if (!data.readAs().empty()) out << " (" << data.readAs() << ")";
    out << '\n';
    out << "Names file:  "
        << (data.namesPath().empty() ? "none (types and values taken from the data)"
                                     : data.namesPath())
        << '\n';
    writeAttributes(out, data);
    writeWrappedList(
        out, "Class values (" + std::to_string(data.classCount()) + "): ", data.classValues());
    out << "Records:     " << data.recordCount() + data.missingClassCount() << " read, "
        << data.missingClassCount() << " left out (class missing), " << data.recordCount()
        << " used\n";
}

void writeDataSection(std::ostream& out, const Dataset& data, const RunSettings& settings,
                      const RunSplit& run) {
    writeDataLines(out, data);
    writeSplitLine(out, settings, run);
}

std::string seconds(Clock::duration d) {
    return formatFixed(std::chrono::duration<double>(d).count(), 3) + " s";
}

void writeTime(std::ostream& out, const Timings& t) {
    const Clock::time_point end = Clock::now();
    out << "\nTime: " << seconds(end - t.start) << " (reading " << seconds(t.readDone - t.start)
        << ", training " << seconds(t.trainDone - t.readDone) << ", testing "
        << seconds(t.testDone - t.trainDone) << ")\n";
}

// A fresh model for training rows, with the settings self-tuning chose for them (if it ran).
struct ChosenModel {
    std::unique_ptr<Model> model;
    std::optional<Tuning> tuning;
};

// Returns the time self-tuning may take on `data` (0: no limit). Within the time limit (a fold's
// share of it in a cross-validation) it has what the run's estimated cost leaves of the counted
// share, at least kTuningShare. On large data that shrinks towards kTuningRunShare of the run's
// own cost, so that a large file is still done at about the speed of reading it: fully up to
// no cost, down to that share at kTuningKnee seconds and beyond; there the training of a
// costlier setting on all records would not fit, and tune() keeps the defaults.
TuningBudget tuningBudget(const Dataset& data, const RunSettings& settings,
                          const ModelMaker& maker) {
    TuningBudget budget;
    budget.costs = maker.tuningCosts;
    if (settings.timeLimit <= 0) return budget;
    const double limit = settings.timeLimit / (settings.folds > 0 ? settings.folds + 1 : 1);
    const SampleInfo& sample = data.sample();
    const double run = static_cast<double>(sample.readBytes) *
                       (sample.sampled ? maker.runCosts.sampledSecondsPerByte
                                       : maker.runCosts.wholeSecondsPerByte);
    const double left = std::max(limit * kTuningShare, limit * kLimitShare - run);
    const double fade = std::max(0.0, 1.0 - run / kTuningKnee);
    budget.seconds = std::max(kTuningRunShare * run, left * fade);
    budget.trainingSeconds = run * maker.tuningCosts.trainingShare;
    return budget;
}

// Returns a fresh model for the training rows `train`: the candidate cross-validation on them
// chooses when settings.autoTune and there is a choice, else the program's own.
Result<ChosenModel> chooseModel(const Dataset& data, std::span<const RowIndex> train,
                                const RunSettings& settings, const ModelMaker& maker) {
    ChosenModel chosen;
    if (settings.autoTune && maker.candidates.size() > 1) {
        Result<Tuning> tuning =
            tune(data, train, maker.candidates, settings.seed, tuningBudget(data, settings, maker));
        if (!tuning) return Result<ChosenModel>::failure(tuning.error());
        chosen.model = maker.candidates[tuning->chosen].make();
        chosen.tuning = std::move(tuning.value());
    } else {
        chosen.model = maker.fresh();
    }
    return chosen;
}

// The pooled evaluation of a cross-validation, the accuracy of each fold and what to note.
struct CrossValidation {
    Evaluation pooled;
    std::vector<double> accuracies;  // of the folds that test records
    std::vector<std::string> notes;
};

// Keeps the predictions of `model` for `rows` in `outputs`, at each row's place among all
// records (every record is predicted once, by the model of its fold).
void keepFoldPredictions(const Model& model, const Dataset& data, std::span<const RowIndex> rows,
                         RunOutputs& outputs) {
    std::vector<std::int32_t> predicted;
    std::vector<double> probabilities;
    model.predictWithProbabilities(data, rows, predicted, probabilities);
    const std::size_t k = data.classCount();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        outputs.predicted[rows[i]] = predicted[i];
        std::copy_n(probabilities.begin() + static_cast<std::ptrdiff_t>(i * k), k,
                    outputs.probabilities.begin() + static_cast<std::ptrdiff_t>(rows[i] * k));
    }
}

// Tests each of settings.folds stratified folds of `data` by a fresh model trained on the others.
Result<CrossValidation> crossValidate(const Dataset& data, const RunSettings& settings,
                                      const ModelMaker& maker, RunOutputs* outputs) {
    using R = Result<CrossValidation>;
    const auto k = static_cast<std::size_t>(settings.folds);
    if (data.recordCount() < 2)
        return R::failure("cross-validation needs 2 records or more, and " + data.dataPath() +
                          " has " + std::to_string(data.recordCount()));
    CrossValidation cv{Evaluation(data.classCount()), {}, {}};
    const std::vector<std::vector<RowIndex>> folds =
        stratifiedFolds(data.classes(), k, settings.seed);
    for (const std::vector<RowIndex>& fold : folds) {
        if (fold.empty()) continue;
        const std::vector<RowIndex> train = rowsLeftOut(fold, data.recordCount());
        Result<ChosenModel> chosen = chooseModel(data, train, settings, maker);
        if (!chosen) return R::failure(chosen.error());
        const std::unique_ptr<Model>& model = chosen->model;
        const Status trained = model->train(data, train);
        if (!trained) return R::failure(trained.error());
        const Evaluation tested = evaluate(*model, data, fold);
        if (outputs != nullptr && outputs->wantPredictions)
            keepFoldPredictions(*model, data, fold, *outputs);
        cv.pooled.addEvaluation(tested);
        cv.accuracies.push_back(tested.accuracy());
    }
    std::vector<std::size_t> perClass(data.classCount(), 0);
    for (const std::int32_t c : data.classes()) ++perClass[static_cast<std::size_t>(c)];
    std::vector<std::size_t> few;
    for (std::size_t c = 0; c < perClass.size(); ++c)
        if (perClass[c] > 0 && perClass[c] < k) few.push_back(c);
    if (few.size() == 1)
        cv.notes.push_back("Note: class " + shortForReport(data.classValues()[few.front()]) +
                           " has " + std::to_string(perClass[few.front()]) +
                           (perClass[few.front()] == 1 ? " record" : " records") +
                           ", fewer than the " + std::to_string(k) +
                           " folds: some folds test none of it.");
    else if (!few.empty())
        cv.notes.push_back("Note: " + std::to_string(few.size()) +
                           " classes have fewer records than the " + std::to_string(k) +
                           " folds, and some folds test none of them: " + classList(data, few) +
                           ".");
    return cv;
}

// Returns the line on the folds' accuracies: their mean and standard deviation.
std::string foldLine(const std::vector<double>& accuracies) {
    double sum = 0;
    for (const double a : accuracies) sum += a;
    const double n = static_cast<double>(accuracies.size());
    const double mean = sum / n;
    double squares = 0;
    for (const double a : accuracies) squares += (a - mean) * (a - mean);
    const double sd = accuracies.size() > 1 ? std::sqrt(squares / (n - 1)) : 0.0;
    return "Accuracy over the " + std::to_string(accuracies.size()) + " folds: mean " +
           formatFixed(100.0 * mean, 2) + " %, standard deviation " + formatFixed(100.0 * sd, 2) +
           " %\n";
}

// The report of a run evaluated by cross-validation (see classifierReport).
Result<std::string> crossValidationReport(const Dataset& data, const RunSettings& settings,
                                          const ProgramInfo& info, Timings time,
                                          const ModelMaker& maker, const DescribedModel& described,
                                          RunOutputs* outputs) {
    using R = Result<std::string>;
    if (outputs != nullptr && outputs->wantPredictions) {
        outputs->rows.resize(data.recordCount());
        for (std::size_t r = 0; r < data.recordCount(); ++r)
            outputs->rows[r] = static_cast<RowIndex>(r);
        outputs->predicted.assign(data.recordCount(), 0);
        outputs->probabilities.assign(data.recordCount() * data.classCount(), 0.0);
    }
    const Result<CrossValidation> cv = crossValidate(data, settings, maker, outputs);
    if (!cv) return R::failure(cv.error());
    std::vector<RowIndex> all(data.recordCount());
    for (std::size_t r = 0; r < all.size(); ++r) all[r] = static_cast<RowIndex>(r);
    Result<ChosenModel> chosen = chooseModel(data, all, settings, maker);
    if (!chosen) return R::failure(chosen.error());
    Model& model = *chosen->model;
    const Status trained = model.train(data, all);
    if (!trained) return R::failure(trained.error());
    time.trainDone = Clock::now();
    time.testDone = time.trainDone;
    std::ostringstream out;
    const double baseline = shareOfClass(data, all, majorityClass(data, all));
    const std::string result =
        resultLine(cv->pooled,
                   std::to_string(cv->pooled.total()) + " records by " +
                       std::to_string(settings.folds) + "-fold cross-validation",
                   baseline);
    std::vector<std::string> notes = cv->notes;
    if (cv->pooled.accuracy() <= baseline)
        notes.push_back("Warning: the model does not beat always answering the majority class (" +
                        formatFixed(100.0 * baseline, 2) + " %).");
    if (described) described(model, result);
    writeTitle(out, info, false, limitNotes(data, model), data, result, notes);
    writeDataLines(out, data);
    out << "Evaluation:  stratified " << settings.folds
        << "-fold cross-validation over all records; folds dealt with seed " << settings.seed
        << "\n";
    out << "\n=== Model (trained on all " << data.recordCount() << " records) ===\n\n";
    if (chosen->tuning) out << describeTuning(*chosen->tuning);
    model.describe(data, out);
    out << "\n=== Evaluation by " << settings.folds << "-fold cross-validation: each of the "
        << cv->pooled.total() << " records tested once ===\n\n";
    writeEvaluation(cv->pooled, data.classValues(), false, out, foldLine(cv->accuracies));
    writeTime(out, time);
    if (outputs != nullptr) {
        outputs->owned = std::move(chosen->model);
        outputs->trained = outputs->owned.get();
    }
    return out.str();
}

}  // namespace

Result<std::string> classifierReport(const Dataset& data, const RunSettings& settings,
                                     const ProgramInfo& info, Model& model,
                                     std::chrono::steady_clock::time_point start,
                                     std::chrono::steady_clock::time_point readDone,
                                     const ModelMaker& maker, const DescribedModel& described,
                                     RunOutputs* outputs) {
    using R = Result<std::string>;
    Timings time{start, readDone, {}, {}};
    if (settings.folds > 0 && maker.fresh)
        return crossValidationReport(data, settings, info, time, maker, described, outputs);
    const Result<RunSplit> run = splitForRun(data, settings);
    if (!run) return R::failure(run.error());
    // Self-tuning, when asked and there is a choice, replaces the program's model.
    std::optional<Tuning> tuning;
    std::unique_ptr<Model> tuned;
    if (settings.autoTune && maker.candidates.size() > 1) {
        Result<ChosenModel> chosen = chooseModel(data, run->train, settings, maker);
        if (!chosen) return R::failure(chosen.error());
        tuned = std::move(chosen->model);
        tuning = std::move(chosen->tuning);
    }
    Model& used = tuned ? *tuned : model;
    const Status trained = used.train(data, run->train);
    if (!trained) return R::failure(trained.error());
    time.trainDone = Clock::now();
    const std::vector<RowIndex> test = run->testRows(data.recordCount());
    const Evaluation evaluation = evaluate(used, data, test);
    time.testDone = Clock::now();
    const std::int32_t majority = majorityClass(data, run->train);
    const double baseline = shareOfClass(data, test, majority);
    const std::string result =
        resultLine(evaluation,
                   std::to_string(evaluation.total()) +
                       (run->onTraining ? " training records" : " test records"),
                   baseline);
    const std::vector<std::string> warnings =
        splitWarnings(data, run->train, test, run->onTraining, evaluation, baseline, majority);

    if (described) described(used, result);
    std::ostringstream out;
    writeTitle(out, info, run->onTraining, limitNotes(data, used), data, result, warnings);
    writeDataSection(out, data, settings, *run);
    out << "\n=== Model ===\n\n";
    if (tuning) out << describeTuning(*tuning);
    used.describe(data, out);
    out << "\n=== Evaluation on the " << evaluation.total()
        << (run->onTraining ? " training records" : " test records") << " ===\n\n";
    writeEvaluation(evaluation, data.classValues(), run->onTraining, out);
    writeTime(out, time);
    if (outputs != nullptr) {
        if (outputs->wantPredictions) {
            outputs->rows = test;
            std::sort(outputs->rows.begin(), outputs->rows.end());
            used.predictWithProbabilities(data, outputs->rows, outputs->predicted,
                                          outputs->probabilities);
        }
        outputs->owned = std::move(tuned);
        outputs->trained = &used;
    }
    return out.str();
}

std::string appliedReport(const Dataset& data, const ProgramInfo& info, const Model& model,
                          const AppliedRun& run, std::chrono::steady_clock::time_point start,
                          std::chrono::steady_clock::time_point readDone) {
    Evaluation evaluation(data.classCount());
    for (std::size_t i = 0; i < run.evaluated.size(); ++i)
        evaluation.add(data.classes()[run.evaluated[i]], run.predicted[i]);
    Timings time{start, readDone, readDone, Clock::now()};
    const std::int32_t majority = run.evaluated.empty() ? 0 : majorityClass(data, run.evaluated);
    const double baseline = shareOfClass(data, run.evaluated, majority);
    const std::string what = std::to_string(evaluation.total()) + " records";
    std::ostringstream out;
    writeTitle(out, info, false, {}, data, resultLine(evaluation, what, baseline), run.notes);
    out << "Model file:  " << run.modelPath << '\n';
    writeDataLines(out, data);
    out << "Scored:      " << run.records << " records, every one of the file; "
        << run.evaluated.size() << " with a class the model knows are evaluated\n";
    out << "\n=== Model (as saved) ===\n\n";
    model.describe(data, out);
    out << "\n=== Evaluation on the " << evaluation.total() << " records ===\n\n";
    writeEvaluation(evaluation, data.classValues(), false, out);
    writeTime(out, time);
    return out.str();
}

}  // namespace mining
