#include "model/model.h"

namespace mining {

void Model::predictRows(const Dataset& data, std::span<const RowIndex> rows,
                        std::vector<std::int32_t>& predicted) const {
    predicted.resize(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) predicted[i] = predict(data, rows[i]);
}

}  // namespace mining
