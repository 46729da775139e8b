#include "data/numeric_column.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace mining {

namespace {

constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                   1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

constexpr std::int64_t kIntPowersOfTen[] = {1,      10,      100,      1000,      10000,
                                            100000, 1000000, 10000000, 100000000, 1000000000};

bool fitsMantissa(std::int64_t m) {
    return m > NumericColumn::kMissingMantissa && m <= std::numeric_limits<std::int32_t>::max();
}

}  // namespace

bool fitsMantissaShifted(std::int64_t mantissa, int shift) {
    // Checked before multiplying: a 53-bit mantissa times 10^9 would overflow.
    return fitsMantissa(mantissa) && fitsMantissa(mantissa * kIntPowersOfTen[shift]);
}

bool rescaleMantissas(std::span<std::int32_t> mantissas, int fromDigits, int toDigits) {
    if (fromDigits == toDigits) return true;
    const int shift = toDigits - fromDigits;
    for (const std::int32_t m : mantissas)
        if (m != NumericColumn::kMissingMantissa && !fitsMantissaShifted(m, shift)) return false;
    const std::int64_t factor = kIntPowersOfTen[shift];
    for (std::int32_t& m : mantissas)
        if (m != NumericColumn::kMissingMantissa) m = static_cast<std::int32_t>(m * factor);
    return true;
}

NumericColumn NumericColumn::fromMantissas(ColumnVector<std::int32_t> mantissas,
                                           int fractionDigits) {
    NumericColumn column;
    column.mantissas_ = std::move(mantissas);
    column.fractionDigits_ = fractionDigits;
    column.scale_ = kPowersOfTen[fractionDigits];
    return column;
}

NumericColumn NumericColumn::fromDoubles(ColumnVector<double> values) {
    NumericColumn column;
    column.scaled_ = false;
    column.doubles_ = std::move(values);
    return column;
}

std::vector<double> NumericColumn::toVector() const {
    if (!scaled_) return std::vector<double>(doubles_.begin(), doubles_.end());
    std::vector<double> out(mantissas_.size());
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = (*this)[i];
    return out;
}

std::size_t NumericColumn::distinctCount(std::span<const std::uint32_t> rows) const {
    if (scaled_) {
        std::int64_t low = std::numeric_limits<std::int64_t>::max();
        std::int64_t high = std::numeric_limits<std::int64_t>::min();
        for (std::uint32_t r : rows) {
            const std::int32_t m = mantissas_[r];
            if (m == kMissingMantissa) continue;
            low = std::min<std::int64_t>(low, m);
            high = std::max<std::int64_t>(high, m);
        }
        if (low > high) return 0;
        // A bitmap over the mantissas' range is far faster than sorting on large data; on few
        // rows of a wide range, clearing and counting the bitmap would cost more than sorting.
        const auto range = static_cast<std::uint64_t>(high - low) + 1;
        if (range <= (std::uint64_t{1} << 27) && range / 64 <= 4 * std::uint64_t{rows.size()}) {
            std::vector<std::uint64_t> seen(range / 64 + 1, 0);
            for (std::uint32_t r : rows) {
                const std::int32_t m = mantissas_[r];
                if (m == kMissingMantissa) continue;
                const auto bit = static_cast<std::uint64_t>(m - low);
                seen[bit / 64] |= std::uint64_t{1} << (bit % 64);
            }
            std::size_t count = 0;
            for (std::uint64_t word : seen) count += static_cast<std::size_t>(std::popcount(word));
            return count;
        }
        std::vector<std::int32_t> values;
        values.reserve(rows.size());
        for (std::uint32_t r : rows)
            if (mantissas_[r] != kMissingMantissa) values.push_back(mantissas_[r]);
        std::sort(values.begin(), values.end());
        return static_cast<std::size_t>(std::unique(values.begin(), values.end()) - values.begin());
    }
    std::vector<double> values;
    values.reserve(rows.size());
    for (std::uint32_t r : rows)
        if (!std::isnan(doubles_[r])) values.push_back(doubles_[r]);
    std::sort(values.begin(), values.end());
    return static_cast<std::size_t>(std::unique(values.begin(), values.end()) - values.begin());
}

