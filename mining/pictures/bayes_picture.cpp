#include "pictures/bayes_picture.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

#include "pictures/markup.h"
#include "pictures/scale.h"
#include "pictures/svg.h"
#include "util/interval_text.h"
#include "util/number_format.h"
#include "util/report_text.h"

namespace mining::pictures {

namespace {

// The drawing's size and its plot's place within it.
constexpr double kWidth = 560, kHeight = 176;
constexpr double kLeft = 52, kRight = 540, kTop = 12, kBottom = 136;
// About the width of one character of the 10 px labels.
constexpr double kSmallChar = 5.6;

// One attribute's distributions per class over its cells, and what the cells are.
struct Distributions {
    std::size_t attribute = 0;
    bool curve = false;
    std::vector<double> points;       // curve: the x of each cell
    std::vector<std::string> labels;  // bars: each cell's label and its full text
    std::vector<std::string> titles;
    std::vector<std::vector<double>> shares;  // [class][cell], each class's summing to 1
    double separation = 0;
};

// Returns the span a numeric attribute's curves are drawn over: for a normal attribute, where
// each class's curve stands above a fiftieth of its peak (its mean 2.8 standard deviations either
// side), read from the model; for a kernel one, its present values among `rows`, widened by a
// twentieth either side.
std::pair<double, double> valueRange(const NaiveBayes& model, const Dataset& data, std::size_t a,
                                     std::span<const RowIndex> rows) {
    double low = std::numeric_limits<double>::infinity(), high = -low;
    if (model.treatment(a) == AttributeUse::Normal) {
        for (std::size_t c = 0; c < data.classCount(); ++c) {
            low = std::min(low, model.mean(a, c) - 2.8 * model.stdDev(a, c));
            high = std::max(high, model.mean(a, c) + 2.8 * model.stdDev(a, c));
        }
        if (high > low && std::isfinite(high - low)) return {low, high};
    }
    const NumericColumn& column = data.numeric(a);
    for (const RowIndex r : rows) {
        const double v = column[r];
        if (isMissing(v) || !std::isfinite(v)) continue;
        low = std::min(low, v);
        high = std::max(high, v);
    }
    if (!(high >= low) || !std::isfinite(high - low)) return {0.0, 1.0};
    if (high == low) return {low - 0.5, high + 0.5};
    const double pad = (high - low) / 20;
    return {low - pad, high + pad};
}

// Scales `row` to sum to 1 (left as it is when it sums to 0).
void normalise(std::vector<double>& row) {
    const double sum = std::accumulate(row.begin(), row.end(), 0.0);
    if (sum > 0 && std::isfinite(sum))
        for (double& v : row) v /= sum;
}

Distributions curves(const NaiveBayes& model, const Dataset& data, std::size_t a,
                     std::span<const RowIndex> rows) {
    Distributions d;
    d.attribute = a;
    d.curve = true;
    const auto [low, high] = valueRange(model, data, a, rows);
    for (std::size_t i = 0; i < kCurvePoints; ++i)
        d.points.push_back(low + (high - low) * static_cast<double>(i) / (kCurvePoints - 1));
    for (std::size_t c = 0; c < data.classCount(); ++c) {
        std::vector<double> logs;
        for (const double x : d.points) logs.push_back(model.logLikelihood(a, c, x));
        const double top = *std::max_element(logs.begin(), logs.end());
        std::vector<double> row;
        for (const double l : logs) row.push_back(std::isfinite(top) ? std::exp(l - top) : 0.0);
        normalise(row);
        d.shares.push_back(std::move(row));
    }
    return d;
}

// Returns the label and the hover text of bin `b` of discretized attribute `a`.
std::pair<std::string, std::string> binTexts(const std::vector<double>& cuts, std::size_t b,
                                             const std::string& name) {
    const double lo = b == 0 ? -INFINITY : cuts[b - 1];
    const double hi = b == cuts.size() ? INFINITY : cuts[b];
    std::string label;
    if (cuts.empty())
        label = "all";
    else if (b == 0)
        label = "\u2264 " + shortestDecimal(hi);
    else if (b == cuts.size())
        label = "> " + shortestDecimal(lo);
    else
        label = shortestDecimal(lo) + "\u2013" + shortestDecimal(hi);
    return {label, intervalCondition(name, lo, hi, ClosedEnd::Upper)};
}

Distributions bars(const NaiveBayes& model, const Dataset& data, std::size_t a) {
    Distributions d;
    d.attribute = a;
    const Attribute& attribute = data.attribute(a);
    const std::size_t values = model.valueCount(a);
    for (std::size_t v = 0; v < values; ++v) {
        if (attribute.type == AttributeType::Numeric) {
            auto [label, title] = binTexts(model.cutPoints(a), v, attribute.name);
            d.labels.push_back(std::move(label));
            d.titles.push_back(std::move(title));
        } else {
            const std::string value = v < attribute.values.size() ? attribute.values[v] : "?";
            d.labels.push_back(value);
            d.titles.push_back(attribute.name + " = " + value);
        }
    }
    for (std::size_t c = 0; c < data.classCount(); ++c) {
        std::vector<double> row;
        for (std::size_t v = 0; v < values; ++v) row.push_back(model.probability(a, c, v));
        d.shares.push_back(std::move(row));
    }
    return d;
}

void drawValueAxis(Svg& svg, double low, double high) {
    const LinearScale x(low, high, kLeft, kRight);
    const std::vector<double> ticks = niceTicks(low, high, 6);
    const double step = tickStep(ticks);
    for (const double t : ticks) {
        svg.line(x(t), kBottom, x(t), kBottom + 4, "baseline");
        svg.text(x(t), kBottom + 16, tickText(t, step), "small", Anchor::Middle);
    }
}

// Returns the hover text of class c's curve.
std::string curveTitle(const NaiveBayes& model, const Dataset& data, std::size_t a, std::size_t c) {
    const std::string& name = data.classValues()[c];
    if (model.treatment(a) == AttributeUse::Kernel)
        return name + ": kernel density of " + data.attribute(a).name;
    return name + ": normal, mean " + formatGeneral(model.mean(a, c), 5) + ", standard deviation " +
           formatGeneral(model.stdDev(a, c), 5);
}

std::string curveSvg(const Distributions& d, const NaiveBayes& model, const Dataset& data) {
    const std::string& name = data.attribute(d.attribute).name;
    Svg svg(kWidth, kHeight, "The distribution of " + name + " within each class");
    svg.line(kLeft, kBottom, kRight, kBottom, "baseline");
    double top = 0;
    for (const auto& row : d.shares) top = std::max(top, *std::max_element(row.begin(), row.end()));
    const LinearScale x(d.points.front(), d.points.back(), kLeft, kRight);
    const LinearScale y(0, top > 0 ? top : 1, kBottom, kTop);
    drawValueAxis(svg, d.points.front(), d.points.back());
    for (std::size_t c = 0; c < d.shares.size(); ++c) {
        std::string path;
        for (std::size_t i = 0; i < d.points.size(); ++i)
            path += (i == 0 ? "M" : "L") + coordinate(x(d.points[i])) + " " +
                    coordinate(y(d.shares[c][i]));
        svg.path(path, "curve s" + std::to_string(c), curveTitle(model, data, d.attribute, c));
    }
    svg.text(kRight, kBottom + 32, name, "axis", Anchor::End);
    return svg.finish();
}

// Returns the cells drawn of `d`: all of them up to kBarValues, else those with the largest
// share in some class, in their order.
std::vector<std::size_t> shownCells(const Distributions& d) {
    const std::size_t cells = d.labels.size();
    std::vector<std::size_t> order(cells);
    std::iota(order.begin(), order.end(), 0);
    if (cells <= kBarValues) return order;
    std::vector<double> most(cells, 0);
    for (const auto& row : d.shares)
        for (std::size_t v = 0; v < cells; ++v) most[v] = std::max(most[v], row[v]);
    std::stable_sort(order.begin(), order.end(),
                     [&most](std::size_t a, std::size_t b) { return most[a] > most[b]; });
    order.resize(kBarValues);
    std::sort(order.begin(), order.end());
    return order;
}

void drawProbabilityAxis(Svg& svg, const LinearScale& y, double top) {
    const std::vector<double> ticks = niceTicks(0, top, 4);
    const double step = tickStep(ticks);
    for (const double t : ticks) {
        svg.line(kLeft, y(t), kRight, y(t), "grid");
        svg.text(kLeft - 4, y(t) + 3, tickText(t, step), "small", Anchor::End);
    }
}

std::string barsSvg(const Distributions& d, const Dataset& data) {
    const std::string& name = data.attribute(d.attribute).name;
    const std::vector<std::size_t> cells = shownCells(d);
    const std::size_t k = d.shares.size();
    Svg svg(kWidth, kHeight, "The probability of each value of " + name + " within each class");
    double top = 0;
    for (const auto& row : d.shares)
        for (const std::size_t v : cells) top = std::max(top, row[v]);
    const LinearScale y(0, top > 0 ? top : 1, kBottom, kTop);
    drawProbabilityAxis(svg, y, top > 0 ? top : 1);
    svg.line(kLeft, kBottom, kRight, kBottom, "baseline");
    const double pitch =
        (kRight - kLeft) / static_cast<double>(std::max<std::size_t>(1, cells.size()));
    const double width = std::max(1.0, std::min(14.0, pitch * 0.8 / static_cast<double>(k)));
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const std::size_t v = cells[i];
        const double middle = kLeft + pitch * (static_cast<double>(i) + 0.5);
        const double first = middle - width * static_cast<double>(k) / 2;
        for (std::size_t c = 0; c < k; ++c)
            svg.rect(first + width * static_cast<double>(c), y(d.shares[c][v]), width,
                     kBottom - y(d.shares[c][v]), "c" + std::to_string(c),
                     data.classValues()[c] + ": P(" + d.titles[v] +
                         ") = " + formatFixed(d.shares[c][v], 4));
        const auto columns = static_cast<std::size_t>(pitch / kSmallChar);
        if (columns >= 3)
            svg.text(middle, kBottom + 14, shortToWidth(d.labels[v], columns), "small",
                     Anchor::Middle, d.titles[v]);
    }
    svg.text(kRight, kBottom + 32, name, "axis", Anchor::End);
    return svg.finish();
}

std::string treatmentText(const NaiveBayes& model, const Dataset& data, std::size_t a) {
    if (data.attribute(a).type != AttributeType::Numeric) return "values";
    switch (model.treatment(a)) {
        case AttributeUse::Kernel:
            return "kernel density";
        case AttributeUse::Discretize:
            return "MDL bins";
        default:
            return "normal";
    }
}

std::string leftOutHtml(const NaiveBayes& model, const Dataset& data) {
    std::string items;
    for (std::size_t a = 0; a < data.attributeCount(); ++a)
        if (model.treatment(a) == AttributeUse::LeftOut)
            items += "<li><b>" + escape(data.attribute(a).name) +
                     "</b>: " + escape(model.leftOutReason(a)) + "</li>";
    if (items.empty()) return "<p>Every attribute takes part.</p>\n";
    return "<h3>Attributes left out</h3>\n<ul class=\"left-out\">" + items + "</ul>\n";
}

}  // namespace

