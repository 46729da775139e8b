#pragma once

#include <string>
#include <vector>

#include "data/data_source.h"
#include "data/dataset.h"
#include "data/reader.h"
#include "model/model_file.h"
#include "util/result.h"

namespace mining {

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
// last). Every record is read, none sampled. The delimiter and the missing tokens `asked` names
// (columns.delimiter, missingTokens) are kept.
Result<RecordsForModel> readForModel(const DataSource& source, const ModelSchema& schema,
                                     const ReadOptions& asked = {});

}  // namespace mining
