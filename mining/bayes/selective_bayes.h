#pragma once

#include <cstdint>
#include <optional>

#include "bayes/attribute_selection.h"
#include "bayes/naive_bayes.h"

namespace mining {

// Naive Bayes that chooses, on its training records, how it treats each attribute: each numeric
// one by a normal distribution, MDL bins or kernels, and any attribute left out where the model
// is better without it (selectAttributes()). Where the data has too many attributes and classes
// for that choice, it is plain naive Bayes with normal distributions, and says so.
class SelectiveBayes : public Model {
public:
    explicit SelectiveBayes(std::uint64_t seed = 1) : seed_(seed) {}

    std::string name() const override;
    Status train(const Dataset& data, std::span<const RowIndex> rows) override;
    std::int32_t predict(const Dataset& data, RowIndex row) const override;
    void predictRows(const Dataset& data, std::span<const RowIndex> rows,
                     std::vector<std::int32_t>& predicted) const override;
    void predictWithProbabilities(const Dataset& data, std::span<const RowIndex> rows,
                                  std::vector<std::int32_t>& predicted,
                                  std::vector<double>& probabilities) const override;
    // Saves the model trained with the choice; it reads back as naive Bayes with those
    // treatments.
    bool save(nlohmann::json& out) const override;
    void describe(const Dataset& data, std::ostream& out) const override;

    // Returns the choice made by the last train().
    const AttributeSelection& selection() const { return selection_; }
    // Returns the model trained with it.
    const NaiveBayes& model() const { return model_; }

private:
    std::uint64_t seed_;
    AttributeSelection selection_;
    NaiveBayes model_;
};

}  // namespace mining
