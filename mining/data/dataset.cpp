#include "data/dataset.h"

namespace mining {

void Dataset::makeNumeric(std::size_t index, NumericColumn column) {
    attributes_[index].type = AttributeType::Numeric;
    attributes_[index].values.clear();
    nominal_[index] = CodeColumn();
    numeric_[index] = std::move(column);
}

void Dataset::ignoreAttribute(std::size_t index) {
    attributes_[index].type = AttributeType::Ignored;
    attributes_[index].values.clear();
    nominal_[index] = CodeColumn();
    numeric_[index] = NumericColumn();
}

}  // namespace mining
