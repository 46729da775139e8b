// Self-tuning: the candidate that cross-validation on the training records prefers, and never a
// look at the records it is then tested on.
#include "cli/tuning.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>

#include "cli/run_evaluation.h"
#include "cli/run_report.h"
#include "data/reader.h"
#include "data/split.h"
#include "interval/interval_model.h"

namespace mining {
namespace {

// What the spy models did: each train() and predictRows() call with its rows, in order.
struct Call {
    bool train;
    std::vector<RowIndex> rows;
};

// A model that predicts its training records' majority class and logs every call.
class SpyModel : public Model {
public:
    explicit SpyModel(std::vector<Call>* log) : log_(log) {}
    std::string name() const override { return "spy"; }
    Status train(const Dataset& data, std::span<const RowIndex> rows) override {
        log_->push_back({true, {rows.begin(), rows.end()}});
        std::vector<std::size_t> counts(data.classCount(), 0);
        for (RowIndex r : rows) ++counts[static_cast<std::size_t>(data.classes()[r])];
        majority_ = static_cast<std::int32_t>(std::max_element(counts.begin(), counts.end()) -
                                              counts.begin());
        return Status();
    }
    std::int32_t predict(const Dataset&, RowIndex) const override { return majority_; }
    void predictRows(const Dataset&, std::span<const RowIndex> rows,
                     std::vector<std::int32_t>& predicted) const override {
        log_->push_back({false, {rows.begin(), rows.end()}});
        predicted.assign(rows.size(), majority_);
    }
    void describe(const Dataset&, std::ostream&) const override {}

private:
    std::vector<Call>* log_;
    std::int32_t majority_ = 0;
};

Dataset sample(std::size_t records) {
    std::string text;
    for (std::size_t i = 0; i < records; ++i)
        text += std::to_string(i % 7) + "," + std::to_string(i % 3) + "," +
                ((i % 7) * 3 + i % 3 > 9 ? "x" : "y") + "\n";
    return std::move(parseDataset(text, std::nullopt).value());
}

TEST(Tuning, PrefersTheCandidateThatCrossValidatesBetterAndTheFirstOnATie) {
    const Dataset data = sample(300);
    std::vector<RowIndex> rows;
    for (RowIndex r = 0; r < 200; ++r) rows.push_back(r);
    auto tree = [](int depth) {
        interval::TreeOptions o;
        o.maxDepth = depth;
        return [o] { return std::make_unique<interval::IntervalModel>(o); };
    };
    const Result<Tuning> t = tune(data, rows, {{"shallow", tree(1)}, {"deep", tree(10)}}, 1);
    ASSERT_TRUE(t.ok()) << t.error();
    EXPECT_EQ(t->chosen, 1u);
    EXPECT_GT(t->accuracies[1], t->accuracies[0]);
    EXPECT_EQ(t->records, 200u);
    const Result<Tuning> tie = tune(data, rows, {{"a", tree(10)}, {"b", tree(10)}}, 1);
    EXPECT_EQ(tie->chosen, 0u);
    EXPECT_EQ(tie->accuracies[0], tie->accuracies[1]);
    // Where the defaults' training on all records takes longer than the budget, nothing is
    // tried, however well another setting would do.
    const std::vector<Candidate> depths{{"shallow", tree(1)}, {"deep", tree(10)}};
    const Result<Tuning> large = tune(data, rows, depths, 1, TuningBudget{1.0, {}, 0.1, 1.0, 1.5});
    EXPECT_TRUE(large->skipped && large->tooLarge);
    EXPECT_EQ(large->chosen, 0u);
}

TEST(Tuning, LooksOnlyAtTheTrainingRowsAndAtMostASampleOfThem) {
    const Dataset data = sample(3 * kTuningRecords);
    std::vector<RowIndex> rows;
    for (RowIndex r = 0; r < 3 * kTuningRecords; r += 4) rows.push_back(r);  // all tuned on
    std::vector<Call> log;
    auto spy = [&log] { return std::make_unique<SpyModel>(&log); };
    ASSERT_TRUE(tune(data, rows, {{"a", spy}, {"b", spy}}, 1).ok());
    const std::set<RowIndex> allowed(rows.begin(), rows.end());
    for (const Call& call : log)
        for (RowIndex r : call.rows) ASSERT_TRUE(allowed.count(r)) << r;
    rows.clear();
    for (RowIndex r = 0; r < 3 * kTuningRecords; ++r) rows.push_back(r);
    const Result<Tuning> big = tune(data, rows, {{"a", spy}, {"b", spy}}, 1);
    EXPECT_EQ(big->records, kTuningRecords);
}

// Within a time limit the sample shrinks to what the candidates' costs allow, and below the
// least worth tuning on nothing is tried: only the data's size and the budget decide.
TEST(Tuning, ATimeBudgetShrinksTheSampleOrKeepsTheDefaults) {
    const Dataset data = sample(3 * kTuningRecords);  // 2 attributes, 2 classes
    std::vector<RowIndex> rows;
    for (RowIndex r = 0; r < 3 * kTuningRecords; ++r) rows.push_back(r);
    std::vector<Call> log;
    auto spy = [&log] { return std::make_unique<SpyModel>(&log); };
    const std::vector<Candidate> two = {{"a", spy}, {"b", spy, 3.0}};
    // A training of weight 1 costs 2 * (n * 1e-6 + 1e-4) s: 5 folds of both candidates (weights
    // 1 and 3) are 20 of them.
    const TuningCosts costs{1e-6, 0, 1e-4};
    const auto seconds = [](double n) { return 20 * 2 * (n * 1e-6 + 1e-4); };
    const auto within = [&](double s) {
        return s == 0 ? TuningBudget{} : TuningBudget{s, costs, 0, 1e9, 0};
    };
    struct Case {
        double seconds;
        std::size_t records;  // 0: skipped
    };
    for (const Case& c : {Case{0, kTuningRecords}, Case{1e3, kTuningRecords},
                          Case{seconds(1000), 1000}, Case{seconds(150), 0}}) {
        SCOPED_TRACE(c.seconds);
        EXPECT_NEAR(static_cast<double>(tuningRecords(data, rows.size(), two, costs, c.seconds)),
                    static_cast<double>(c.records), 1.0);
        log.clear();
        const Result<Tuning> t = tune(data, rows, two, 1, within(c.seconds));
        ASSERT_TRUE(t.ok());
        EXPECT_EQ(t->skipped, c.records == 0);
        EXPECT_EQ(log.empty(), c.records == 0);
        EXPECT_EQ(t->chosen, 0u);
        if (c.records == 0) {
            EXPECT_NE(describeTuning(*t).find("the defaults"), std::string::npos);
        } else {
            EXPECT_NEAR(static_cast<double>(t->records), static_cast<double>(c.records), 1.0);
        }
    }
    // A costlier candidate makes way rather than shrink the sample below the least.
    const std::vector<Candidate> three = {two[0], {"c", spy, 50.0}, two[1]};
    const Result<Tuning> t = tune(data, rows, three, 1, within(seconds(1000)));
    ASSERT_TRUE(t.ok());
    EXPECT_EQ(t->labels, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(t->untried, std::vector<std::string>{"c"});
    EXPECT_NEAR(static_cast<double>(t->records), 1000.0, 1.0);
    EXPECT_NE(describeTuning(*t).find("Not tried, to keep within the time limit: c"),
              std::string::npos);
    // Fewer training records than the least: all of them, when the budget allows them.
    EXPECT_EQ(tuningRecords(data, 50, two, costs, seconds(60)), 50u);
    EXPECT_EQ(tuningRecords(data, 50, two, costs, seconds(40)), 0u);
}

// On large data a candidate whose training on all the records would outrun the run's work is
// left out, and the others are still compared (on a sample); the defaults always stay.
TEST(Tuning, ACandidateTooCostlyOnAllTheRecordsIsLeftOutNotTheSearch) {
    const Dataset data = sample(3 * kTuningRecords);
    std::vector<RowIndex> rows;
    for (RowIndex r = 0; r < 3 * kTuningRecords; ++r) rows.push_back(r);
    std::vector<Call> log;
    auto spy = [&log] { return std::make_unique<SpyModel>(&log); };
    // The run costs 1 s of 2 s of work with the defaults: 1.5 times that fits, 2.5 times not.
    const TuningBudget budget{0.5, TuningCosts{1e-8, 0, 0}, 0.2, 2.0, 1.0};
    const std::vector<Candidate> candidates = {
        {"defaults", spy}, {"dear", spy, 1, 2.5}, {"cheaper", spy, 1, 1.5}};
    const TuningPlan plan = planTuning(data, rows.size(), candidates, budget);
    EXPECT_EQ(plan.tried, (std::vector<std::size_t>{0, 2}));
    EXPECT_EQ(plan.leftOut, std::vector<std::size_t>{1});
    EXPECT_EQ(plan.records, kTuningRecords);
    EXPECT_FALSE(plan.skipped);
    // When none but the defaults fits, nothing is tried.
    const std::vector<Candidate> dearOnly = {candidates[0], candidates[1]};
    const TuningPlan none = planTuning(data, rows.size(), dearOnly, budget);
    EXPECT_TRUE(none.skipped && none.tooLarge);
}

// A nominal attribute's cell may cost less than a numeric one's: with two nominal attributes at a
// quarter of the numeric cost beside one numeric, a record costs half as much, and twice as many
// fit the same seconds.
TEST(Tuning, NominalCellsCostTheirOwnShare) {
    std::string text;
    for (int i = 0; i < 3000; ++i)
        text += std::string(1, static_cast<char>('a' + i % 5)) + "," +
                static_cast<char>('k' + i % 3) + "," + std::to_string(i % 11) + "," +
                (i % 4 ? "x\n" : "y\n");
    const Dataset data = std::move(parseDataset(text, std::nullopt).value());
    std::vector<Call> log;
    auto spy = [&log] { return std::make_unique<SpyModel>(&log); };
    const std::vector<Candidate> two = {{"a", spy}, {"b", spy}};
    const TuningCosts numeric{1e-6, 0, 0};
    TuningCosts cheaper = numeric;
    cheaper.perNominalCell = 0.25e-6;
    const double seconds = 0.02;
    const auto plain = static_cast<double>(tuningRecords(data, 3000, two, numeric, seconds));
    const auto mixed = static_cast<double>(tuningRecords(data, 3000, two, cheaper, seconds));
    ASSERT_GT(plain, 0);
    EXPECT_NEAR(mixed, 2 * plain, 2.0);
}

// Many attributes: the search runs on a seeded sample of them rather than not at all, and says so.
TEST(Tuning, WideDataIsTunedOnASampleOfTheAttributes) {
    std::string text;
    for (int i = 0; i < 400; ++i) {
        for (int a = 0; a < 64; ++a) text += std::to_string((i * (a + 3)) % 11) + ",";
        text += i % 2 ? "x\n" : "y\n";
    }
    const Dataset data = std::move(parseDataset(text, std::nullopt).value());
    std::vector<RowIndex> rows;
    for (RowIndex r = 0; r < 400; ++r) rows.push_back(r);
    std::vector<Call> log;
    auto spy = [&log] { return std::make_unique<SpyModel>(&log); };
    const std::vector<Candidate> two = {{"a", spy}, {"b", spy}};
    // Training on 400 records of 64 attributes costs 64 * 400 * 1e-6 s; 10 trainings of it do
    // not fit 0.1 s, of 8 attributes they do.
    const TuningBudget budget{0.1, TuningCosts{1e-6, 0, 0}, 0.01, 10, 0};
    const TuningPlan plan = planTuning(data, rows.size(), two, budget);
    ASSERT_FALSE(plan.skipped);
    EXPECT_GT(plan.attributes, 1u);
    EXPECT_LT(plan.attributes, 64u);
    const Result<Tuning> t = tune(data, rows, two, 1, budget);
    ASSERT_TRUE(t.ok());
    EXPECT_EQ(t->attributes, plan.attributes);
    EXPECT_NE(describeTuning(*t).find("seeded sample of " + std::to_string(plan.attributes) +
                                      " of the 64"),
              std::string::npos)
        << describeTuning(*t);
}

// A model right on a fixed share of the records, which ones by a hash of the row and `salt`.
class ShareModel : public Model {
public:
    ShareModel(double share, std::uint64_t salt) : share_(share), salt_(salt) {}
    std::string name() const override { return "share"; }
    Status train(const Dataset& data, std::span<const RowIndex>) override {
        classes_ = data.classCount();
        return Status();
    }
    std::int32_t predict(const Dataset& data, RowIndex r) const override {
        std::uint64_t h = (r + 1) * 0x9E3779B97F4A7C15ull ^ salt_;
        h ^= h >> 31;
        h *= 0xBF58476D1CE4E5B9ull;
        h ^= h >> 29;
        const bool right = static_cast<double>(h % 10000) < share_ * 10000;
        const std::int32_t c = data.classes()[r];
        return right ? c : static_cast<std::int32_t>((c + 1) % classes_);
    }
    void describe(const Dataset&, std::ostream&) const override {}

private:
    double share_;
    std::uint64_t salt_;
    std::size_t classes_ = 2;
};

// Returns a candidate's maker of ShareModels.
std::function<std::unique_ptr<Model>()> share(double p, std::uint64_t salt) {
    return [p, salt] { return std::make_unique<ShareModel>(p, salt); };
}

// The defaults stay unless another candidate beats them by more than the standard error of the
// difference over the folds: a gain inside the noise of 200 records does not count, a large one
// does; small data is dealt three times.
TEST(Tuning, AGainWithinTheNoiseKeepsTheDefaults) {
    const Dataset data = sample(200);
    std::vector<RowIndex> rows;
    for (RowIndex r = 0; r < 200; ++r) rows.push_back(r);
    // Gains of a couple of points over 200 records fall either side of the standard error:
    // the rule picks the other candidate exactly when its gain exceeds it.
    std::size_t withinNoise = 0;
    for (std::uint64_t salt = 2; salt < 40; ++salt) {
        const Result<Tuning> t =
            tune(data, rows, {{"defaults", share(0.70, 1)}, {"other", share(0.72, salt)}}, 1);
        ASSERT_TRUE(t.ok());
        EXPECT_EQ(t->repeats, 3u);
        if (t->best != 1) continue;
        EXPECT_EQ(t->chosen, t->gain > t->standardError ? 1u : 0u) << salt;
        if (t->gain <= t->standardError) {
            ++withinNoise;
            EXPECT_NE(describeTuning(*t).find("within the standard error"), std::string::npos);
        }
    }
    EXPECT_GT(withinNoise, 0u);
    const Result<Tuning> clear =
        tune(data, rows, {{"defaults", share(0.70, 1)}, {"other", share(0.90, 2)}}, 1);
    ASSERT_TRUE(clear.ok());
    EXPECT_EQ(clear->chosen, 1u);
    EXPECT_GT(clear->gain, clear->standardError);
    EXPECT_NE(describeTuning(*clear).find("more than the standard error"), std::string::npos);
}

// Small data is dealt as many times as the program asks where that fits the budget, else once.
TEST(Tuning, SmallDataIsDealtAsOftenAsTheProgramAsksWhereItFits) {
    const Dataset data = sample(200);
    std::vector<RowIndex> rows;
    for (RowIndex r = 0; r < 200; ++r) rows.push_back(r);
    const std::vector<Candidate> two = {{"defaults", share(0.7, 1)}, {"other", share(0.9, 2)}};
    TuningCosts costs{1e-6, 0, 1e-4};
    costs.repeats = 5;
    // A deal of 5 folds of both candidates costs 10 * 2 * (200 * 1e-6 + 1e-4) = 6 ms.
    for (const auto& [seconds, deals] :
         {std::pair{0.0, 5u}, std::pair{0.031, 5u}, std::pair{0.029, 1u}}) {
        const TuningBudget budget =
            seconds == 0 ? TuningBudget{0, costs} : TuningBudget{seconds, costs, 0, 1e9, 0};
        const Result<Tuning> t = tune(data, rows, two, 1, budget);
        ASSERT_TRUE(t.ok());
        EXPECT_EQ(t->repeats, deals) << seconds;
        EXPECT_EQ(t->folds, deals * kTuningFolds) << seconds;
        if (deals > 1) {
            EXPECT_NE(describeTuning(*t).find(std::to_string(deals) + " x 5-fold"),
                      std::string::npos);
        }
    }
}

// A program whose models and both candidates are the spy's.
class SpyProgram : public ClassifierProgram {
public:
    explicit SpyProgram(std::function<std::unique_ptr<Model>()> make) : make_(std::move(make)) {}
    const ProgramInfo& info() const override { return info_; }
    void addOptions(CLI::App&) override {}
    void resetOptions() override {}
    std::unique_ptr<Model> makeModel() const override { return make_(); }
    std::vector<Candidate> candidates(const std::set<std::string>&) const override {
        return {{"a", make_}, {"b", make_}};
    }
    std::unique_ptr<Model> loadModel(JsonValue, const ModelSchema&) const override {
        return nullptr;
    }
    ProgramCosts costs() const override { return {}; }

private:
    ProgramInfo info_{"spy", "spy", "_spy", ""};
    std::function<std::unique_ptr<Model>()> make_;
};

TEST(Tuning, NoFoldIsTunedOrTrainedOnItsOwnRecords) {
    const Dataset data = sample(90);
    std::vector<Call> log;
    auto spy = [&log] { return std::make_unique<SpyModel>(&log); };
    RunOptions settings;
    settings.folds = 3;
    settings.autoTune = true;
    const SpyProgram program(spy);
    ASSERT_TRUE(runEvaluation(data, settings, program, {}, TimeBudget(0, 3, {}), {}).ok());
    const auto folds = recordFolds(data.classes(), 3, settings.seed);
    // Each fold's test ends its run of calls: nothing before it since the last fold's test
    // (its tuning, its training) touched its records.
    std::size_t from = 0;
    std::size_t tested = 0;
    for (std::size_t i = 0; i < log.size() && tested < folds.size(); ++i) {
        if (log[i].train || log[i].rows != folds[tested]) continue;
        const std::set<RowIndex> fold(folds[tested].begin(), folds[tested].end());
        for (std::size_t j = from; j < i; ++j)
            for (RowIndex r : log[j].rows) ASSERT_FALSE(fold.count(r)) << "fold " << tested;
        from = i + 1;
        ++tested;
    }
    EXPECT_EQ(tested, folds.size());
}

}  // namespace
}  // namespace mining

namespace mining {
namespace {

// A clock that moves on a second each time it is read: a machine far slower than planned, the
// same on every run.
Deadline::Clock slowClock() {
    auto now = std::make_shared<double>(0);
    return [now] { return *now += 1; };
}

// The backstop: once the deadline is nearer than the slowest fold so far took, the search stops
// before its next fold and chooses on the folds done (every candidate tested on the same ones),
// or keeps the defaults.
TEST(Tuning, ASlowMachineStopsTheSearchAtAFoldAndSaysSo) {
    const Dataset data = sample(200);
    std::vector<RowIndex> rows;
    for (RowIndex r = 0; r < 200; ++r) rows.push_back(r);
    const std::vector<Candidate> two = {{"defaults", share(0.6, 1)}, {"better", share(0.95, 2)}};
    const TuningPlan plan = planTuning(data, rows.size(), two, TuningBudget{});
    ASSERT_EQ(plan.repeats, 3u);
    // Read three times a fold (before it, at its start and at its end), each a second later: a
    // fold takes a second, and the check before the fourth (at 10) with the second that the
    // slowest fold took passes a deadline at 10.5.
    const Result<Tuning> cut = tune(data, rows, two, 1, plan, Deadline(slowClock(), 10.5));
    ASSERT_TRUE(cut.ok());
    EXPECT_TRUE(cut->cut);
    EXPECT_EQ(cut->folds, 3u);
    EXPECT_EQ(cut->plannedFolds, 15u);
    EXPECT_EQ(cut->chosen, 1u);  // a clear gain shows on three folds too
    std::string text = describeTuning(*cut);
    std::replace(text.begin(), text.end(), '\n', ' ');
    EXPECT_NE(text.find("slower than planned: the search stopped after 3 of its 15 folds"),
              std::string::npos)
        << text;
    const Result<Tuning> none = tune(data, rows, two, 1, plan, Deadline(slowClock(), 0.5));
    ASSERT_TRUE(none.ok());
    EXPECT_TRUE(none->cut);
    EXPECT_EQ(none->folds, 0u);
    EXPECT_EQ(none->chosen, 0u);
    // Without a deadline, or one far off, every fold runs.
    const Result<Tuning> whole = tune(data, rows, two, 1, plan, Deadline(slowClock(), 1e9));
    EXPECT_FALSE(whole->cut);
    EXPECT_EQ(whole->folds, 15u);
}

// Cross-validation's backstop: once the deadline, less two folds' time, has passed, the folds
// still to come are left out, and the evaluation, the predictions and the report are of the
// records the folds done tested.
TEST(Tuning, ASlowMachineStopsCrossValidationBetweenFoldsAndSaysWhatWasTested) {
    const Dataset data = sample(90);
    std::vector<Call> log;
    const SpyProgram program([&log] { return std::make_unique<SpyModel>(&log); });
    RunOptions settings;
    settings.folds = 3;
    settings.autoTune = false;
    settings.predictions = true;
    const auto folds = recordFolds(data.classes(), 3, settings.seed);
    // Read at the first fold's start and end (a fold takes a second), then before the second:
    // 3 + 2 seconds in reserve passes 4.5.
    const Result<RunResult> cut = runEvaluation(data, settings, program, {}, TimeBudget(0, 3, {}),
                                                {}, Deadline(slowClock(), 4.5));
    ASSERT_TRUE(cut.ok());
    EXPECT_TRUE(cut->foldsCut);
    ASSERT_EQ(cut->foldAccuracies.size(), 1u);
    EXPECT_EQ(cut->foldRecords, folds[0].size());
    EXPECT_EQ(cut->evaluation.total(), folds[0].size());
    std::vector<RowIndex> first = folds[0];
    std::sort(first.begin(), first.end());
    EXPECT_EQ(cut->predictions.rows, first);
    EXPECT_EQ(cut->predictions.predicted.size(), first.size());
    EXPECT_EQ(cut->predictions.probabilities.size(), first.size() * data.classCount());
    std::string text = runReport(data, settings, program.info(), *cut);
    std::replace(text.begin(), text.end(), '\n', ' ');
    EXPECT_NE(text.find("cross-validation stopped after 1 of 3 folds, and the accuracy is of the " +
                        std::to_string(first.size()) + " records they tested"),
              std::string::npos)
        << text;

    const Result<RunResult> whole = runEvaluation(data, settings, program, {}, TimeBudget(0, 3, {}),
                                                  {}, Deadline(slowClock(), 1e9));
    ASSERT_TRUE(whole.ok());
    EXPECT_FALSE(whole->foldsCut);
    EXPECT_EQ(whole->foldAccuracies.size(), 3u);
    EXPECT_EQ(whole->evaluation.total(), 90u);
    EXPECT_EQ(whole->predictions.rows.size(), 90u);
}

// A program of the given candidates and costs.
class CandidatesProgram : public ClassifierProgram {
public:
    CandidatesProgram(std::vector<Candidate> candidates, ProgramCosts costs)
        : candidates_(std::move(candidates)), costs_(costs) {}
    const ProgramInfo& info() const override { return info_; }
    void addOptions(CLI::App&) override {}
    void resetOptions() override {}
    std::unique_ptr<Model> makeModel() const override { return candidates_.front().make(); }
    std::vector<Candidate> candidates(const std::set<std::string>&) const override {
        return candidates_;
    }
    std::unique_ptr<Model> loadModel(JsonValue, const ModelSchema&) const override {
        return nullptr;
    }
    ProgramCosts costs() const override { return costs_; }

private:
    ProgramInfo info_{"planned", "planned", "_planned", ""};
    std::vector<Candidate> candidates_;
    ProgramCosts costs_;
};

// A ShareModel that logs how many rows each training had.
class CountingModel : public ShareModel {
public:
    CountingModel(double share, std::vector<std::size_t>* trained)
        : ShareModel(share, 7), trained_(trained) {}
    Status train(const Dataset& data, std::span<const RowIndex> rows) override {
        trained_->push_back(rows.size());
        return ShareModel::train(data, rows);
    }

private:
    std::vector<std::size_t>* trained_;
};

// On large data a candidate whose training on all the records would not fit, but whose training
// is a share of its run that a sample shrinks, trains on a seeded sample of the training records
// when chosen (at least kLeastSampledTraining, said in the report); one without such a share, or
// too costly even on none, is left out.
TEST(Tuning, ACandidateTooCostlyOnAllTheRecordsTrainsOnASampleWhereItCan) {
    Dataset data = sample(9 * kLeastSampledTraining / 5);
    // The defaults' run costs 4 s of 8 s of work (a limit of 10 s): 2.2 times that does not fit.
    SampleInfo info;
    info.fileBytes = info.readBytes = 1000000000;
    data.setSample(info);
    const ProgramCosts costs{{4e-9, 4e-9}, {1e-9, 0, 0}};
    std::vector<std::size_t> trained;
    auto counting = [&trained](double share) -> std::function<std::unique_ptr<Model>()> {
        return [&trained, share] { return std::make_unique<CountingModel>(share, &trained); };
    };
    const std::vector<Candidate> candidates = {{"defaults", counting(0.6)},
                                               {"sampled", counting(0.95), 1, 2.2, 0.8},
                                               {"whole only", counting(0.95), 1, 2.2},
                                               {"too dear", counting(0.95), 1, 11, 0.8}};
    const TimeBudget budget(10, 0, costs);
    RunOptions settings;
    settings.autoTune = true;
    settings.percent = 66.67;
    const Split split = splitRecords(data.recordCount(), settings.percent, false, settings.seed);
    const TuningPlan plan = planTuning(data, split.train.size(), candidates, budget.tuning(data));
    EXPECT_EQ(plan.tried, (std::vector<std::size_t>{0, 1}));
    EXPECT_EQ(plan.leftOut, (std::vector<std::size_t>{2, 3}));
    // 2.2 * (1 - 0.8 * (1 - f)) of the 4 s fits 8 s less the search's need for f below 0.886.
    const std::size_t sampled = plan.training[1];
    EXPECT_GE(sampled, kLeastSampledTraining);
    EXPECT_GT(sampled, split.train.size() * 87 / 100);
    EXPECT_LT(sampled, split.train.size() * 89 / 100);
    EXPECT_EQ(plan.training[0], 0u);

    const CandidatesProgram program(candidates, costs);
    const Result<RunResult> run = runEvaluation(data, settings, program, {}, budget, {});
    ASSERT_TRUE(run.ok());
    ASSERT_TRUE(run->tuning.has_value());
    EXPECT_EQ(run->tuning->chosen, 1u);
    EXPECT_EQ(run->tuning->training, sampled);
    ASSERT_FALSE(trained.empty());
    EXPECT_EQ(trained.back(), sampled);  // the final model, on the sample
    std::string text = runReport(data, settings, program.info(), *run);
    std::replace(text.begin(), text.end(), '\n', ' ');
    EXPECT_NE(text.find("Note: sampled trained on a seeded sample of " + std::to_string(sampled) +
                        " of the " + std::to_string(split.train.size()) + " training records"),
              std::string::npos)
        << text;

    // A share so small that the sample would hold fewer than kLeastSampledTraining: left out.
    std::vector<Candidate> small = candidates;
    small[1].trainingShare = 0.5;
    const TuningPlan none = planTuning(data, split.train.size(), small, budget.tuning(data));
    EXPECT_TRUE(none.skipped && none.tooLarge);
}

}  // namespace
}  // namespace mining
