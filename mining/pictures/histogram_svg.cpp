#include "pictures/histogram_svg.h"

#include <algorithm>
#include <cmath>

#include "pictures/markup.h"
#include "pictures/scale.h"
#include "pictures/svg.h"
#include "util/display_width.h"
#include "util/number_format.h"
#include "util/report_text.h"

namespace mining::pictures {

namespace {

// The histogram's size and its plot's place within it.
constexpr double kWidth = 240, kHeight = 112;
constexpr double kLeft = 10, kRight = 230, kTop = 16, kBottom = 84;
// About the width of one character of the 10 px labels.
constexpr double kSmallChar = 5.6;

std::string records(std::size_t n) { return std::to_string(n) + (n == 1 ? " record" : " records"); }

// Draws one bar of `h`: its classes stacked from the bottom, `title` on hover.
void drawBar(Svg& svg, std::span<const std::uint32_t> counts, double x, double width,
             const LinearScale& y, const std::string& title) {
    svg.group(title);
    double base = 0;
    for (std::size_t c = 0; c < counts.size(); ++c) {
        if (counts[c] == 0) continue;
        const double top = y(base + counts[c]);
        svg.rect(x, top, width, y(base) - top, "c" + std::to_string(c));
        base += counts[c];
    }
    svg.endGroup();
}

// Returns the largest bar's count, at least 1.
std::uint32_t tallest(const NodeHistogram& h, std::size_t classes, std::size_t bars) {
    std::uint32_t most = 1;
    for (std::size_t b = 0; b < bars; ++b) {
        std::uint32_t sum = 0;
        for (std::size_t c = 0; c < classes; ++c) sum += h.counts[b * classes + c];
        most = std::max(most, sum);
    }
    return most;
}

void drawNumeric(Svg& svg, const interval::TreeNode& node, const NodeHistogram& h,
                 const std::vector<std::string>& names, const LinearScale& y) {
    const std::size_t k = names.size();
    const std::size_t bins = h.edges.size() - 1;
    const double low = h.edges.front(), high = h.edges.back();
    const LinearScale x(low, high, kLeft, kRight);
    const double width = (kRight - kLeft) / static_cast<double>(bins);
    for (std::size_t b = 0; b < bins; ++b) {
        const std::span<const std::uint32_t> counts(h.counts.data() + b * k, k);
        const double left = bins == 1 ? (kLeft + kRight) / 2 - 20 : kLeft + width * b;
        drawBar(svg, counts, left + 0.5, bins == 1 ? 40 : width - 1, y,
                formatGeneral(h.edges[b]) + " to " + formatGeneral(h.edges[b + 1]) + ": " +
                    countsText(counts, names));
    }
    // The cut points, their values above the plot, staggered where they come close.
    double lastEnd = -1e9;
    int row = 0;
    for (const double cut : node.cuts) {
        const double at = bins == 1 ? (kLeft + kRight) / 2 : x(cut);
        svg.line(at, kTop - 2, at, kBottom + 4, "cut");
        svg.path("M" + coordinate(at - 4) + " " + coordinate(kBottom + 10) + "L" + coordinate(at) +
                     " " + coordinate(kBottom + 4) + "L" + coordinate(at + 4) + " " +
                     coordinate(kBottom + 10) + "Z",
                 "wedge", "cut point " + shortestDecimal(cut));
        const std::string text = shortestDecimal(cut);
        const double half = static_cast<double>(text.size()) * kSmallChar / 2;
        row = at - half < lastEnd + 2 ? 1 - row : 0;
        svg.text(at, row == 0 ? kTop - 5 : kTop + 5, text, "small", Anchor::Middle);
        lastEnd = at + half;
    }
    const std::vector<double> ticks = niceTicks(low, high, 3);
    const double step = tickStep(ticks);
    svg.text(kLeft, kBottom + 22, tickText(low, step > 0 ? step : 1), "small");
    svg.text(kRight, kBottom + 22, tickText(high, step > 0 ? step : 1), "small", Anchor::End);
}

void drawNominal(Svg& svg, const interval::TreeNode& node, const NodeHistogram& h,
                 const Attribute& attribute, const std::vector<std::string>& names,
                 const LinearScale& y) {
    const std::size_t k = names.size();
    const std::size_t bars = node.children.size();
    const double pitch = (kRight - kLeft) / static_cast<double>(bars);
    const double width = std::min(pitch - 2, 40.0);
    for (std::size_t b = 0; b < bars; ++b) {
        const std::string& value = attribute.values[static_cast<std::size_t>(node.childValues[b])];
        const std::span<const std::uint32_t> counts(h.counts.data() + b * k, k);
        const double middle = kLeft + pitch * (static_cast<double>(b) + 0.5);
        drawBar(svg, counts, middle - width / 2, std::max(width, 1.0), y,
                attribute.name + " = " + value + ": " + countsText(counts, names));
        const auto columns = static_cast<std::size_t>(pitch / kSmallChar);
        if (columns >= 3)
            svg.text(middle, kBottom + 13, shortToWidth(value, columns), "small", Anchor::Middle);
    }
}

}  // namespace

std::string countsText(std::span<const std::uint32_t> counts,
                       const std::vector<std::string>& classNames) {
    std::size_t total = 0;
    for (const std::uint32_t n : counts) total += n;
    std::string text = records(total);
    bool first = true;
    for (std::size_t c = 0; c < counts.size(); ++c) {
        if (counts[c] == 0) continue;
        text += (first ? ": " : ", ") + classNames[c] + " " + std::to_string(counts[c]);
        first = false;
    }
    return text;
}

std::string histogramSvg(const interval::TreeNode& node, const NodeHistogram& h,
                         const Attribute& attribute, const std::vector<std::string>& classNames) {
    const std::size_t k = classNames.size();
    Svg svg(kWidth, kHeight,
            "The values of " + attribute.name + " among the node's " + records(h.records) +
                ", by class");
    svg.line(kLeft, kBottom, kRight, kBottom, "baseline");
    const std::size_t bars = k == 0 ? 0 : h.counts.size() / k;
    const LinearScale y(0, tallest(h, k, bars), kBottom, kTop);
    if (node.numeric && h.edges.size() >= 2)
        drawNumeric(svg, node, h, classNames, y);
    else if (!node.numeric)
        drawNominal(svg, node, h, attribute, classNames, y);
    return svg.finish();
}

std::string classBarSvg(std::span<const std::uint32_t> counts, double length,
                        const std::vector<std::string>& classNames, std::string_view label) {
    std::size_t total = 0;
    for (const std::uint32_t n : counts) total += n;
    Svg svg(length + 2, 16, label);
    svg.group(countsText(counts, classNames));
    double x = 1;
    for (std::size_t c = 0; c < counts.size() && total > 0; ++c) {
        if (counts[c] == 0) continue;
        const double part = length * counts[c] / static_cast<double>(total);
        svg.rect(x, 1, part, 14, "c" + std::to_string(c));
        x += part;
    }
    svg.endGroup();
    return svg.finish();
}

}  // namespace mining::pictures
