#include "data/dataset.h"

#include <algorithm>
#include <numeric>

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

Dataset Dataset::rowsOf(std::span<const RowIndex> rows) const {
    Dataset out;
    out.attributes_ = attributes_;
    out.classValues_ = classValues_;
    out.className_ = className_;
    out.classField_ = classField_;
    out.numeric_.resize(numeric_.size());
    out.nominal_.resize(nominal_.size());
    for (std::size_t a = 0; a < attributes_.size(); ++a) {
        if (attributes_[a].type == AttributeType::Numeric)
            out.numeric_[a] = numeric_[a].gather(rows);
        if (attributes_[a].type == AttributeType::Nominal)
            out.nominal_[a] = nominal_[a].view().gather(rows);
    }
    out.classes_ = classes_.view().gather(rows);
    out.missingClassCount_ = missingClassCount_;
    out.dataPath_ = dataPath_;
    out.namesPath_ = namesPath_;
    out.sample_ = sample_;
    out.readAs_ = readAs_;
    out.readNotes_ = readNotes_;
    out.missingCounts_ = missingCounts_;
    out.conversions_ = conversions_;
    if (!recordLines_.empty())
        for (const RowIndex r : rows) out.recordLines_.push_back(recordLines_[r]);
    out.recordsInAll_ = recordsInAll_;
    out.spreadsInAll_ = spreadsInAll_;
    return out;
}

void Dataset::ignoreAttribute(std::size_t index) {
    attributes_[index].type = AttributeType::Ignored;
    attributes_[index].values.clear();
    nominal_[index] = CodeColumn();
    numeric_[index] = NumericColumn();
}

namespace {

// Returns true when `a` comes before `b` in the order of names as people count: runs of digits
// compare as numbers (c2 before c10), everything else byte by byte; a tie of numbers that differ
// only in leading zeros goes by bytes, so that the order is total.
bool namesInOrder(std::string_view a, std::string_view b) {
    std::size_t i = 0, j = 0;
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    while (i < a.size() && j < b.size()) {
        if (digit(a[i]) && digit(b[j])) {
            std::size_t x = i, y = j;
            while (x < a.size() && a[x] == '0') ++x;
            while (y < b.size() && b[y] == '0') ++y;
            std::size_t xe = x, ye = y;
            while (xe < a.size() && digit(a[xe])) ++xe;
            while (ye < b.size() && digit(b[ye])) ++ye;
            if (xe - x != ye - y) return xe - x < ye - y;
            const int c = a.substr(x, xe - x).compare(b.substr(y, ye - y));
            if (c != 0) return c < 0;
            i = xe;
            j = ye;
            continue;
        }
        if (a[i] != b[j])
            return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
        ++i;
        ++j;
    }
    if (a.size() - i != b.size() - j) return a.size() - i < b.size() - j;
    return a < b;
}

}  // namespace

void Dataset::sortClassValues() {
    std::vector<std::int32_t> order(classValues_.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [this](std::int32_t x, std::int32_t y) {
        return namesInOrder(classValues_[static_cast<std::size_t>(x)],
                            classValues_[static_cast<std::size_t>(y)]);
    });
    std::vector<std::int32_t> recode(order.size());
    bool same = true;
    for (std::size_t i = 0; i < order.size(); ++i) {
        recode[static_cast<std::size_t>(order[i])] = static_cast<std::int32_t>(i);
        same = same && order[i] == static_cast<std::int32_t>(i);
    }
    if (same) return;
    std::vector<std::string> sorted;
    for (const std::int32_t c : order)
        sorted.push_back(std::move(classValues_[static_cast<std::size_t>(c)]));
    classValues_ = std::move(sorted);
    if (classes_.narrow()) {
        for (std::uint8_t& b : classes_.bytes())
            if (b != CodeSpan::kMissingByte) b = codeByte(recode[b]);
    } else {
        for (std::int32_t& c : classes_.wide())
            if (c >= 0) c = recode[static_cast<std::size_t>(c)];
    }
}

}  // namespace mining
