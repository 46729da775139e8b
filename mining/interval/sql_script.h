#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "data/dataset.h"
#include "interval/tree.h"

namespace mining::interval {

// What the script's comment header says of the run that trained the tree, beside what the tree
// and the data set tell themselves.
struct SqlScriptFacts {
    std::string table;               // the table's name, as the user chose it (unquoted)
    std::vector<std::string> lines;  // the run: program, split, result; one line each
};

// Returns a SQL script (standard SQL, no dialect's features) that asks a database for what the
// tree predicts, for a table holding the records of `data`'s file:
// - a comment header: facts.lines, the data file, the tree's settings and size, what the table
//   holds and how to load it (missing values as NULL); control characters in names are shown
//   as '?' there;
// - CREATE TABLE with every column of the data file in its order (sqlColumnNames()): numeric
//   attributes DOUBLE PRECISION, nominal and ignored ones and the class TEXT;
// - per class, in class order, a comment naming it and its support (the training records its
//   leaves hold, and how many are of the class), then `SELECT * FROM "T" WHERE ...;` whose
//   condition holds for exactly the records the tree predicts that class for: a disjunction of
//   one conjunction per leaf (the largest support first), and one per nominal split whose values
//   not seen in training stop a record there (`NOT IN (...)` the values seen);
// - one `SELECT "T".*, CASE ... END AS "predicted" FROM "T";` that mirrors the tree as nested
//   CASEs and gives every record its predicted class.
// Both are exact under SQL's three-valued logic: a NULL (missing value) takes the branch with the
// most training records by an explicit IS NULL, a value equal to a cut goes to the branch above
// it, and a nominal value no training record held at a split, also one the data set never had,
// gets that node's majority. Identifiers are double-quoted and values single-quoted, their quotes
// doubled; cut points are written as the shortest decimal that reads back as the same double.
// Requires `tree` grown on `data` (or on a data set of the same attributes and classes).
std::string sqlScript(const IntervalTree& tree, const Dataset& data, const SqlScriptFacts& facts);

// Returns the table's column names, every field of the data file in its order (the attributes
// with the class at Dataset::classField()), each as the data set names it, but made unique:
// a name that repeats an earlier one, letters' case aside (some databases fold it), gets "_2",
// "_3", ... appended.
std::vector<std::string> sqlColumnNames(const Dataset& data);

// Returns `name` as a delimited identifier: "name", each '"' doubled.
std::string sqlIdentifier(std::string_view name);

// Returns `value` as a character string literal: 'value', each '\'' doubled.
std::string sqlString(std::string_view value);

}  // namespace mining::interval
