#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <utility>

#include "interval/tree.h"
#include "model/model.h"

namespace mining::interval {

// The interval classifier as a Model for the shared run: trains an IntervalTree and describes it
// with describeModel().
class IntervalModel : public Model {
public:
    // `sqlFile`, when not empty, is where the run writes the rules as SQL; the rules' section of
    // describe() names it.
    explicit IntervalModel(TreeOptions options, std::string sqlFile = "")
        : options_(options), sqlFile_(std::move(sqlFile)) {}

    std::string name() const override;
    // Returns an error when the data set has no class values.
    Status train(const Dataset& data, std::span<const RowIndex> rows) override;
    // Intervals of equal width are cut from the combined range of every process's values;
    // equal-count ones would need every value, so those trees gather the records instead.
    bool trainsOnShares() const override { return options_.binning == Binning::EqualWidth; }
    // Grows IntervalTree::growOnShares(): every process the same tree.
    Status trainOnShares(const Dataset& share, std::span<const RowIndex> rows,
                         Collective& collective) override;
    std::int32_t predict(const Dataset& data, RowIndex row) const override;
    // Predicts as predict() does, many rows at a time on every core.
    void predictRows(const Dataset& data, std::span<const RowIndex> rows,
                     std::vector<std::int32_t>& predicted) const override;
    void describe(const Dataset& data, std::ostream& out) const override;
    // Returns limitSentences() of the tree.
    std::vector<std::string> limitNotes() const override;
    // The probabilities of a row are the class shares of the node where it stops (a leaf, or a
    // node without a branch for its value), Laplace-smoothed: (n_c + 1) / (n + K).
    void predictWithProbabilities(const Dataset& data, std::span<const RowIndex> rows,
                                  std::vector<std::int32_t>& predicted,
                                  std::vector<double>& probabilities) const override;
    bool save(nlohmann::json& out) const override;

    // Returns the model save() wrote, for data of `schema`'s attributes and classes. Throws
    // ModelFileError (model/model_file.h) when `saved` is malformed.
    static std::unique_ptr<IntervalModel> load(JsonValue saved, const ModelSchema& schema);
    // As above, from nlohmann-json's DOM.
    static std::unique_ptr<IntervalModel> load(const nlohmann::json& saved,
                                               const ModelSchema& schema);

    // Requires a successful train().
    const IntervalTree& tree() const { return *tree_; }

private:
    TreeOptions options_;
    std::string sqlFile_;
    std::optional<IntervalTree> tree_;
};

}  // namespace mining::interval
