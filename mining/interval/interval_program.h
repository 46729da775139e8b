#pragma once

#include <memory>

#include "cli/run_classifier.h"
#include "interval/tree.h"

namespace mining {

// Returns what the tarnel program says about itself: name, summary, report suffix "_interval",
// its options (--bins N, --binning width|count, --max-depth N) and the notes for --help.
ProgramInfo intervalProgramInfo();

// Returns the tree options given by `options`, or a usage error naming the bad option: --bins
// takes an integer in [2, 1000], --max-depth one in [1, 100], --binning "width" or "count".
Result<interval::TreeOptions> intervalOptions(const ModelOptions& options);

// Returns an interval classifier configured by `options`, or the error of intervalOptions().
Result<std::unique_ptr<Model>> makeIntervalModel(const ModelOptions& options);

}  // namespace mining
