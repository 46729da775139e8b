#pragma once

#include <string>
#include <vector>

#include "cli/program.h"
#include "util/atomic_file.h"
#include "util/result.h"

namespace mining {

// Returns a usage error when the run's files do not let it write safely: an output that is one
// of `inputs` (the same file: the same device and inode, or the same resolved path where it
// does not exist yet; a link or a second name of an input counts), two outputs that are the same
// file, or an output whose path holds something other than a regular file (a device, FIFO,
// socket or folder). The message names the path and the roles: "will not write the saved model
// to iris.csv: it is the data file". Touches no file; checks every output against every input
// and every other output, so one rule covers every file a run writes.
Status checkRunPaths(const std::vector<RunPath>& inputs, const std::vector<RunPath>& outputs);

// Returns a new identifier for a run: 16 hexadecimal digits, different from run to run.
std::string newRunId();

// Returns the report's lines on the run `runId` and its `companions` (the other files it writes):
// "Run:  ID", then one line for each companion, which names the run in its text or, when it
// does not (a predictions table), is known by its content's digest:
//   Run:  5f3c9a21e07b4d18; also wrote
//     iris.model
//     iris_bayes_predictions.csv (FNV-1a digest 9c1e03ab77d2f410)
std::string runLines(const std::string& runId, const std::vector<FileToWrite>& companions);

// Returns the 64-bit FNV-1a digest of `bytes` as 16 hexadecimal digits.
std::string contentDigest(std::string_view bytes);

}  // namespace mining
