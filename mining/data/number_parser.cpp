#include "data/number_parser.h"

#include <charconv>
#include <cmath>

namespace mining {

namespace {

constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                   1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

bool isDigit(char c) { return static_cast<unsigned char>(c - '0') <= 9; }

// Returns true when `text` holds only what a decimal number with exponent may hold and starts
// with a digit or '.'. from_chars would also take "inf", "nan" and hex digits after a prefix,
// which are not numbers here.
bool looksDecimal(std::string_view text) {
    if (text.empty() || !(isDigit(text.front()) || text.front() == '.')) return false;
    for (const char c : text)
        if (!(isDigit(c) || c == '.' || c == 'e' || c == 'E' || c == '+' || c == '-')) return false;
    return true;
}

// Returns `text` without one leading sign, and whether that sign was '-'.
std::string_view dropSign(std::string_view text, bool& negative) {
    negative = !text.empty() && text.front() == '-';
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) text.remove_prefix(1);
    return text;
}

}  // namespace

NumberForm parseNumber(std::string_view text, std::int64_t& mantissa, int& fractionDigits,
                       double& value) {
    const char* p = text.data();
    const char* const end = p + text.size();
    PlainDecimal decimal;
    if (scanDecimal(p, end, decimal) == DecimalScan::Read && p == end) {
        mantissa = decimal.mantissa;
        fractionDigits = decimal.fractionDigits;
        return NumberForm::Decimal;
    }
    bool negative = false;
    const std::string_view digits = dropSign(text, negative);
    if (!looksDecimal(digits)) return NumberForm::NotNumber;
    double v = 0;
    const char* const last = digits.data() + digits.size();
    const auto [ptr, ec] = std::from_chars(digits.data(), last, v, std::chars_format::general);
    if (ec != std::errc() || ptr != last || !std::isfinite(v)) return NumberForm::NotNumber;
    value = negative ? -v : v;
    return NumberForm::Other;
}

bool isOutOfRangeNumber(std::string_view text) {
    bool negative = false;
    const std::string_view digits = dropSign(text, negative);
    double value = 0;
    const char* const last = digits.data() + digits.size();
    const auto [ptr, ec] = std::from_chars(digits.data(), last, value);
    return ec == std::errc::result_out_of_range && ptr == last;
}

double decimalToDouble(std::int64_t mantissa, int fractionDigits) {
    return static_cast<double>(mantissa) / kPowersOfTen[fractionDigits];
}

bool isUnsignedPlainDecimal(std::string_view text) {
    bool digit = false;
    int dots = 0;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            digit = true;
        } else if (c == '.') {
            ++dots;
        } else {
            return false;
        }
    }
    return digit && dots <= 1;
}

std::optional<double> unsignedPlainDecimal(std::string_view text) {
    if (!isUnsignedPlainDecimal(text)) return std::nullopt;
    return numberValue(text);
}

std::optional<double> numberValue(std::string_view text) {
    std::int64_t mantissa = 0;
    int fractionDigits = 0;
    double value = 0;
    switch (parseNumber(text, mantissa, fractionDigits, value)) {
        case NumberForm::Decimal:
            return decimalToDouble(mantissa, fractionDigits);
        case NumberForm::Other:
            return value;
        case NumberForm::NotNumber:
            break;
    }
    return std::nullopt;
}

}  // namespace mining
