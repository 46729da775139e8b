#pragma once

#include <gtest/gtest.h>

#include <numeric>
#include <optional>
#include <string>
#include <vector>

#include "data/reader.h"
#include "interval/tree.h"

namespace mining::interval::testing {

// Returns the data set parsed from .data and .names text; fails the test when it does not parse.
inline Dataset parseOrFail(const std::string& data, const std::string& names) {
    auto r = parseDataset(data, names);
    if (!r) {
        ADD_FAILURE() << r.error();
        return Dataset();
    }
    return std::move(*r);
}

// Returns the rows first .. last - 1.
inline std::vector<RowIndex> rowRange(RowIndex first, RowIndex last) {
    std::vector<RowIndex> rows(last - first);
    std::iota(rows.begin(), rows.end(), first);
    return rows;
}

// x = 0 .. 39: class A for 0 .. 9 except x = 3, class B for the rest.
inline std::string stepData() {
    std::string text;
    for (int x = 0; x < 40; ++x) {
        text += std::to_string(x) + ((x < 10 && x != 3) ? ",A\n" : ",B\n");
    }
    return text;
}
inline const char* const kStepNames = "A, B.\nx: continuous.\n";

// Returns the tree options with neither pruning nor fewer bins at small nodes, so a tree grows
// by the growing rules alone.
inline interval::TreeOptions unpruned() {
    interval::TreeOptions o;
    o.pruneConfidence = 0;
    o.binRecords = 0;
    return o;
}

}  // namespace mining::interval::testing
