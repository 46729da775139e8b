#pragma once

#include <cstddef>
#include <cstdint>

#include "cli/program.h"

namespace fuzz {

// Runs a whole classifier run in memory on a fuzz input and checks its outcome.
//
// The input's first line holds the run's settings, separated by spaces: the training percentage
// (read as the programs read PERCENT), then any of `--keep-order`, `--seed=N` and the program's
// own options as `--name` or `--name=value`. They are read by the programs' own command-line
// binding, as the arguments after BASE and PERCENT. The rest is the .data text, up to a NUL byte
// after which comes the .names text when there is one. A usage error ends the run. Otherwise the
// data is read and goes the programs' own way (the time budget, self-tuning by default, the
// folds or the split, the evaluation and the report), and the report must hold the accuracy
// line and be the same on a second run, or the error must be one printable line.
void runClassifierInput(const std::uint8_t* bytes, std::size_t size,
                        mining::ClassifierProgram& program);

}  // namespace fuzz
