#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "data/dataset.h"
#include "util/result.h"

namespace mining {

// The rows that train and the rows that test.
struct Split {
    std::vector<RowIndex> train;
    std::vector<RowIndex> test;
};

// Returns the split of rows 0..n-1, each part in increasing row order (models read their columns
// in file order, far faster on large data). Unless keepOrder, the rows are permuted by the seeded
// RecordPermutation (data/record_permutation.h), and the rows it sends below
// round(n * percent / 100) train, the rest test: exactly that many train, and each row's part
// follows from its own number, the same on every machine and in any process. With keepOrder the
// first rows of the file train. Requires 0 <= percent <= 100 and n < 2^32.
Split splitRecords(std::size_t n, double percent, bool keepOrder, std::uint64_t seed);

// Returns the split of one process's share of the records: its `count` records, rows 0..count-1,
// are records first..first+count-1 of all n (first + count <= n < 2^64), each row in the part
// splitRecords(n, percent, keepOrder, seed) puts its record in, so that the shares' splits joined
// in record order are the whole split. Requires count < 2^32.
Split splitShare(std::uint64_t first, std::size_t count, std::uint64_t n, double percent,
                 bool keepOrder, std::uint64_t seed);

// Returns whether record `record` of `n` trains in splitRecords(n, percent, keepOrder, seed).
bool trainsInSplit(std::uint64_t record, std::uint64_t n, double percent, bool keepOrder,
                   std::uint64_t seed);

// Returns the rows of 0..n-1 that `rows` (ascending, each < n) leaves out, ascending: the test
// rows of a split's training rows.
std::vector<RowIndex> rowsLeftOut(std::span<const RowIndex> rows, std::size_t n);

// Returns `rows` when there are at most `count`, else a seeded sample of `count` of them (a
// partial Fisher-Yates shuffle by std::mt19937_64), in increasing order.
std::vector<RowIndex> sampleRows(std::span<const RowIndex> rows, std::size_t count,
                                 std::uint64_t seed);

// Returns the positions in 0..n-1 that sampleRows(rows, count, seed) takes for any `rows` of n
// entries, ascending: that sample of rows is rows[p] for each position p. Keeps only what the
// shuffle moves, so that no table of n entries is made: processes that each hold some of the
// rows can take the same sample.
std::vector<std::uint64_t> samplePositions(std::uint64_t n, std::size_t count, std::uint64_t seed);

// Returns the rows of `rows`, this process's part of every process's rows joined in process
// order and numbered there from `before`, at the positions `positions` (ascending) of the joined
// rows.
std::vector<RowIndex> rowsAtPositions(std::span<const RowIndex> rows, std::uint64_t before,
                                      const std::vector<std::uint64_t>& positions);

// Returns the rows of `sample` at the positions `fold` (ascending, each < sample.size()) as
// `test`, and the others as `train`, each in the order of `sample`.
void foldRows(std::span<const RowIndex> sample, std::span<const RowIndex> fold,
              std::vector<RowIndex>& train, std::vector<RowIndex>& test);

// Returns `k` folds of the rows of `classes` (one class code per row) for stratified
// cross-validation: the rows of each class, shuffled as splitRecords() shuffles (seeded with
// `seed`), are dealt in turn to folds 0, 1, ..., k - 1, the dealing going on from one class to
// the next, so that every fold holds about the same share of each class and the folds differ in
// size by one at most. Each fold's rows are in increasing order; every row is in exactly one.
// Requires k >= 1.
std::vector<std::vector<RowIndex>> stratifiedFolds(CodeSpan classes, std::size_t k,
                                                   std::uint64_t seed);

// The stratified folds of cross-validation, each record's fold following from its class and its
// place among that class's records (in record order), so that processes that each hold some of
// the records deal them without a table of all: class c's n_c records are permuted by the seeded
// RecordPermutation of n_c (keys of its own for each class), and the record that lands at place p
// goes to fold (n_0 + ... + n_(c-1) + p) mod k: each class's records dealt in a seeded order to
// folds 0, 1, ..., k - 1 in turn, the dealing going on from one class to the next. Every fold
// holds about the same share of each class, and the folds differ in size by one at most.
class RecordFolds {
public:
    // `classTotals`: the records of each class in all. Requires k >= 1.
    RecordFolds(std::vector<std::uint64_t> classTotals, std::size_t k, std::uint64_t seed);

    // Returns the k folds of rows 0..classes.size()-1 (one class code per row) of one process,
    // whose first record of each class c is the before[c]-th of its class (before empty: none
    // earlier); each fold's rows ascending.
    std::vector<std::vector<RowIndex>> folds(CodeSpan classes,
                                             const std::vector<std::uint64_t>& before) const;

private:
    std::vector<std::uint64_t> totals_;
    std::vector<std::uint64_t> offsets_;  // the records of the classes before each
    std::size_t k_;
    std::uint64_t seed_;
};

// Returns the RecordFolds folds of every row of `classes`: the folds of `--folds`.
std::vector<std::vector<RowIndex>> recordFolds(CodeSpan classes, std::size_t k, std::uint64_t seed);

// Returns the training share of `text`, a plain decimal in [0, 100] ("66.67", "100", "5."),
// or an error message saying what is wrong with it.
Result<double> parsePercent(std::string_view text);

}  // namespace mining
