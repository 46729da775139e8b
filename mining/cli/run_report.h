#pragma once

#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/program.h"
#include "data/dataset.h"
#include "evaluation/run_result.h"

namespace mining {

// The second phase of a run: the report that tells a run's result, as plain text lines.

// The notes a report's first lines hold, in three groups, each one paragraph: what the time limit
// cut (and how to lift it), what the reader converted or left out, and the run's warnings and
// notes. Each is a sentence starting with its label ("Note: ", "Warning: ").
struct RunNotes {
    std::vector<std::string> limits;
    std::vector<std::string> reading;
    std::vector<std::string> run;
};

// Returns the notes on `result`, a run on `data`.
RunNotes runNotes(const Dataset& data, const RunResult& result);

// Returns the result line: the accuracy on the records evaluated, its 95 % interval and the
// share of always answering the majority class, "Result: 94.00 % correct on 50 test records
// (95 % interval 83.8–97.9 %), majority class 30.00 %".
std::string resultLine(const RunResult& result);

// Returns what the evaluation section is of: "Evaluation on the 50 test records", "Evaluation by
// 5-fold cross-validation: each of the 150 records tested once".
std::string evaluationHeading(const RunResult& result);

// Returns the report of `result`, a run of `info`'s program on `data` with `options`, in one
// frame for every kind of run: the title and the result line, the notes, the data section (the
// files, attributes, class values and records, and how the run evaluated), the model section
// (what self-tuning chose, then the model's own description), the evaluation section and the
// time, measured up to now.
std::string runReport(const Dataset& data, const RunOptions& options, const ProgramInfo& info,
                      const RunResult& result);

}  // namespace mining