bool NumericColumn::rescale(int fractionDigits) {
    if (!scaled_ || fractionDigits < fractionDigits_ || fractionDigits > kMaxScaledFractionDigits ||
        !rescaleMantissas(mantissas_, fractionDigits_, fractionDigits))
        return false;
    fractionDigits_ = fractionDigits;
    scale_ = kPowersOfTen[fractionDigits];
    return true;
}

void NumericColumn::reserve(std::size_t rows) {
    if (scaled_)
        mantissas_.reserve(rows);
    else
        doubles_.reserve(rows);
}

void NumericColumn::appendDecimalSlowly(std::int64_t mantissa, int fractionDigits) {
    if (scaled_) {
        // Rescale what is stored so far to a finer scale, if it still fits; then store the new
        // value at the column's scale if it fits. The column stays scaled exactly when every
        // value fits at the finest scale, whatever their order.
        if (fractionDigits <= kMaxScaledFractionDigits && fractionDigits > fractionDigits_ &&
            rescaleMantissas(mantissas_, fractionDigits_, fractionDigits)) {
            fractionDigits_ = fractionDigits;
            scale_ = kPowersOfTen[fractionDigits];
        }
        if (fractionDigits <= fractionDigits_ &&
            fitsMantissaShifted(mantissa, fractionDigits_ - fractionDigits)) {
            mantissas_.push_back(static_cast<std::int32_t>(
                mantissa * kIntPowersOfTen[fractionDigits_ - fractionDigits]));
            return;
        }
        convertToDoubles();
    }
    // Both operands are exact doubles, so the quotient is the correctly rounded value.
    doubles_.push_back(static_cast<double>(mantissa) / kPowersOfTen[fractionDigits]);
}

void NumericColumn::appendDouble(double value) {
    if (scaled_) {
        if (std::isnan(value)) {
            mantissas_.push_back(kMissingMantissa);
            return;
        }
        convertToDoubles();
    }
    doubles_.push_back(value);
}

void NumericColumn::appendMissing() {
    if (scaled_)
        mantissas_.push_back(kMissingMantissa);
    else
        doubles_.push_back(std::numeric_limits<double>::quiet_NaN());
}

void NumericColumn::shrinkToFit() {
    mantissas_.shrink_to_fit();
    doubles_.shrink_to_fit();
}

void NumericColumn::appendAndClear(NumericColumn& other) {
    const std::size_t total = size() + other.size();
    if (scaled_ && other.scaled_ && fractionDigits_ == other.fractionDigits_) {
        mantissas_.reserve(total);
        mantissas_.insert(mantissas_.end(), other.mantissas_.begin(), other.mantissas_.end());
    } else if (other.scaled_) {
        reserve(total);
        for (std::int32_t m : other.mantissas_) {
            if (m == kMissingMantissa)
                appendMissing();
            else
                appendDecimal(m, other.fractionDigits_);
        }
    } else {
        if (scaled_) convertToDoubles();
        doubles_.reserve(total);
        doubles_.insert(doubles_.end(), other.doubles_.begin(), other.doubles_.end());
    }
    other = NumericColumn();
}

void NumericColumn::convertToDoubles() {
    const std::size_t capacity = mantissas_.capacity();
    ColumnVector<double> values;
    values.reserve(capacity > mantissas_.size() ? capacity : mantissas_.size() + 1);
    for (std::size_t i = 0; i < mantissas_.size(); ++i) values.push_back((*this)[i]);
    scaled_ = false;
    doubles_ = std::move(values);
    mantissas_ = {};
}

NumericColumn NumericColumn::gather(std::span<const std::uint32_t> rows) const {
    NumericColumn out;
    out.scaled_ = scaled_;
    out.fractionDigits_ = fractionDigits_;
    out.scale_ = scale_;
    if (scaled_) {
        out.mantissas_ = ColumnVector<std::int32_t>(rows.size());
        for (std::size_t i = 0; i < rows.size(); ++i) out.mantissas_[i] = mantissas_[rows[i]];
    } else {
        out.doubles_ = ColumnVector<double>(rows.size());
        for (std::size_t i = 0; i < rows.size(); ++i) out.doubles_[i] = doubles_[rows[i]];
    }
    return out;
}

}  // namespace mining
