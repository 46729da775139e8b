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
#include "model/model.h"
#include "model/model_file.h"
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

// The records of a data file read into a model's schema: the model's attributes in its order,
// nominal values coded by its value lists, classes by its class values.
struct RecordsForModel {
    Dataset data;               // every record; class kMissingCode where absent, missing or unknown
    bool classPresent = false;  // the file has the class column
    // Per record: the class as the file holds it ("" when missing or absent).
    std::vector<std::string> actual;
    // What reading met, one sentence each: values of nominal attributes the model never saw
    // (left to each model as it treats them), classes the model does not know.
    std::vector<std::string> notes;
};

// Returns the records of `read` (a data set read with ReadOptions keepMissingClass and, when
// `classPresent`, its class column) in the model's schema. With `byName` each model attribute
// is the column of its name, else the column at its place. A nominal value the model never saw
// gets the code one past its value list. Fails naming the column for an attribute the data
// lacks and for words in a column the model holds numbers in.
Result<RecordsForModel> alignRecords(const Dataset& read, const ModelSchema& schema, bool byName,
                                     bool classPresent);

// Returns the records of the data file `source` in the model's schema (see alignRecords): the
// class column is present when the file names the model's class column (a header, ARFF, .names),
// or, without names, when it holds one column more than the model's attributes (the class
// last). Every record is read, none sampled.
Result<RecordsForModel> readForModel(const DataSource& source, const ModelSchema& schema);

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
// predictions and, when DATA holds the class, the report BASE<suffix>_applied.output.
// The predictions and the report are written together (see writeFilesAtomically), the report
// naming the run `runId`. Returns the exit status; errors go to stderr as one line, and no
// file is written then (a predictions file or report that would replace the model, the data or
// each other, or a path that is not a regular file, is a usage error, status 2).
int applyModel(const std::string& modelPath, const std::string& dataArgument,
               const ClassifierProgram& program, std::chrono::steady_clock::time_point start,
               const std::string& runId);

}  // namespace mining
