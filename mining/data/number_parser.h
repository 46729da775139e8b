#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace mining {

// The one way text becomes a number in this library. A number is [+-]digits[.digits] with an
// optional exponent; "inf", "nan", hex, a decimal comma and values beyond the range of a double
// are not numbers.

// Plain decimals of up to this many digits are read exactly into a 64-bit mantissa (and are then
// exact doubles, below 2^53); longer ones are read as doubles.
inline constexpr int kMaxDecimalDigits = 15;

// A plain decimal as written: mantissa * 10^-fractionDigits.
struct PlainDecimal {
    std::int64_t mantissa = 0;
    int fractionDigits = 0;
};

enum class DecimalScan {
    Read,           // `out` holds the decimal; `p` stands on the byte after it
    NoDigits,       // no digit; `p` stands after the sign and '.' read, if any
    TooManyDigits,  // more than kMaxDecimalDigits digits; `p` stands inside them
};

// Reads [+-]digits[.digits] from `p` (at most `end`) and advances `p` past what it read. Does
// not look at what follows: the caller decides whether a byte after the number is allowed.
//
// Hand-written and inline because it runs once per numeric field of every record, the reader's
// hottest loop; it yields the exact decimal (mantissa and scale) that the columns store, which
// no library parser gives.
inline DecimalScan scanDecimal(const char*& p, const char* end, PlainDecimal& out) {
    bool negative = false;
    if (p < end && (*p == '-' || *p == '+')) negative = *p++ == '-';
    std::int64_t m = 0;
    int digits = 0;
    int fraction = 0;
    while (p < end && static_cast<unsigned char>(*p - '0') <= 9) {
        if (++digits > kMaxDecimalDigits) return DecimalScan::TooManyDigits;
        m = m * 10 + (*p++ - '0');
    }
    if (p < end && *p == '.') {
        ++p;
        while (p < end && static_cast<unsigned char>(*p - '0') <= 9) {
            if (++digits > kMaxDecimalDigits) return DecimalScan::TooManyDigits;
            m = m * 10 + (*p++ - '0');
            ++fraction;
        }
    }
    if (digits == 0) return DecimalScan::NoDigits;
    out.mantissa = negative ? -m : m;
    out.fractionDigits = fraction;
    return DecimalScan::Read;
}

// How a field reads as a number.
enum class NumberForm {
    NotNumber,  // anything else, including "inf", "nan", hex and empty text
    Decimal,    // [+-]digits[.digits] with at most 15 digits: mantissa * 10^-fractionDigits
    Other,      // any other finite decimal number (exponent, many digits): `value`
};

// Reads `text` (already trimmed) as a number. Returns the form and fills the matching outputs.
// "-0" is the Decimal 0; "-0e0" is the double -0.0.
NumberForm parseNumber(std::string_view text, std::int64_t& mantissa, int& fractionDigits,
                       double& value);

// Returns true when `text` is a decimal number too large or too small in size for a double
// ("1e999", "-1e-999"), which parseNumber() rejects; error messages say so.
bool isOutOfRangeNumber(std::string_view text);

// Returns true when `text` is an unsigned plain decimal: digits with at most one '.' and at least
// one digit; no sign, exponent or blanks ("66.67", "5.", ".5", "007").
bool isUnsignedPlainDecimal(std::string_view text);

// Returns the value of `text` when it is an unsigned plain decimal that parseNumber() reads,
// else nothing.
std::optional<double> unsignedPlainDecimal(std::string_view text);

// Returns the number `text` denotes when parseNumber() reads one (with an exponent too), or
// std::nullopt.
std::optional<double> numberValue(std::string_view text);

// Returns mantissa * 10^-fractionDigits as the nearest double. Requires |mantissa| < 2^53 and
// 0 <= fractionDigits <= 22, so that both operands are exact and the quotient correctly rounded.
double decimalToDouble(std::int64_t mantissa, int fractionDigits);

}  // namespace mining
