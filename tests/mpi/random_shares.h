#pragma once

// The records of a generated data set cut at random into every process's share, for the tests
// that train from the shares and compare with one process training on all the records.
#include <algorithm>
#include <cstdio>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "data/reader.h"
#include "util/collective.h"

namespace mining_test {

struct RandomShares {
    mining::Dataset whole;                     // every record
    mining::Dataset share;                     // this process's
    std::vector<mining::RowIndex> trainedAll;  // two rows of three of the whole
    std::vector<mining::RowIndex> trainedOwn;  // ... of them those of the share
};

// Returns the records of `text` (records only, the last field the class) and this process's
// share of them: the cuts between the shares are the same on every process, drawn from the
// number of processes, and one share is empty when there are three or more; nothing when the
// text does not parse (the error said).
inline std::optional<RandomShares> randomShares(const std::string& text, mining::Collective& all) {
    mining::Result<mining::Dataset> whole = mining::parseData(
        text, mining::DataFormat::Records, std::nullopt, mining::ReadOptions(), "generated", "", 1);
    if (!whole) {
        std::fprintf(stderr, "%s\n", whole.error().c_str());
        return std::nullopt;
    }
    const std::size_t n = whole->recordCount();
    // Every process's share [cuts[k], cuts[k + 1]).
    std::mt19937 random(static_cast<unsigned>(all.size()));
    std::vector<std::size_t> cuts{0, n, n / 2, n / 2};
    for (int k = 3; k < all.size(); ++k) cuts.push_back(random() % n);
    std::sort(cuts.begin(), cuts.end());
    cuts.erase(cuts.begin() + 1,
               cuts.begin() + static_cast<std::ptrdiff_t>(cuts.size()) - all.size());
    const std::size_t from = cuts[static_cast<std::size_t>(all.rank())];
    const std::size_t to = cuts[static_cast<std::size_t>(all.rank()) + 1];
    std::vector<mining::RowIndex> ownRows;
    for (std::size_t r = from; r < to; ++r) ownRows.push_back(static_cast<mining::RowIndex>(r));
    RandomShares out{std::move(*whole), mining::Dataset(), {}, {}};
    out.share = out.whole.rowsOf(ownRows);
    for (std::size_t r = 0; r < n; ++r)
        if (r % 3 != 1) out.trainedAll.push_back(static_cast<mining::RowIndex>(r));
    for (std::size_t r = from; r < to; ++r)
        if (r % 3 != 1) out.trainedOwn.push_back(static_cast<mining::RowIndex>(r - from));
    return out;
}

}  // namespace mining_test
