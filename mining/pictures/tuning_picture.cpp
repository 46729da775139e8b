#include "pictures/tuning_picture.h"

#include <algorithm>
#include <cmath>

#include "pictures/markup.h"
#include "pictures/scale.h"
#include "pictures/svg.h"
#include "util/display_width.h"
#include "util/number_format.h"

namespace mining::pictures {

namespace {

constexpr double kRowHeight = 22;
constexpr double kPlotWidth = 340;
// About the width of one character of the candidates' 12 px monospace labels.
constexpr double kMonoWidth = 7.3;

std::string points(double share) { return formatFixed(100.0 * share, 2); }

// Returns the scale of an accuracy axis over [low, high] (shares), widened to round ticks and
// kept within [0, 1], from pixel `from` to `to`, and its ticks.
LinearScale accuracyAxis(double low, double high, double from, double to,
                         std::vector<double>& ticks) {
    low = std::clamp(low, 0.0, 1.0);
    high = std::clamp(high, 0.0, 1.0);
    if (high - low < 0.02) {
        low = std::max(0.0, low - 0.01);
        high = std::min(1.0, high + 0.01);
    }
    ticks = niceTicks(100 * low, 100 * high, 5);
    const double step = tickStep(ticks);
    if (step > 0) {
        low = std::max(0.0, std::floor(100 * low / step) * step / 100);
        high = std::min(1.0, std::ceil(100 * high / step) * step / 100);
        ticks = niceTicks(100 * low, 100 * high, 5);
    }
    return LinearScale(low, high, from, to);
}

void drawAxis(Svg& svg, const LinearScale& x, const std::vector<double>& ticks, double top,
              double bottom) {
    const double step = tickStep(ticks);
    for (const double t : ticks) {
        const double at = x(t / 100);
        svg.line(at, top, at, bottom, "grid");
        svg.text(at, bottom + 14, tickText(t, step) + " %", "axis", Anchor::Middle);
    }
}

// Returns the sentence on how the choice was made.
std::string choiceText(const Tuning& t) {
    if (t.folds == 0) return "The search stopped before its first fold: the defaults are kept.";
    if (t.best == t.tried.front()) return "The defaults scored best.";
    const std::string gain = points(t.gain) + " points";
    const std::string error = points(t.standardError);
    const std::string best =
        "<code>" +
        escape(t.labels[static_cast<std::size_t>(std::find(t.tried.begin(), t.tried.end(), t.best) -
                                                 t.tried.begin())]) +
        "</code>";
    if (t.chosen == t.best)
        return best + " beat the defaults by " + gain +
               ", more than the standard error of the folds' paired differences (" + error +
               "): it is chosen.";
    return best + " scored " + gain +
           " above the defaults, within the standard error of the folds' paired differences (" +
           error + "): the defaults are kept.";
}

std::string tuningSvg(const Tuning& t) {
    std::size_t widest = 0;
    for (const std::string& label : t.labels) widest = std::max(widest, displayWidth(label));
    const double left = static_cast<double>(widest) * kMonoWidth + 16;
    double low = 1, high = 0;
    for (std::size_t i = 0; i < t.accuracies.size(); ++i) {
        low = std::min(low, t.accuracies[i] - t.spreads[i]);
        high = std::max(high, t.accuracies[i] + t.spreads[i]);
    }
    std::vector<double> ticks;
    const LinearScale x = accuracyAxis(low, high, left, left + kPlotWidth, ticks);
    const double bottom = 8 + kRowHeight * static_cast<double>(t.labels.size());
    Svg svg(left + kPlotWidth + 150, bottom + 24,
            "Cross-validated accuracy of each candidate setting");
    drawAxis(svg, x, ticks, 4, bottom);
    for (std::size_t i = 0; i < t.labels.size(); ++i) {
        const double y = 8 + kRowHeight * (static_cast<double>(i) + 0.5);
        const bool chosen = t.tried[i] == t.chosen, best = t.tried[i] == t.best;
        const std::string figures = points(t.accuracies[i]) + " % \u00b1 " + points(t.spreads[i]);
        svg.group(t.labels[i] + ": " + figures + (chosen ? ", chosen" : "") +
                      (best && !chosen ? ", the best" : ""),
                  chosen ? "candidate chosen" : "candidate");
        svg.text(left - 10, y + 4, t.labels[i], "mono", Anchor::End);
        svg.line(x(t.accuracies[i] - t.spreads[i]), y, x(t.accuracies[i] + t.spreads[i]), y,
                 "whisker");
        svg.circle(x(t.accuracies[i]), y, 4.5, "dot");
        std::string mark = figures;
        if (chosen) mark += "  chosen";
        if (best && !chosen) mark += "  best";
        svg.text(left + kPlotWidth + 10, y + 4, mark, chosen ? "value strong" : "value");
        svg.endGroup();
    }
    return svg.finish();
}

}  // namespace

std::string tuningPicture(const Tuning& t) {
    if (t.skipped)
        return std::string("<p>Self-tuning kept the defaults: ") +
               (t.tooLarge ? "on data this large, another setting's training on all the records "
                             "could take longer than the time limit allows."
                           : "choosing them by cross-validation on this data would take longer "
                             "than the time limit allows.") +
               "</p>\n";
    std::string html = "<p class=\"caption\">Each candidate's accuracy by " +
                       (t.repeats > 1 ? std::to_string(t.repeats) + " deals of " : "") +
                       std::to_string(t.plannedFolds / std::max<std::size_t>(1, t.repeats)) +
                       "-fold cross-validation on " + std::to_string(t.records) +
                       " training records";
    if (t.attributes > 0)
        html += " and a seeded sample of " + std::to_string(t.attributes) + " of the " +
                std::to_string(t.allAttributes) + " attributes";
    html +=
        ": the dot is the pooled accuracy, the bar one standard deviation of the folds' "
        "accuracies either side; the defaults come first.</p>\n<div class=\"scroll\">" +
        tuningSvg(t) + "</div>\n<p>" + choiceText(t);
    if (t.cut)
        html += " The machine was slower than planned: the search stopped after " +
                std::to_string(t.folds) + " of its " + std::to_string(t.plannedFolds) + " folds.";
    html += "</p>\n";
    if (!t.untried.empty()) {
        html += "<p>Not tried, to keep within the time limit:";
        for (const std::string& u : t.untried) html += " <code>" + escape(u) + "</code>";
        html += "</p>\n";
    }
    return html;
}

std::string foldsPicture(const std::vector<double>& accuracies) {
    if (accuracies.empty()) return "";
    const double n = static_cast<double>(accuracies.size());
    double mean = 0;
    for (const double a : accuracies) mean += a / n;
    double squares = 0;
    for (const double a : accuracies) squares += (a - mean) * (a - mean);
    const double sd = accuracies.size() > 1 ? std::sqrt(squares / (n - 1)) : 0.0;
    const double pitch = std::clamp(560.0 / n, 6.0, 40.0);
    const double left = 56, top = 10, plot = 180;
    std::vector<double> ticks;
    const auto [low, high] = std::minmax_element(accuracies.begin(), accuracies.end());
    const LinearScale y = accuracyAxis(*low, *high, top + plot, top, ticks);
    Svg svg(left + pitch * n + 20, top + plot + 30, "Accuracy of each fold");
    const double step = tickStep(ticks);
    for (const double t : ticks) {
        svg.line(left, y(t / 100), left + pitch * n, y(t / 100), "grid");
        svg.text(left - 6, y(t / 100) + 4, tickText(t, step) + " %", "axis", Anchor::End);
    }
    svg.line(left, y(mean), left + pitch * n, y(mean), "mean");
    for (std::size_t f = 0; f < accuracies.size(); ++f) {
        const double x = left + pitch * (static_cast<double>(f) + 0.5);
        svg.circle(x, y(accuracies[f]), std::min(5.0, pitch / 2.5), "dot",
                   "fold " + std::to_string(f + 1) + ": " + points(accuracies[f]) + " %");
        if (pitch >= 18 || (f + 1) % 5 == 0)
            svg.text(x, top + plot + 16, std::to_string(f + 1), "axis", Anchor::Middle);
    }
    return "<p>Accuracy over the " + std::to_string(accuracies.size()) + " folds: mean " +
           points(mean) + " %, standard deviation " + points(sd) +
           " % (the line: their mean).</p>\n<div class=\"scroll\">" + svg.finish() + "</div>\n";
}

}  // namespace mining::pictures
