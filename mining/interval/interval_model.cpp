#include "interval/interval_model.h"

#include <algorithm>
#include <limits>
#include <nlohmann/json.hpp>

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

Status IntervalModel::trainOnShares(const Dataset& share, std::span<const RowIndex> rows,
                                    Collective& collective) {
    if (share.classCount() == 0) return Status::failure("the data set has no class values");
    std::vector<std::uint64_t> total{rows.size()};
    collective.sum(total);
    if (total[0] == 0) return Status::failure("there are no training records");
    // The tree counts its records in 32 bits.
    if (total[0] > std::numeric_limits<std::uint32_t>::max())
        return Status::failure("the tree cannot count more than " +
                               std::to_string(std::numeric_limits<std::uint32_t>::max()) +
                               " training records (" + std::to_string(total[0]) + " given)");
    tree_ = IntervalTree::growOnShares(share, rows, options_, collective);
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

void IntervalModel::predictWithProbabilities(const Dataset& data, std::span<const RowIndex> rows,
                                             std::vector<std::int32_t>& predicted,
                                             std::vector<double>& probabilities) const {
    const std::size_t k = data.classCount();
    predicted.resize(rows.size());
    probabilities.assign(rows.size() * k, 0.0);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const TreeNode& node = tree_->nodes()[tree_->nodeOf(data, rows[i])];
        predicted[i] = node.label;
        const double denominator = static_cast<double>(node.total) + static_cast<double>(k);
        for (std::size_t c = 0; c < k; ++c)
            probabilities[i * k + c] = (static_cast<double>(node.counts[c]) + 1.0) / denominator;
    }
}

bool IntervalModel::save(nlohmann::json& out) const {
    out = {{"model", "interval classifier"}, {"tree", tree_->save()}};
    return true;
}

std::unique_ptr<IntervalModel> IntervalModel::load(JsonValue saved, const ModelSchema& schema) {
    model_json::require(model_json::text(saved, "model") == "interval classifier",
                        "the model is not an interval classifier");
    IntervalTree tree = IntervalTree::load(model_json::field(saved, "tree"), schema);
    auto model = std::make_unique<IntervalModel>(tree.options());
    model->tree_ = std::move(tree);
    return model;
}

std::unique_ptr<IntervalModel> IntervalModel::load(const nlohmann::json& saved,
                                                   const ModelSchema& schema) {
    return load(JsonDocument::of(saved).root(), schema);
}

}  // namespace mining::interval
