#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "data/table_layout.h"
#include "util/result.h"

namespace mining {

// The fields a run's --class and --ignore name among a file's fields.
struct ChosenColumns {
    std::size_t classField = 0;  // fields.size() when the file has no class (classAbsent)
    std::vector<bool> ignored;   // per field
};

// Returns the fields that `choice` names among `fields`, a record's fields in file order (a
// header's names, an ARFF file's attributes, a1, a2, ... in a file without names; with a .names
// file its attributes and then "class"), the same way for every format: a field is named by its
// name, or by its number, 1 the first and negative counting from the end (-1 the last); the
// class is the last field unless choice.classColumn names another ("last" names the last).
// `where` names the file in messages ("iris.csv"). Fails with a usage error when --class names
// no field, or an --ignore value names no field or the class.
Result<ChosenColumns> chooseFields(const std::vector<std::string>& fields,
                                   const ColumnChoice& choice, const std::string& where);

}  // namespace mining
