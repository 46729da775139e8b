#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <vector>

#include "data/column_vector.h"

namespace mining {

// The most fraction digits a column stored as 32-bit mantissas may have.
inline constexpr int kMaxScaledFractionDigits = 9;

// Multiplies every present mantissa of `mantissas` (kMissingMantissa marks a missing one) by
// 10^(toDigits - fromDigits). Returns false and changes nothing when a result would not fit a
// 32-bit mantissa. Requires 0 <= fromDigits <= toDigits <= kMaxScaledFractionDigits.
bool rescaleMantissas(std::span<std::int32_t> mantissas, int fromDigits, int toDigits);

// Returns true when `mantissa` * 10^shift fits a 32-bit mantissa (kMissingMantissa excluded).
// Requires 0 <= shift <= kMaxScaledFractionDigits.
bool fitsMantissaShifted(std::int64_t mantissa, int shift);

class DecimalView;

// The values of one numeric attribute, one per row, read as doubles.
//
// To keep large data sets smaller than their file, a column whose values are all decimals with
// at most 9 fraction digits that fit a 32-bit mantissa is stored as those mantissas plus one
// power-of-ten scale; value(row) divides them back, which gives exactly the double the text
// denotes (both the mantissa and the scale are exact doubles and IEEE division rounds
// correctly). Any other column is stored as doubles. Callers see only doubles.
class NumericColumn {
public:
    // The marker of a missing value among mantissas().
    static constexpr std::int32_t kMissingMantissa = std::numeric_limits<std::int32_t>::min();

    NumericColumn() = default;
    // Returns the column of `mantissas` divided by 10^fractionDigits (kMissingMantissa where
    // missing). Requires 0 <= fractionDigits <= kMaxScaledFractionDigits.
    static NumericColumn fromMantissas(ColumnVector<std::int32_t> mantissas, int fractionDigits);
    // Returns the column of `values` (NaN where missing).
    static NumericColumn fromDoubles(ColumnVector<double> values);

    // Returns the number of rows.
    std::size_t size() const { return scaled_ ? mantissas_.size() : doubles_.size(); }

    // Returns the value in `row`, or a quiet NaN when it is missing. Requires row < size().
    double operator[](std::size_t row) const {
        if (scaled_) {
            const std::int32_t m = mantissas_[row];
            return m == kMissingMantissa ? std::numeric_limits<double>::quiet_NaN() : m / scale_;
        }
        return doubles_[row];
    }

    // Returns every value as a double (NaN where missing), in row order.
    std::vector<double> toVector() const;

    // Returns the column as the decimals it was written as, when it is stored so (every value a
    // decimal of one scale), else nullopt. Exact where doubles are not: two values are equal
    // exactly when their mantissas are.
    std::optional<DecimalView> decimals() const;
    // The fraction digits of the mantissas while the column is stored as decimals.
    int fractionDigits() const { return fractionDigits_; }
    // Stores the decimals with `fractionDigits` fraction digits (from fractionDigits() to
    // kMaxScaledFractionDigits). Returns false and changes nothing when a value does not fit
    // that scale or the column is stored as doubles.
    bool rescale(int fractionDigits);
    // Stores the column as doubles, the same values.
    void storeAsDoubles() {
        if (scaled_) convertToDoubles();
    }

    // Returns the values of the rows `rows` (each < size()), in that order, stored as here.
    NumericColumn gather(std::span<const std::uint32_t> rows) const;
    // Returns the number of distinct present values in the rows `rows` (each < size()).
    std::size_t distinctCount(std::span<const std::uint32_t> rows) const;

    // Building, used by the reader. A column starts scaled with scale 1 and empty.
    // Reserves room for `rows` values.
    void reserve(std::size_t rows);
    // Appends a decimal mantissa * 10^-fractionDigits. Requires 0 <= fractionDigits <= 22 and
    // |mantissa| < 2^53, so that the value is exact in both storages.
    void appendDecimal(std::int64_t mantissa, int fractionDigits) {
        if (scaled_ && fractionDigits == fractionDigits_ && mantissa > kMissingMantissa &&
            mantissa <= std::numeric_limits<std::int32_t>::max()) {
            mantissas_.push_back(static_cast<std::int32_t>(mantissa));
            return;
        }
        appendDecimalSlowly(mantissa, fractionDigits);
    }
    // Appends any value; NaN means missing.
    void appendDouble(double value);
    void appendMissing();
    // Releases unused capacity.
    void shrinkToFit();
    // Appends every value of `other`, then empties it (and frees its memory).
    void appendAndClear(NumericColumn& other);

private:
    void appendDecimalSlowly(std::int64_t mantissa, int fractionDigits);
    void convertToDoubles();

    bool scaled_ = true;
    int fractionDigits_ = 0;
    double scale_ = 1.0;
    ColumnVector<std::int32_t> mantissas_;
    ColumnVector<double> doubles_;
};

// The values of a NumericColumn stored as decimals: the value in a row is mantissa(row) /
// scale(), scale() a power of ten. Valid while the column lives.
class DecimalView {
public:
    DecimalView(std::span<const std::int32_t> mantissas, double scale)
        : mantissas_(mantissas), scale_(scale) {}

    std::size_t size() const { return mantissas_.size(); }
    // Returns true when the value in `row` is missing.
    bool missing(std::size_t row) const {
        return mantissas_[row] == NumericColumn::kMissingMantissa;
    }
    // Returns the mantissa of the value in `row`; for a missing value one that no present value
    // has, so that equal mantissas mean equal values, missing ones included.
    std::int32_t mantissa(std::size_t row) const { return mantissas_[row]; }
    double scale() const { return scale_; }
    // Returns every row's mantissa, in row order (NumericColumn::kMissingMantissa where
    // missing), for copying a column as it is stored.
    std::span<const std::int32_t> mantissas() const { return mantissas_; }

private:
    std::span<const std::int32_t> mantissas_;
    double scale_;
};

inline std::optional<DecimalView> NumericColumn::decimals() const {
    if (!scaled_) return std::nullopt;
    return DecimalView(mantissas_, scale_);
}

}  // namespace mining
