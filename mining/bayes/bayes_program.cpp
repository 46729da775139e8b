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
         std::string("numeric attributes by a normal distribution per class") +
             (normalDefault ? " (default)" : "")},
        {"--discretize", "",
         std::string("numeric attributes cut into bins by supervised MDL") +
             (normalDefault ? "" : " (default)")},
    };
    info.helpNotes =
        "A numeric value counts as the interval of the attribute's resolution (the mean\n"
        "gap between its distinct training values) around it, under a normal\n"
        "distribution per class; each class's variance is drawn towards the pooled\n"
        "within-class variance, and its standard deviation is at least a fifth of the\n"
        "attribute's overall one and a sixth of the resolution. Nominal values and the\n"
        "class priors are counted with Laplace (add-one) smoothing. Missing values\n"
        "('?') are left out of training and of the prediction. The default treatment of\n"
        "numeric attributes is the one with the better mean accuracy on the example\n"
        "data sets.\n";
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
