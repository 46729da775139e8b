#pragma once

#include <cstddef>
#include <cstdint>

#include "cli/run_classifier.h"

namespace fuzz {

// Runs a whole classifier run in memory on a fuzz input and checks its outcome.
//
// The input's first line holds the run's settings, separated by spaces: the training percentage
// (read as the programs read PERCENT), then any of `--keep-order`, `--seed=N` and the program's
// own options as `--name` or `--name=value`. The rest is the .data text, up to a NUL byte after
// which comes the .names text when there is one. A bad percentage or option ends the run as a
// usage error would. Otherwise the data is read, split, the model trained and evaluated, and the
// report must hold the accuracy line and be the same on a second run, or the error must be one
// printable line.
void runClassifierInput(const std::uint8_t* bytes, std::size_t size,
                        const mining::ProgramInfo& info, const mining::ModelFactory& makeModel);

}  // namespace fuzz
