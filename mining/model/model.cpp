#include "model/model.h"

namespace mining {

Status Model::trainOnShares(const Dataset&, std::span<const RowIndex>, Collective&) {
    return Status::failure(name() + " does not train from the processes' shares");
}

void Model::predictRows(const Dataset& data, std::span<const RowIndex> rows,
                        std::vector<std::int32_t>& predicted) const {
    predicted.resize(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) predicted[i] = predict(data, rows[i]);
}

void Model::predictWithProbabilities(const Dataset& data, std::span<const RowIndex> rows,
                                     std::vector<std::int32_t>& predicted,
                                     std::vector<double>& probabilities) const {
    predictRows(data, rows, predicted);
    const std::size_t k = data.classCount();
    probabilities.assign(rows.size() * k, 0.0);
    for (std::size_t i = 0; i < rows.size(); ++i)
        probabilities[i * k + static_cast<std::size_t>(predicted[i])] = 1.0;
}

}  // namespace mining
