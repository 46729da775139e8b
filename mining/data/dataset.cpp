#include "data/dataset.h"

namespace mining {

void Dataset::makeNumeric(std::size_t index, NumericColumn column) {
    attributes_[index].type = AttributeType::Numeric;
    attributes_[index].values.clear();
    nominal_[index] = CodeColumn();
    numeric_[index] = std::move(column);
}

Dataset Dataset::fromColumns(std::vector<Attribute> attributes,
                             std::vector<std::string> classValues,
                             std::vector<NumericColumn> numeric, std::vector<CodeColumn> nominal,
                             CodeColumn classes) {
    Dataset data;
    data.attributes_ = std::move(attributes);
    data.classValues_ = std::move(classValues);
    data.numeric_ = std::move(numeric);
    data.nominal_ = std::move(nominal);
    data.classes_ = std::move(classes);
    return data;
}

void Dataset::ignoreAttribute(std::size_t index) {
    attributes_[index].type = AttributeType::Ignored;
    attributes_[index].values.clear();
    nominal_[index] = CodeColumn();
    numeric_[index] = NumericColumn();
}

}  // namespace mining
