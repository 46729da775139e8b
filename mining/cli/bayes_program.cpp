#include "cli/bayes_program.h"

#include <CLI/CLI.hpp>
#include <tuple>

#include "bayes/selective_bayes.h"

namespace mining {

namespace {

// Which treatment of numeric attributes runs with --no-auto when no option picks one, and the
// first of self-tuning's candidates. It is the one with the better mean accuracy over the
// example data sets (bench/bayes_examples measures both).
constexpr NumericMode kDefaultMode = NumericMode::Normal;

// Returns a mark for the default mode, "" for the others.
std::string defaultMark(NumericMode mode) {
    return mode == kDefaultMode ? " (the default with --no-auto)" : "";
}

}  // namespace

BayesProgram::BayesProgram() : mode_(kDefaultMode) {
    info_.name = "classify";
    info_.summary = "naive Bayesian classifier";
    info_.reportSuffix = "_bayes";
    info_.helpNotes =
        "A numeric value counts as the interval of the attribute's resolution (the mean\n"
        "gap between its distinct training values) around it, under a normal\n"
        "distribution per class; each class's variance is drawn towards the pooled\n"
        "within-class variance, and its standard deviation is at least a fifth of the\n"
        "attribute's overall one and a sixth of the resolution. With --kernel the\n"
        "distribution is a mixture of normal kernels, one per training value of the\n"
        "class, whose bandwidth is the range of the class's values over the square root\n"
        "of their number, and at least a sixth of the resolution. Nominal values and\n"
        "the class priors are counted with Laplace (add-one) smoothing. Missing values\n"
        "(every mark read as missing) are left out of training and of the prediction.\n"
        "With --per-attribute each numeric attribute gets the treatment, and any\n"
        "attribute is left out, that 5-fold cross-validation on the training records\n"
        "finds best. By default (--auto) the treatment is chosen among --normal,\n"
        "--discretize, --kernel and --per-attribute by 5-fold cross-validation on the\n"
        "training records; --no-auto keeps --normal.\n";
}

void BayesProgram::addOptions(CLI::App& app) {
    CLI::Option* normal = app.add_flag_callback(
        "--normal", [this] { mode_ = NumericMode::Normal; },
        "numeric attributes by a normal distribution per class" + defaultMark(NumericMode::Normal));
    CLI::Option* discretize = app.add_flag_callback(
        "--discretize", [this] { mode_ = NumericMode::Discretize; },
        "numeric attributes cut into bins by supervised MDL" +
            defaultMark(NumericMode::Discretize));
    CLI::Option* kernel = app.add_flag_callback(
        "--kernel", [this] { mode_ = NumericMode::Kernel; },
        "numeric attributes by a mixture of normal kernels per class, one per training value" +
            defaultMark(NumericMode::Kernel));
    CLI::Option* perAttribute = app.add_flag_callback(
        "--per-attribute", [this] { perAttribute_ = true; },
        "each numeric attribute normal, discretized or by kernels, and any attribute left out, "
        "as cross-validation on the training records finds best");
    normal->excludes(discretize);
    kernel->excludes(normal);
    kernel->excludes(discretize);
    for (CLI::Option* mode : {normal, discretize, kernel}) perAttribute->excludes(mode);
}

void BayesProgram::resetOptions() {
    mode_ = kDefaultMode;
    perAttribute_ = false;
}

std::vector<Candidate> BayesProgram::candidates(const std::set<std::string>& given) const {
    for (const char* mode : {"--normal", "--discretize", "--kernel", "--per-attribute"})
        if (given.count(mode)) return {};
    std::vector<Candidate> list;
    // What a whole run with each treatment costs against one with --normal on large data, and the
    // share of it that training takes: 10,000,000 records of F2 (bench/promise_speed's file),
    // --time-limit 0, on 2026-12-09: whole runs of 1.50, 3.12 and 2.26 s, training 0.37, 1.94
    // and 0.86 s of them.
    for (const auto& [mode, label, factor, share] :
         {std::tuple{NumericMode::Normal, "--normal", 1.0, 0.25},
          std::tuple{NumericMode::Discretize, "--discretize", 2.1, 0.62},
          std::tuple{NumericMode::Kernel, "--kernel", 1.55, 0.38}}) {
        const NumericMode m = mode;
        Candidate c{label, [m] { return std::make_unique<NaiveBayes>(m); }, 1.0, factor, share};
        if (m == mode_)
            list.insert(list.begin(), std::move(c));
        else
            list.push_back(std::move(c));
    }
    // The choice per attribute trains a model in each of the three treatments per fold of its
    // own, and one at the end, in the treatments it chose: as costly as the costliest treatment
    // where it chooses that for every attribute (on the file above it cost 1.07 times --normal).
    list.push_back({"--per-attribute", [] { return std::make_unique<SelectiveBayes>(); },
                    3.0 * kSelectionFolds + 5.0, 2.1, 0.6});
    return list;
}

std::unique_ptr<Model> BayesProgram::makeModel() const {
    if (perAttribute_) return std::make_unique<SelectiveBayes>();
    return std::make_unique<NaiveBayes>(mode_);
}

std::unique_ptr<Model> BayesProgram::loadModel(JsonValue saved, const ModelSchema& schema) const {
    return NaiveBayes::load(saved, schema);
}

// The deals of self-tuning's folds on small data: its candidates train in milliseconds there, and
// on the accuracy benchmark's ten sets of at most 2,000 training records (bench/accuracy, 10
// seeds) five deals chose better than three (Sonar +1.0, diabetes +0.1, iris -0.2 points) and
// ten did worse than either.
constexpr std::size_t kTuningDeals = 5;

// Measured on 10,000,000 records (558 MB) on 2026-12-09, when the machine read at half its
// earlier speed (the bare parser's floor 2.25 s): the whole run with --no-auto 2.92 s (reading
// 1.89 s, training and testing 0.93 s); on 100,000,000 records a sample of 410 MB read in 1.57 s
// and the whole sampled run 2.4 s. The costs below are those figures with about 10 % to spare, so
// that a quiet run never reaches the clock's backstop and a faster day only reads less than it
// could. With --kernel the whole run cost about 1.55 times the normal mode's.
// Self-tuning: measured with its four candidates, 5 folds, on 4,290 and 5,000 training records
// of 36 and 16 attributes and 6 and 26 classes (0.016 and 0.030 s a weight and fold), and on 13
// records of 10,000 attributes (0.26 s). Training in the other treatments costs up to about half
// as much again as the normal one's, about half of the run's cost. On 100,000 records of 50
// nominal attributes of 1,000 values and 100 classes, each training's table of values and
// classes took about 20 ns a cell (a logarithm each), and testing a third of the records 0.35 s:
// 0.7 ns a record read, attribute and class past the second.
ProgramCosts BayesProgram::costs() const {
    const TuningCosts tuning{5e-9, 15e-9, 26e-6, 0.5, 20e-9, kTuningDeals};
    if (mode_ == NumericMode::Kernel || perAttribute_) return {{8.5e-9, 10e-9, 0.7e-9}, tuning};
    return {{5.5e-9, 6.5e-9, 0.7e-9}, tuning};
}

}  // namespace mining
