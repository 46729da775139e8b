#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mining {

// GCC's and Clang's 128-bit integers (the extension keeps -Wpedantic quiet).
__extension__ using Int128 = __int128;
__extension__ using UInt128 = unsigned __int128;

// A sum of integers u * 2^(32 * k + shift), kept exactly however many are added, in any order:
// 32-bit limbs held in 64-bit words, so that a limb takes 2^30 additions before its carries must
// move up. Only the limbs a sum touches are stored.
class WideSum {
public:
    // Adds (negative ? -u : u) * 2^position. Requires 0 <= position, u < 2^127.
    void add(UInt128 u, std::int64_t position, bool negative);
    // Adds `other`.
    void merge(const WideSum& other);
    // Returns the exact sum as its sign and magnitude: limb i of `magnitude` weighs 2^(32 i).
    void value(bool& negative, std::vector<std::uint32_t>& magnitude) const;

    // Appends the sum to `out` as bytes that load() reads on a machine of the same byte order.
    void save(std::string& out) const;
    // Returns the sum save() wrote at the start of `in` and moves `in` past it. Throws
    // std::invalid_argument when `in` is too short or malformed.
    static WideSum load(std::string_view& in);

private:
    void grow(std::int64_t first, std::int64_t end);
    void carry();

    std::int64_t first_ = 0;           // the limb index of limbs_[0]
    std::vector<std::int64_t> limbs_;  // limb first_ + i, weighing 2^(32 (first_ + i))
    std::uint32_t pending_ = 0;        // additions to any limb since the carries last moved
};

// The count, sum and sum of squares of numbers, kept exactly, so that the mean and variance are
// the same bits however the numbers were split into parts, summed and merged. Decimals of one
// scale (value = mantissa / 10^digits) add their integer mantissas: a 64-bit sum and a 128-bit
// sum of squares, a few integer operations a value. Any other finite double adds its binary
// mantissa and exponent to a WideSum (its square, 106 bits, exactly as well), a little slower.
// The mean and variance are computed once from those integers, in 64-bit long double from the
// exact n * S2 - S1^2, so a large mean with a small spread keeps its variance.
class ExactMoments {
public:
    // Moments of decimals of `fractionDigits` fraction digits (0 to 9), or of any finite
    // doubles when fractionDigits < 0.
    explicit ExactMoments(int fractionDigits = -1);

    // Adds the decimal mantissa / 10^digits. Requires a decimal accumulator.
    void addMantissa(std::int32_t mantissa) {
        ++count_;
        sum_ += mantissa;
        squares_ += static_cast<UInt128>(static_cast<std::int64_t>(mantissa) *
                                         static_cast<std::int64_t>(mantissa));
    }
    // Adds `x`. Requires a binary accumulator and a finite x.
    void add(double x);
    // Adds every value `other` holds. Requires the same kind and scale.
    void merge(const ExactMoments& other);

    // Appends the moments to `out` and reads them back, as WideSum::save() and load() do.
    void save(std::string& out) const;
    static ExactMoments load(std::string_view& in);

    std::uint64_t count() const { return count_; }
    // Returns the mean; NaN when empty.
    double mean() const;
    // Returns the sample variance, sum of (x - mean)^2 over (n - 1), and its square root, both
    // rounded once from long double; 0 for fewer than two values.
    double variance() const;
    double stdDev() const;

private:
    // Sets S1 (sign and magnitude) and S2 exactly, as integers: S1 in units of unit(1), S2 in
    // units of unit(2), that unit's square.
    void sums(bool& negative, std::vector<std::uint32_t>& sum,
              std::vector<std::uint32_t>& squares) const;
    // Returns x times the unit of S1 (power 1) or of S2 (power 2).
    long double inUnits(long double x, int power) const;
    long double longVariance() const;

    int fractionDigits_;
    std::uint64_t count_ = 0;
    // Decimals: sum and sum of squares of the mantissas.
    Int128 sum_ = 0;
    UInt128 squares_ = 0;
    // Binary: sum at 2^-kSumBias and squares at 2^-(2 kSumBias), both as integers.
    WideSum wideSum_;
    WideSum wideSquares_;
};

}  // namespace mining
