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
    // The choice made at the first process on the seeded sample train() would take, gathered
    // there; the model then trained from the shares with it.
    bool trainsOnShares() const override { return true; }
    Status trainOnShares(const Dataset& share, std::span<const RowIndex> rows,
                         Collective& collective) override;
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
    // Returns at every process the choice of the first process, made there on its gathered
    // sample of every process's training rows `rows` (`total` of them).
    Result<AttributeSelection> selectOnShares(const Dataset& share, std::span<const RowIndex> rows,
                                              std::uint64_t total, Collective& collective) const;

    std::uint64_t seed_;
    AttributeSelection selection_;
    NaiveBayes model_;
};

}  // namespace mining
