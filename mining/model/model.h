#pragma once

#include <cstdint>
#include <nlohmann/json_fwd.hpp>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "data/dataset.h"
#include "util/collective.h"
#include "util/result.h"

namespace mining {

// A classifier model: trained on some rows of a data set, it predicts the class of others and
// describes itself for the report.
class Model {
public:
    virtual ~Model() = default;

    // Returns a short name for the report, e.g. "Naive Bayes (normal distributions)".
    virtual std::string name() const = 0;

    // Trains on the rows `rows` of `data`. Requires rows non-empty and every row < recordCount().
    // The shared run passes them in increasing order (the split decides which rows train, not
    // their order). Returns an error message if the model cannot be trained on these records.
    virtual Status train(const Dataset& data, std::span<const RowIndex> rows) = 0;

    // Whether trainOnShares() trains from every process's own share of the records; a run over
    // several processes otherwise gathers the training records at the first process to train().
    virtual bool trainsOnShares() const { return false; }

    // Trains on the rows `rows` (ascending) of `share`, this process's share of the data, every
    // process of `collective` calling it with its own: as train() on every process's rows joined
    // in process order, to the same bits. Some processes may hold no rows. Afterwards the first
    // process's model is trained; the others' are not, and the run sends them the first's.
    // Fails at every process alike. The default fails: see trainsOnShares().
    virtual Status trainOnShares(const Dataset& share, std::span<const RowIndex> rows,
                                 Collective& collective);

    // Returns the predicted class code (an index into data.classValues()) of row `row`.
    // Requires a successful train() on a data set with the same attributes and classes.
    virtual std::int32_t predict(const Dataset& data, RowIndex row) const = 0;

    // Writes into `predicted` (resized to rows.size()) the prediction for each row of `rows`.
    // The default calls predict() per row; a model may override it with a faster column pass.
    virtual void predictRows(const Dataset& data, std::span<const RowIndex> rows,
                             std::vector<std::int32_t>& predicted) const;

    // As predictRows(), and writes into `probabilities` (resized to rows.size() * classCount)
    // each row's estimated probability of each class, a row's classes side by side. The default
    // gives the predicted class probability 1.
    virtual void predictWithProbabilities(const Dataset& data, std::span<const RowIndex> rows,
                                          std::vector<std::int32_t>& predicted,
                                          std::vector<double>& probabilities) const;

    // Writes the model's settings and figures, all that prediction needs, into `out` (a JSON
    // object) for a model file. Returns false when the model cannot be saved. Requires a
    // successful train().
    virtual bool save(nlohmann::json& /*out*/) const { return false; }

    // Writes the model section of the report: plain text lines of at most about 80 columns,
    // each ending in '\n', with no heading line of its own (the report frame adds it).
    // Requires a successful train().
    virtual void describe(const Dataset& data, std::ostream& out) const = 0;

    // Returns what training left out to keep within its work limit, one short sentence each
    // (e.g. that growth stopped), for the notes at the top of the report; empty when nothing was.
    // Requires a successful train().
    virtual std::vector<std::string> limitNotes() const { return {}; }
};

}  // namespace mining
