#include "data/code_column.h"

namespace mining {

namespace {

template <class T>
ColumnVector<T> gatherRows(std::span<const T> from, std::span<const std::uint32_t> rows) {
    ColumnVector<T> out(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) out[i] = from[rows[i]];
    return out;
}

}  // namespace

std::vector<std::int32_t> CodeSpan::toVector() const {
    std::vector<std::int32_t> codes(size_);
    for (std::size_t r = 0; r < size_; ++r) codes[r] = (*this)[r];
    return codes;
}

bool operator==(const CodeSpan& x, const CodeSpan& y) {
    if (x.size() != y.size()) return false;
    for (std::size_t r = 0; r < x.size(); ++r)
        if (x[r] != y[r]) return false;
    return true;
}

CodeColumn CodeSpan::gather(std::span<const std::uint32_t> rows) const {
    if (bytes_ != nullptr) return CodeColumn(gatherRows(std::span(bytes_, size_), rows));
    return CodeColumn(gatherRows(std::span(wide_, size_), rows));
}

}  // namespace mining