double separation(const std::vector<std::vector<double>>& perClass,
                  const std::vector<double>& priors) {
    std::vector<std::vector<double>> rows = perClass;
    std::vector<double> weights;
    for (std::size_t c = 0; c < rows.size(); ++c) {
        normalise(rows[c]);
        const double sum = std::accumulate(rows[c].begin(), rows[c].end(), 0.0);
        weights.push_back(sum > 0 && c < priors.size() ? priors[c] : 0.0);
    }
    const double total = std::accumulate(weights.begin(), weights.end(), 0.0);
    if (!(total > 0) || rows.empty()) return 0;
    std::vector<double> overall(rows.front().size(), 0);
    for (std::size_t c = 0; c < rows.size(); ++c)
        for (std::size_t v = 0; v < overall.size() && v < rows[c].size(); ++v)
            overall[v] += weights[c] / total * rows[c][v];
    double bits = 0;
    for (std::size_t c = 0; c < rows.size(); ++c)
        for (std::size_t v = 0; v < overall.size() && v < rows[c].size(); ++v)
            if (rows[c][v] > 0 && overall[v] > 0)
                bits += weights[c] / total * rows[c][v] * std::log2(rows[c][v] / overall[v]);
    return std::max(0.0, bits);
}

std::string bayesPicture(const NaiveBayes& model, const Dataset& data,
                         std::span<const RowIndex> rows, const std::string& choice) {
    std::vector<double> priors;
    for (std::size_t c = 0; c < data.classCount(); ++c) priors.push_back(model.prior(c));
    std::vector<Distributions> drawn;
    for (std::size_t a = 0; a < data.attributeCount(); ++a) {
        if (model.treatment(a) == AttributeUse::LeftOut) continue;
        const bool curve = data.attribute(a).type == AttributeType::Numeric &&
                           model.treatment(a) != AttributeUse::Discretize;
        drawn.push_back(curve ? curves(model, data, a, rows) : bars(model, data, a));
        drawn.back().separation = separation(drawn.back().shares, priors);
    }
    std::stable_sort(
        drawn.begin(), drawn.end(),
        [](const Distributions& a, const Distributions& b) { return a.separation > b.separation; });
    std::string html = choice.empty() ? "" : "<p>" + choice + "</p>\n";
    html +=
        "<p class=\"caption\">Each attribute the model uses, with its distribution within "
        "each class on one axis: a curve per class for a numeric attribute (normal or kernel "
        "density, each scaled to the same area), a bar per class and value for a nominal or "
        "discretized one (P(value | class)). The attributes come in order of how much their "
        "value tells of the class (the mutual information of the two, in bits), the most "
        "first. Hover for the figures.</p>\n";
    for (const Distributions& d : drawn) {
        const std::string& name = data.attribute(d.attribute).name;
        html += "<figure class=\"attribute\"><figcaption><b>" + escape(name) + "</b> (" +
                treatmentText(model, data, d.attribute) + "): " + formatFixed(d.separation, 3) +
                " bits</figcaption><div class=\"scroll\">" +
                (d.curve ? curveSvg(d, model, data) : barsSvg(d, data)) + "</div>";
        if (!d.curve && d.labels.size() > kBarValues)
            html += "<p class=\"more\">The " + std::to_string(kBarValues) + " of its " +
                    std::to_string(d.labels.size()) +
                    " values most probable in some class are drawn.</p>";
        html += "</figure>\n";
    }
    return html + leftOutHtml(model, data);
}

}  // namespace mining::pictures
