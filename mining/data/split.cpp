#include "data/split.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <optional>
#include <random>
#include <unordered_map>

#include "data/number_parser.h"
#include "data/record_permutation.h"
#include "data/text_fields.h"
#include "util/parallel.h"

namespace mining {

namespace {

std::uint64_t trainingCount(std::uint64_t n, double percent) {
    const auto count =
        static_cast<std::uint64_t>(std::llround(static_cast<double>(n) * percent / 100.0));
    return std::min(count, n);
}

}  // namespace

Split splitRecords(std::size_t n, double percent, bool keepOrder, std::uint64_t seed) {
    return splitShare(0, n, n, percent, keepOrder, seed);
}

Split splitShare(std::uint64_t first, std::size_t count, std::uint64_t n, double percent,
                 bool keepOrder, std::uint64_t seed) {
    const std::uint64_t trainCount = trainingCount(n, percent);
    Split split;
    if (keepOrder || n <= 1 || trainCount == n) {
        const auto trained = static_cast<std::size_t>(
            std::min<std::uint64_t>(count, trainCount > first ? trainCount - first : 0));
        split.train.reserve(trained);
        split.test.reserve(count - trained);
        for (std::size_t r = 0; r < count; ++r)
            (first + r < trainCount ? split.train : split.test).push_back(static_cast<RowIndex>(r));
        return split;
    }
    // Where each record goes, worked out in blocks on every core (it is most of the split's
    // time on large data), then the rows are dealt in record order.
    const RecordPermutation permutation(n, seed);
    std::vector<std::uint8_t> trains(count);
    constexpr std::size_t kBlock = std::size_t{1} << 20;
    runTasks((count + kBlock - 1) / kBlock, [&](std::size_t b) {
        const std::size_t from = b * kBlock;
        permutation.below(first + from, std::min(count, from + kBlock) - from, trainCount,
                          trains.data() + from);
    });
    const auto trained = static_cast<std::size_t>(std::count(trains.begin(), trains.end(), 1));
    split.train.reserve(trained);
    split.test.reserve(count - trained);
    for (std::size_t r = 0; r < count; ++r)
        (trains[r] ? split.train : split.test).push_back(static_cast<RowIndex>(r));
    return split;
}

bool trainsInSplit(std::uint64_t record, std::uint64_t n, double percent, bool keepOrder,
                   std::uint64_t seed) {
    const std::uint64_t trainCount = trainingCount(n, percent);
    if (keepOrder || n <= 1 || trainCount == n) return record < trainCount;
    return RecordPermutation(n, seed)(record) < trainCount;
}

std::vector<RowIndex> sampleRows(std::span<const RowIndex> rows, std::size_t count,
                                 std::uint64_t seed) {
    std::vector<RowIndex> chosen(rows.begin(), rows.end());
    if (chosen.size() > count) {
        std::mt19937_64 engine(seed);
        for (std::size_t i = 0; i < count; ++i)
            std::swap(chosen[i], chosen[i + engine() % (chosen.size() - i)]);
        chosen.resize(count);
    }
    std::sort(chosen.begin(), chosen.end());
    return chosen;
}

std::vector<std::uint64_t> samplePositions(std::uint64_t n, std::size_t count, std::uint64_t seed) {
    std::vector<std::uint64_t> chosen;
    if (n <= count) {
        chosen.resize(static_cast<std::size_t>(n));
        std::iota(chosen.begin(), chosen.end(), std::uint64_t{0});
        return chosen;
    }
    // The shuffle of sampleRows, on positions: an entry not in `moved` holds its own position.
    std::unordered_map<std::uint64_t, std::uint64_t> moved;
    moved.reserve(2 * count);
    const auto at = [&moved](std::uint64_t p) {
        const auto found = moved.find(p);
        return found == moved.end() ? p : found->second;
    };
    std::mt19937_64 engine(seed);
    chosen.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint64_t j = i + engine() % (n - i);
        const std::uint64_t held = at(j);
        moved[j] = at(i);
        chosen[i] = held;
    }
    std::sort(chosen.begin(), chosen.end());
    return chosen;
}

std::vector<RowIndex> rowsAtPositions(std::span<const RowIndex> rows, std::uint64_t before,
                                      const std::vector<std::uint64_t>& positions) {
    std::vector<RowIndex> picked;
    auto p = std::lower_bound(positions.begin(), positions.end(), before);
    for (; p != positions.end() && *p < before + rows.size(); ++p)
        picked.push_back(rows[static_cast<std::size_t>(*p - before)]);
    return picked;
}

