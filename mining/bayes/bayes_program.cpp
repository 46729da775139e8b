#include "bayes/bayes_program.h"

#include "bayes/naive_bayes.h"

namespace mining {

namespace {

// Which treatment of numeric attributes runs when no option picks one. It is the one with the
// better mean accuracy over the example data sets (bench/bayes_examples measures both).
constexpr NumericMode kDefaultMode = NumericMode::Normal;

}  // namespace

ProgramInfo bayesProgramInfo() {
    ProgramInfo info;
    info.name = "classify";
    info.summary = "naive Bayesian classifier";
    info.reportSuffix = "_bayes";
    const bool normalDefault = kDefaultMode == NumericMode::Normal;
    info.options = {
        {"--normal", "",
         std::string("model numeric attributes by a normal distribution per class") +
             (normalDefault ? " (default)" : "")},
        {"--discretize", "",
         std::string("cut numeric attributes into bins by supervised MDL discretization") +
             (normalDefault ? "" : " (default)")},
    };
    info.helpNotes =
        "Nominal attributes and the class priors use Laplace (add-one) smoothing. A normal\n"
        "distribution's standard deviation is at least a fifth of the attribute's overall one.\n"
        "Missing values ('?') are left out of training and of the prediction.\n";
    return info;
}

Result<std::unique_ptr<Model>> makeBayesModel(const ModelOptions& options) {
    const bool normal = options.count("--normal") != 0;
    const bool discretize = options.count("--discretize") != 0;
    if (normal && discretize)
        return Result<std::unique_ptr<Model>>::failure(
            "--normal and --discretize exclude each other");
    NumericMode mode = kDefaultMode;
    if (normal) mode = NumericMode::Normal;
    if (discretize) mode = NumericMode::Discretize;
    return Result<std::unique_ptr<Model>>(std::make_unique<NaiveBayes>(mode));
}

}  // namespace mining
