#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <vector>

namespace mining {

// The values of one numeric attribute, one per row, read as doubles.
//
// To keep large data sets smaller than their file, a column whose values are all decimals with
// at most 9 fraction digits that fit a 32-bit mantissa is stored as those mantissas plus one
// power-of-ten scale; value(row) divides them back, which gives exactly the double the text
// denotes (both the mantissa and the scale are exact doubles and IEEE division rounds
// correctly). Any other column is stored as doubles. Callers see only doubles.
class NumericColumn {
public:
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

    // The marker of a missing value among mantissas().
    static constexpr std::int32_t kMissingMantissa = std::numeric_limits<std::int32_t>::min();
    // Returns the stored decimal mantissas (value = mantissa / scale(), kMissingMantissa where
    // missing), or an empty span when the column is stored as doubles.
    std::span<const std::int32_t> mantissas() const {
        return scaled_ ? std::span<const std::int32_t>(mantissas_)
                       : std::span<const std::int32_t>();
    }
    // Returns the power of ten that mantissas() are divided by.
    double scale() const { return scale_; }

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
    std::vector<std::int32_t> mantissas_;
    std::vector<double> doubles_;
};

}  // namespace mining