void foldRows(std::span<const RowIndex> sample, std::span<const RowIndex> fold,
              std::vector<RowIndex>& train, std::vector<RowIndex>& test) {
    train.clear();
    test.clear();
    std::size_t next = 0;
    for (std::size_t i = 0; i < sample.size(); ++i) {
        if (next < fold.size() && fold[next] == i) {
            test.push_back(sample[i]);
            ++next;
        } else {
            train.push_back(sample[i]);
        }
    }
}

std::vector<RowIndex> rowsLeftOut(std::span<const RowIndex> rows, std::size_t n) {
    std::vector<RowIndex> left;
    left.reserve(n - std::min(n, rows.size()));
    std::size_t next = 0;
    for (std::size_t r = 0; r < n; ++r) {
        if (next < rows.size() && rows[next] == r) {
            ++next;
        } else {
            left.push_back(static_cast<RowIndex>(r));
        }
    }
    return left;
}

std::vector<std::vector<RowIndex>> stratifiedFolds(CodeSpan classes, std::size_t k,
                                                   std::uint64_t seed) {
    std::vector<std::vector<RowIndex>> byClass;
    for (std::size_t r = 0; r < classes.size(); ++r) {
        const auto c = static_cast<std::size_t>(classes[r]);
        if (c >= byClass.size()) byClass.resize(c + 1);
        byClass[c].push_back(static_cast<RowIndex>(r));
    }
    std::vector<std::vector<RowIndex>> folds(k);
    std::mt19937_64 engine(seed);
    std::size_t next = 0;
    for (std::vector<RowIndex>& rows : byClass) {
        for (std::size_t i = rows.size(); i > 1; --i)
            std::swap(rows[i - 1], rows[static_cast<std::size_t>(engine() % i)]);
        for (const RowIndex r : rows) folds[next++ % k].push_back(r);
    }
    for (std::vector<RowIndex>& fold : folds) std::sort(fold.begin(), fold.end());
    return folds;
}

RecordFolds::RecordFolds(std::vector<std::uint64_t> classTotals, std::size_t k, std::uint64_t seed)
    : totals_(std::move(classTotals)), offsets_(totals_.size(), 0), k_(k), seed_(seed) {
    for (std::size_t c = 1; c < totals_.size(); ++c) offsets_[c] = offsets_[c - 1] + totals_[c - 1];
}

std::vector<std::vector<RowIndex>> RecordFolds::folds(
    CodeSpan classes, const std::vector<std::uint64_t>& before) const {
    std::vector<std::uint64_t> place = before;
    place.resize(totals_.size(), 0);
    // Each class's permutation takes four keys after the split's (RecordPermutation mixes the
    // seed plus a multiple of this constant into each round's key).
    constexpr std::uint64_t kStep = 0x9E3779B97F4A7C15ull;
    std::vector<std::optional<RecordPermutation>> permutations(totals_.size());
    for (std::size_t c = 0; c < totals_.size(); ++c)
        if (totals_[c] > 0) permutations[c].emplace(totals_[c], seed_ + kStep * 4 * (c + 1));
    std::vector<std::vector<RowIndex>> out(k_);
    for (std::size_t r = 0; r < classes.size(); ++r) {
        const auto c = static_cast<std::size_t>(classes[r]);
        const std::uint64_t p = (*permutations[c])(place[c]++);
        out[(offsets_[c] + p) % k_].push_back(static_cast<RowIndex>(r));
    }
    return out;
}

std::vector<std::vector<RowIndex>> recordFolds(CodeSpan classes, std::size_t k,
                                               std::uint64_t seed) {
    std::vector<std::uint64_t> totals;
    for (std::size_t r = 0; r < classes.size(); ++r) {
        const auto c = static_cast<std::size_t>(classes[r]);
        if (c >= totals.size()) totals.resize(c + 1, 0);
        ++totals[c];
    }
    return RecordFolds(std::move(totals), k, seed).folds(classes, {});
}

Result<double> parsePercent(std::string_view text) {
    const std::string_view t = trimBlanks(text);
    const std::string shown = quoteForMessage(text);
    if (t.empty()) return Result<double>::failure("the percentage is empty");
    if (!isUnsignedPlainDecimal(t))
        return Result<double>::failure("the percentage " + shown +
                                       " is not a plain decimal number between 0 and 100");
    const std::optional<double> read = unsignedPlainDecimal(t);
    if (!read) return Result<double>::failure("the percentage " + shown + " is not a number");
    const double value = *read;
    if (value > 100.0) return Result<double>::failure("the percentage " + shown + " is above 100");
    return value;
}

}  // namespace mining
