#include "interval/interval_model.h"

#include <algorithm>

#include "interval/tree_report.h"
#include "util/parallel.h"

namespace mining::interval {

std::string IntervalModel::name() const {
    return "Interval classifier (" + std::to_string(options_.bins) +
           (options_.binning == Binning::EqualWidth ? " equal-width" : " equal-count") +
           " initial intervals, maximum depth " + std::to_string(options_.maxDepth) + ")";
}

Status IntervalModel::train(const Dataset& data, std::span<const RowIndex> rows) {
    if (data.classCount() == 0) return Status::failure("the data set has no class values");
    if (rows.empty()) return Status::failure("there are no training records");
    tree_ = IntervalTree::grow(data, rows, options_);
    return {};
}

std::int32_t IntervalModel::predict(const Dataset& data, RowIndex row) const {
    return tree_->classify(data, row);
}

void IntervalModel::predictRows(const Dataset& data, std::span<const RowIndex> rows,
                                std::vector<std::int32_t>& predicted) const {
    // Chunks large enough that starting threads costs little beside them, and that only data
    // sets worth it are shared out.
    constexpr std::size_t kChunk = 1 << 16;
    predicted.resize(rows.size());
    const std::size_t chunks = (rows.size() + kChunk - 1) / kChunk;
    runTasks(chunks, [&](std::size_t c) {
        const std::size_t end = std::min(rows.size(), (c + 1) * kChunk);
        for (std::size_t i = c * kChunk; i < end; ++i)
            predicted[i] = tree_->classify(data, rows[i]);
    });
}

void IntervalModel::describe(const Dataset& data, std::ostream& out) const {
    describeModel(*tree_, data, out, {}, sqlFile_);
}

std::vector<std::string> IntervalModel::limitNotes() const { return limitSentences(*tree_); }

}  // namespace mining::interval
