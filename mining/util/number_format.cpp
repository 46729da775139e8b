#include "util/number_format.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <string_view>

namespace mining {

std::string formatFixed(double value, int decimals) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    std::string s = buffer;
    if (s[0] == '-' && s.find_first_not_of("-0.") == std::string::npos) s.erase(0, 1);
    return s;
}

std::string formatGeneral(double value, int significant) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*g", significant, value);
    if (std::string_view(buffer) == "-0") return "0";
    return buffer;
}

std::string shortestDecimal(double value) {
    // Fixed notation of a double can take over 300 digits; the exponent form stays short.
    char buffer[400];
    const double size = std::fabs(value);
    const auto format = (value != 0 && (size >= 1e15 || size < 1e-4)) ? std::chars_format::general
                                                                      : std::chars_format::fixed;
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, format);
    std::string s(buffer, result.ptr);
    return s == "-0" ? "0" : s;
}

}  // namespace mining
