#include "interval/interval_model.h"

#include "interval/tree_report.h"

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

void IntervalModel::describe(const Dataset& data, std::ostream& out) const {
    describeModel(*tree_, data, out);
}

}  // namespace mining::interval
