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
    // What a whole run with each treatment costs against one with --normal, on large data:
    // 10,000,000 records, whole runs of about 0.97, 1.5, 1.8 and 1.9 s (see costs()).
    for (const auto& [mode, label, factor] :
         {std::tuple{NumericMode::Normal, "--normal", 1.0},
          std::tuple{NumericMode::Discretize, "--discretize", 1.85},
          std::tuple{NumericMode::Kernel, "--kernel", 1.55}}) {
        const NumericMode m = mode;
        Candidate c{label, [m] { return std::make_unique<NaiveBayes>(m); }, 1.0, factor};
        if (m == mode_)
            list.insert(list.begin(), std::move(c));
        else
            list.push_back(std::move(c));
    }
    // The choice per attribute trains a model in each of the three treatments per fold of its
    // own, and one at the end.
    list.push_back({"--per-attribute", [] { return std::make_unique<SelectiveBayes>(); },
                    3.0 * kSelectionFolds + 5.0, 1.95});
    return list;
}

std::unique_ptr<Model> BayesProgram::makeModel() const {
    if (perAttribute_) return std::make_unique<SelectiveBayes>();
    return std::make_unique<NaiveBayes>(mode_);
}

std::unique_ptr<Model> BayesProgram::loadModel(JsonValue saved, const ModelSchema& schema) const {
    return NaiveBayes::load(saved, schema);
}

// Measured on 10,000,000 records (558 MB): the whole run 0.97 s, a 100 MB sample read in about
// 0.35 s, and training and testing about 0.65 ns a byte. With --kernel, in runs beside the
// normal mode's (0.86-0.90 s), the whole run took 1.34-1.36 s, training and testing about 1.4 ns
// a byte.
// Self-tuning: measured with its four candidates, 5 folds, on 4,290 and 5,000 training records
// of 36 and 16 attributes and 6 and 26 classes (0.016 and 0.030 s a weight and fold), and on 13
// records of 10,000 attributes (0.26 s). Training in the other treatments costs up to about half
// as much again as the normal one's, about half of the run's cost.
ProgramCosts BayesProgram::costs() const {
    const TuningCosts tuning{5e-9, 15e-9, 26e-6, 0.5};
    if (mode_ == NumericMode::Kernel || perAttribute_) return {{2.7e-9, 4.9e-9}, tuning};
    return {{1.74e-9, 4.2e-9}, tuning};
}

}  // namespace mining
