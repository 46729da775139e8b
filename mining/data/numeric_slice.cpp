#include "data/numeric_slice.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace mining {

namespace {

std::int64_t powerOfTen(int exponent) {
    std::int64_t p = 1;
    for (int i = 0; i < exponent; ++i) p *= 10;
    return p;
}

double valueOf(std::int32_t mantissa, int fractionDigits) {
    return mantissa == NumericColumn::kMissingMantissa ? std::numeric_limits<double>::quiet_NaN()
                                                       : decimalToDouble(mantissa, fractionDigits);
}

}  // namespace

NumericSlice::NumericSlice(std::int32_t* mantissas, std::size_t capacity)
    : mantissas_(mantissas), capacity_(capacity) {}

void NumericSlice::setDecimal(std::size_t row, std::int64_t mantissa, int fractionDigits) {
    if (scaled_) {
        // The same steps as NumericColumn's appends, so that the storage chosen is the same.
        if (fractionDigits <= kMaxScaledFractionDigits && fractionDigits > fractionDigits_ &&
            rescaleMantissas(std::span<std::int32_t>(mantissas_, row), fractionDigits_,
                             fractionDigits))
            fractionDigits_ = fractionDigits;
        const int shift = fractionDigits_ - fractionDigits;
        if (shift >= 0 && fitsMantissaShifted(mantissa, shift)) {
            mantissas_[row] = static_cast<std::int32_t>(mantissa * powerOfTen(shift));
            return;
        }
        convertToDoubles(row);
    }
    doubles_[row] = decimalToDouble(mantissa, fractionDigits);
}

void NumericSlice::setDouble(std::size_t row, double value) {
    if (std::isnan(value)) {
        setMissing(row);
        return;
    }
    if (scaled_) convertToDoubles(row);
    doubles_[row] = value;
}

void NumericSlice::convertToDoubles(std::size_t rows) {
    doubles_.resize(capacity_);
    for (std::size_t r = 0; r < rows; ++r) doubles_[r] = valueOf(mantissas_[r], fractionDigits_);
    scaled_ = false;
}

NumericColumn joinSlices(std::span<const SliceRows> slices, ColumnVector<std::int32_t>& buffer,
                         std::size_t total) {
    bool scaled = true;
    int digits = 0;
    for (const SliceRows& s : slices) {
        scaled = scaled && s.slice->scaled();
        digits = std::max(digits, s.slice->fractionDigits());
    }
    // Each slice's scale once the others have been brought to the finest one, where they fit.
    std::vector<int> digitsOf;
    for (const SliceRows& s : slices) {
        const int from = s.slice->fractionDigits();
        const bool fits =
            scaled &&
            rescaleMantissas(std::span<std::int32_t>(s.slice->mantissas(), s.kept), from, digits);
        digitsOf.push_back(fits ? digits : from);
        scaled = scaled && fits;
    }
    if (scaled) {
        for (const SliceRows& s : slices)
            if (s.slice->mantissas() != buffer.data() + s.target)
                std::memmove(buffer.data() + s.target, s.slice->mantissas(),
                             s.kept * sizeof(std::int32_t));
        buffer.resize(total);  // the rows beyond were never touched, or held lines without record
        return NumericColumn::fromMantissas(std::move(buffer), digits);
    }
    ColumnVector<double> values(total);
    for (std::size_t k = 0; k < slices.size(); ++k) {
        const SliceRows& s = slices[k];
        double* out = values.data() + s.target;
        if (s.slice->scaled()) {
            for (std::size_t r = 0; r < s.kept; ++r)
                out[r] = valueOf(s.slice->mantissas()[r], digitsOf[k]);
        } else {
            std::copy_n(s.slice->doubles().begin(), s.kept, out);
        }
    }
    buffer = {};
    return NumericColumn::fromDoubles(std::move(values));
}

}  // namespace mining
