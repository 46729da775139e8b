#pragma once

#include <string>

#include "cli/program.h"
#include "data/dataset.h"
#include "evaluation/run_result.h"

namespace mining {

// Returns the web page of `result`, a run `runId` of `info`'s program on `data`
// (pictures/page.h): the result line and the notes as the report's first lines word them, the
// model drawn (the tree with its nodes' histograms over the records it was trained on, or, for
// a saved model, over the records scored; naive Bayes's distributions per class), what
// self-tuning chose, the confusion matrix and the per-class figures, and, with folds, each
// fold's accuracy. Drawn from the result's and the model's data, never from the report's text.
std::string runPage(const Dataset& data, const ProgramInfo& info, const RunResult& result,
                    const std::string& runId);

}  // namespace mining
