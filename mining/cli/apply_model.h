#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "cli/program.h"
#include "data/data_source.h"
#include "data/dataset.h"
#include "evaluation/run_result.h"
#include "model/model.h"
#include "model/model_file.h"
#include "model/schema_alignment.h"
#include "util/result.h"

namespace mining {

// A saved model read back for a program, and what it was trained on.
struct LoadedModel {
    std::unique_ptr<Model> model;
    ModelSchema schema;
};

// Returns the model the text of model file `name` holds, read by `program`. Fails with one line
// naming `name` when the text is not a model file of ours (see parseModelText), was saved by
// the other program, or holds a schema or model that is malformed.
Result<LoadedModel> loadModelText(std::string_view text, const std::string& name,
                                  const ClassifierProgram& program);

// As loadModelText(), from the file at `path` (refused unread when larger than a model can be).
Result<LoadedModel> loadModelFile(const std::string& path, const ClassifierProgram& program);

// Returns the text of a predictions file: a header row, then per record of `rows` (in that
// order) the file line where it starts, the actual class when `actual` is not empty, the
// predicted class and one probability per class. Values holding a comma, a quote or a line end
// are double-quoted.
std::string predictionsCsv(const Dataset& data, std::span<const RowIndex> rows,
                           const std::vector<std::uint64_t>& lines,
                           const std::vector<std::string>& actual,
                           const std::vector<std::int32_t>& predicted,
                           const std::vector<double>& probabilities);

// Returns where a run on BASE writes its predictions: BASE + suffix + "_predictions.csv".
std::string predictionsPath(const std::string& base, const ProgramInfo& info);

// The run `NAME --apply MODEL DATA`: reads the model and every record of DATA, writes the
// predictions and, when DATA holds the class, the report BASE<suffix>_applied.output, timed from
// times.start. The predictions and the report are written together (see writeFilesAtomically),
// the report naming the run `runId`. Fails with the error of its kind when a file cannot be
// read or written, and no file is written then; a predictions file or report that would replace
// the model, the data or each other, or a path that is not a regular file, is a usage error.
// DATA is read with the delimiter and missing tokens `asked` names (see readForModel).
Status applyModel(const std::string& modelPath, const std::string& dataArgument,
                  const ClassifierProgram& program, RunTimes times, const std::string& runId,
                  const ReadOptions& asked = {});

}  // namespace mining
