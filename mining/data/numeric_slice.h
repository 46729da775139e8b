#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>

#include "data/column_vector.h"
#include "data/number_parser.h"
#include "data/numeric_column.h"

namespace mining {

// One part's run of rows of a numeric column while the reader fills it. The rows are set by
// index, in order: setting row r keeps rows [0, r) and may drop what was in r and after.
//
// The rows live in the column's shared 32-bit buffer, as mantissas at the slice's own scale,
// for as long as the values allow (the rule of NumericColumn); after that the slice keeps its
// rows as doubles of its own. joinSlices() makes one NumericColumn of a column's slices.
class NumericSlice {
public:
    // `mantissas` points at `capacity` rows of the shared buffer; it must outlive the slice.
    NumericSlice(std::int32_t* mantissas, std::size_t capacity);

    // Sets `row` to mantissa * 10^-fractionDigits when that needs no change of storage and
    // returns true; else returns false and changes nothing. Requires 0 <= fractionDigits <= 22
    // and |mantissa| < 2^53.
    bool setQuickly(std::size_t row, std::int64_t mantissa, int fractionDigits) {
        if (scaled_) {
            if (fractionDigits != fractionDigits_ || mantissa <= NumericColumn::kMissingMantissa ||
                mantissa > std::numeric_limits<std::int32_t>::max())
                return false;
            mantissas_[row] = static_cast<std::int32_t>(mantissa);
        } else {
            doubles_[row] = decimalToDouble(mantissa, fractionDigits);
        }
        return true;
    }
    // Sets `row` to missing.
    void setMissing(std::size_t row) {
        if (scaled_)
            mantissas_[row] = NumericColumn::kMissingMantissa;
        else
            doubles_[row] = std::numeric_limits<double>::quiet_NaN();
    }
    // Sets `row` to any decimal, rescaling rows [0, row) or turning to doubles as needed.
    // Requires what setQuickly() does.
    void setDecimal(std::size_t row, std::int64_t mantissa, int fractionDigits);
    // Sets `row` to a finite value or, for NaN, to missing.
    void setDouble(std::size_t row, double value);

    bool scaled() const { return scaled_; }
    int fractionDigits() const { return fractionDigits_; }
    // The rows as mantissas at fractionDigits() while scaled(), else as doubles.
    std::int32_t* mantissas() const { return mantissas_; }
    const ColumnVector<double>& doubles() const { return doubles_; }

private:
    void convertToDoubles(std::size_t rows);

    std::int32_t* mantissas_;
    std::size_t capacity_;
    bool scaled_ = true;
    int fractionDigits_ = 0;
    ColumnVector<double> doubles_;
};

// A column's slices in file order, each with the rows it kept and where they go in the result.
struct SliceRows {
    NumericSlice* slice;
    std::size_t kept;    // rows [0, kept) of the slice are the column's
    std::size_t target;  // the row of the result its first row becomes
};

// Joins a column's slices into one NumericColumn of `total` rows. `buffer` is the shared buffer
// the slices point into; each slice's kept rows move to their target rows (never to a later
// row than they are at). The column is stored as mantissas when every value fits at the finest
// scale of all slices, else as doubles: the same as appending every value in order.
NumericColumn joinSlices(std::span<const SliceRows> slices, ColumnVector<std::int32_t>& buffer,
                         std::size_t total);

}  // namespace mining
