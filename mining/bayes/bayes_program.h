#pragma once

#include "cli/run_classifier.h"

namespace mining {

// Returns what the classify program says about itself: name, summary, report suffix "_bayes",
// its options (--discretize, --normal) and the notes for --help.
ProgramInfo bayesProgramInfo();

// Returns a naive Bayes model configured by `options` (see bayesProgramInfo()).
Result<std::unique_ptr<Model>> makeBayesModel(const ModelOptions& options);

}  // namespace mining
