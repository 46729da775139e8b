#pragma once

// What the naive Bayes tests share: a data set parsed from text (failing the test when it does
// not parse) and all of its rows.
#include <gtest/gtest.h>

#include <numeric>
#include <optional>
#include <string_view>
#include <vector>

#include "data/reader.h"

namespace mining {

inline Dataset parse(std::string_view data, std::optional<std::string_view> names = std::nullopt) {
    Result<Dataset> d = parseDataset(data, names);
    EXPECT_TRUE(d.ok()) << d.error();
    return std::move(d.value());
}

inline std::vector<RowIndex> allRows(const Dataset& d) {
    std::vector<RowIndex> rows(d.recordCount());
    std::iota(rows.begin(), rows.end(), RowIndex{0});
    return rows;
}

}  // namespace mining
