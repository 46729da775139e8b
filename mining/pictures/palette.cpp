#include "pictures/palette.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

namespace mining::pictures {

namespace {

// Okabe, M. and Ito, K. (2002), "Color Universal Design": orange, sky blue, bluish green,
// yellow, blue, vermilion, reddish purple, black.
constexpr std::array<const char*, kPaletteColours> kOkabeIto = {
    "#E69F00", "#56B4E9", "#009E73", "#F0E442", "#0072B2", "#D55E00", "#CC79A7", "#000000"};

constexpr std::array<const char*, kPatterns> kDashes = {"", "6 3", "2 2", "8 3 2 3"};

struct Rgb {
    double r, g, b;
};

Rgb parse(std::string_view colour) {
    unsigned r = 0, g = 0, b = 0;
    if (colour.size() == 7 && colour[0] == '#')
        std::sscanf(std::string(colour).c_str(), "#%02x%02x%02x", &r, &g, &b);
    return {static_cast<double>(r), static_cast<double>(g), static_cast<double>(b)};
}

std::string format(const Rgb& c) {
    const auto channel = [](double v) {
        return static_cast<unsigned>(std::lround(std::clamp(v, 0.0, 255.0)));
    };
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", channel(c.r), channel(c.g), channel(c.b));
    return text;
}

// Returns `colour` moved towards `towards` by `amount` in [0, 1].
Rgb mix(const Rgb& colour, const Rgb& towards, double amount) {
    return {colour.r + (towards.r - colour.r) * amount, colour.g + (towards.g - colour.g) * amount,
            colour.b + (towards.b - colour.b) * amount};
}

// Returns the relative luminance of `c` (WCAG 2).
double luminance(const Rgb& c) {
    const auto linear = [](double v) {
        v /= 255.0;
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(c.r) + 0.7152 * linear(c.g) + 0.0722 * linear(c.b);
}

// Returns the marks a pattern draws over its colour in a 6 by 6 tile, in `ink`.
std::string patternMarks(std::size_t pattern, const std::string& ink) {
    switch (pattern) {
        case 1:
            return "<path d=\"M0 6L6 0M-1 1L1 -1M5 7L7 5\" stroke=\"" + ink +
                   "\" stroke-width=\"1.4\"/>";
        case 2:
            return "<circle cx=\"3\" cy=\"3\" r=\"1.2\" fill=\"" + ink + "\"/>";
        case 3:
            return "<path d=\"M0 3H6M3 0V6\" stroke=\"" + ink + "\" stroke-width=\"1.1\"/>";
        default:
            return "";
    }
}

}  // namespace

Swatch classSwatch(std::size_t k) {
    const std::size_t index = k % kDistinctSwatches;
    const Rgb base = parse(kOkabeIto[index % kPaletteColours]);
    const std::size_t pattern = index / kPaletteColours % kPatterns;
    const std::size_t shade = index / (kPaletteColours * kPatterns);
    Rgb colour = base;
    if (shade == 1) colour = mix(base, {255, 255, 255}, 0.45);
    // Black has no darker shade: its third is a light grey.
    if (shade == 2)
        colour = base.r + base.g + base.b == 0 ? mix(base, {255, 255, 255}, 0.75)
                                               : mix(base, {0, 0, 0}, 0.4);
    return {format(colour), pattern, kDashes[pattern]};
}

std::string classStyles(std::size_t classCount) {
    std::string css;
    for (std::size_t k = 0; k < classCount; ++k) {
        // Beyond kDistinctSwatches, class K is drawn as class K mod kDistinctSwatches.
        const Swatch s = classSwatch(k);
        const std::string n = std::to_string(k);
        const std::string pattern = "url(#p" + std::to_string(k % kDistinctSwatches) + ")";
        css += ".c" + n + "{fill:" + (s.pattern == 0 ? s.colour : pattern) + "}";
        css += ".s" + n + "{stroke:" + s.colour +
               (s.dashes.empty() ? "" : ";stroke-dasharray:" + s.dashes) + "}\n";
    }
    return css;
}

std::string patternDefinitions(std::size_t classCount) {
    if (classCount <= kPaletteColours) return "";
    std::string defs =
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"0\" height=\"0\" "
        "aria-hidden=\"true\" style=\"position:absolute\"><defs>";
    for (std::size_t k = kPaletteColours; k < std::min(classCount, kDistinctSwatches); ++k) {
        const Swatch s = classSwatch(k);
        if (s.pattern == 0) continue;
        defs += "<pattern id=\"p" + std::to_string(k) +
                "\" width=\"6\" height=\"6\" patternUnits=\"userSpaceOnUse\"><rect width=\"6\" "
                "height=\"6\" fill=\"" +
                s.colour + "\"/>" + patternMarks(s.pattern, textColourOn(s.colour)) + "</pattern>";
    }
    return defs + "</defs></svg>\n";
}

std::string textColourOn(std::string_view colour) {
    // Black text reads better wherever its contrast beats white's: L > about 0.18.
    const double l = luminance(parse(colour));
    return (l + 0.05) / 0.05 >= 1.05 / (l + 0.05) ? "#000000" : "#ffffff";
}

std::string rampColour(std::string_view full, double share) {
    if (!(share > 0)) return "#ffffff";
    const double amount = 0.1 + 0.9 * std::min(share, 1.0);
    return format(mix({255, 255, 255}, parse(full), amount));
}

}  // namespace mining::pictures
