#include "data/value_coder.h"

namespace mining {

ValueCoder::ValueCoder(std::vector<std::string>* values, bool fixed)
    : values_(values), fixed_(fixed) {
    rebuild(1);  // grows with the values; a wide file has many columns of few values
}

std::int32_t ValueCoder::add(std::string_view value) {
    const auto code = static_cast<std::int32_t>(values_->size());
    values_->emplace_back(value);
    if (2 * values_->size() > table_.size())
        rebuild(table_.size() * 2);
    else
        insert(code);
    return code;
}

void ValueCoder::insert(std::int32_t code) {
    const std::string& value = (*values_)[static_cast<std::size_t>(code)];
    const std::uint64_t key = keyOf(value);
    std::size_t slot = hashOf(key, value) & mask_;
    while (table_[slot].code >= 0) slot = (slot + 1) & mask_;
    table_[slot] = Entry{key, value.size(), code};
}

void ValueCoder::rebuild(std::size_t capacity) {
    while (capacity < 2 * values_->size()) capacity *= 2;
    table_.assign(capacity, Entry{});
    mask_ = capacity - 1;
    for (std::size_t i = 0; i < values_->size(); ++i) insert(static_cast<std::int32_t>(i));
}

}  // namespace mining
