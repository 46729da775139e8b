#include "pictures/markup.h"

#include <cmath>
#include <cstdio>

#include "util/display_width.h"
#include "util/report_text.h"

namespace mining::pictures {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// Returns whether the character of `length` bytes at text[at] may stand in an XML document.
bool allowedInXml(std::string_view text, std::size_t at, std::size_t length) {
    const auto first = static_cast<unsigned char>(text[at]);
    if (length == 1) return first >= 0x20 ? first < 0x80 : first == '\t' || first == '\n';
    // U+FFFE and U+FFFF: EF BF BE and EF BF BF.
    return !(length == 3 && first == 0xEF && static_cast<unsigned char>(text[at + 1]) == 0xBF &&
             static_cast<unsigned char>(text[at + 2]) >= 0xBE);
}

}  // namespace

std::string escape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        std::size_t length = 1;
        characterWidth(text, at, length);
        if (!allowedInXml(text, at, length)) {
            out += kReplacement;
        } else if (length > 1) {
            out.append(text.substr(at, length));
        } else {
            switch (text[at]) {
                case '&':
                    out += "&amp;";
                    break;
                case '<':
                    out += "&lt;";
                    break;
                case '>':
                    out += "&gt;";
                    break;
                case '"':
                    out += "&quot;";
                    break;
                case '\'':
                    out += "&#39;";
                    break;
                default:
                    out += text[at];
            }
        }
        at += length;
    }
    return out;
}

std::string shortEscaped(std::string_view text, std::size_t columns) {
    return escape(shortToWidth(text, columns));
}

std::string coordinate(double value) {
    // In tenths, as a whole number, so that no locale and no exponent come in (and faster than
    // printf: a picture writes hundreds of thousands of them).
    const double tenths = std::round(value * 10);
    if (!std::isfinite(tenths) || std::abs(tenths) >= 9e18) {
        if (!std::isfinite(value)) return "0";
        char text[400];
        std::snprintf(text, sizeof text, "%.0f", value);
        return text;
    }
    const auto whole = static_cast<long long>(tenths);
    if (whole == 0) return "0";
    const long long magnitude = whole < 0 ? -whole : whole;
    std::string text = whole < 0 ? "-" : "";
    text += std::to_string(magnitude / 10);
    if (magnitude % 10 != 0) {
        text += '.';
        text += static_cast<char>('0' + magnitude % 10);
    }
    return text;
}

}  // namespace mining::pictures
