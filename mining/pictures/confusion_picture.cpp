#include "pictures/confusion_picture.h"

#include <algorithm>
#include <numeric>

#include "pictures/markup.h"
#include "pictures/palette.h"
#include "pictures/svg.h"
#include "util/display_width.h"
#include "util/number_format.h"
#include "util/report_text.h"

namespace mining::pictures {

namespace {

// The colours of right and wrong cells: Okabe and Ito's blue and vermilion.
constexpr const char* kRightColour = "#0072B2";
constexpr const char* kWrongColour = "#D55E00";
// The longest class name the matrix's labels show whole, in display columns.
constexpr std::size_t kLabelColumns = 24;
// About the width of one character of the labels' 12 px font, and of the cells' 11 px digits.
constexpr double kCharWidth = 7.0;
constexpr double kDigitWidth = 6.6;

std::string percent(double share) { return formatFixed(100.0 * share, 1) + " %"; }

// Returns the label of row `row` of `shown`: "(3) Iris-virginica", or "(other 12 classes)".
std::string rowLabel(const ShownClasses& shown, std::size_t row,
                     const std::vector<std::string>& names) {
    if (row == shown.classes.size()) return "(other " + std::to_string(shown.others) + " classes)";
    const std::size_t c = shown.classes[row];
    return "(" + std::to_string(c + 1) + ") " + shortToWidth(names[c], kLabelColumns);
}

std::string fullName(const ShownClasses& shown, std::size_t row,
                     const std::vector<std::string>& names) {
    if (row == shown.classes.size())
        return "the other " + std::to_string(shown.others) + " classes";
    return names[shown.classes[row]];
}

// The matrix's geometry: the cells' size and where the grid starts.
struct Layout {
    std::size_t rows = 0;
    double cell = 0;
    double left = 0;  // the row labels' width
    double top = 0;   // the turned column labels' height
    double width() const { return left + cell * static_cast<double>(rows) + std::max(70.0, top); }
    double height() const { return top + cell * static_cast<double>(rows) + 30; }
};

Layout layoutOf(const ShownClasses& shown, const std::vector<std::string>& names) {
    Layout l;
    l.rows = shown.classes.size() + (shown.others > 0 ? 1 : 0);
    l.cell = std::clamp(520.0 / static_cast<double>(l.rows), 18.0, 46.0);
    std::size_t widest = 0;
    for (std::size_t r = 0; r < l.rows; ++r)
        widest = std::max(widest, displayWidth(rowLabel(shown, r, names)));
    l.left = static_cast<double>(widest) * kCharWidth + 12;
    l.top = static_cast<double>(widest) * kCharWidth * 0.72 + 16;
    return l;
}

void drawLabels(Svg& svg, const Layout& l, const ShownClasses& shown,
                const std::vector<std::string>& names) {
    for (std::size_t r = 0; r < l.rows; ++r) {
        const std::string label = rowLabel(shown, r, names);
        const double middle = (static_cast<double>(r) + 0.5) * l.cell;
        svg.text(l.left - 6, l.top + middle + 4, label, "label", Anchor::End,
                 "actual " + fullName(shown, r, names));
        svg.turnedText(l.left + middle + 4, l.top - 6, -45, label, "label", Anchor::Start,
                       "predicted " + fullName(shown, r, names));
    }
    const double right = l.left + l.cell * static_cast<double>(l.rows);
    svg.text(right + 8, l.top - 6, "records", "axis");
}

// Draws cell (r, p): its colour, its count where the digits fit, and on hover what it holds.
void drawCell(Svg& svg, const Layout& l, const ShownClasses& shown,
              const std::vector<std::string>& names, std::size_t r, std::size_t p,
              std::size_t count, std::size_t rowTotal) {
    const double share = rowTotal == 0 ? 0 : static_cast<double>(count) / rowTotal;
    const bool right = r == p && r < shown.classes.size();
    const std::string colour = rampColour(right ? kRightColour : kWrongColour, share);
    const std::string title = "actual " + fullName(shown, r, names) + ", predicted " +
                              fullName(shown, p, names) + ": " + std::to_string(count) +
                              (count == 1 ? " record" : " records") + " (" + percent(share) +
                              " of the actual class's)";
    const double x = l.left + static_cast<double>(p) * l.cell;
    const double y = l.top + static_cast<double>(r) * l.cell;
    svg.group(title, "cell");
    svg.filledRect(x, y, l.cell - 1, l.cell - 1, colour);
    const std::string digits = std::to_string(count);
    // An empty cell stays blank, so that the records stand out; its <title> still says 0.
    if (count > 0 && static_cast<double>(digits.size()) * kDigitWidth <= l.cell - 4)
        svg.text(x + l.cell / 2, y + l.cell / 2 + 4, digits,
                 textColourOn(colour) == "#ffffff" ? "count light" : "count", Anchor::Middle);
    svg.endGroup();
}

std::string matrixSvg(const Evaluation& evaluation, const ShownClasses& shown,
                      const std::vector<std::string>& names) {
    const Layout l = layoutOf(shown, names);
    const std::vector<std::size_t> cells = groupedMatrix(evaluation, shown);
    Svg svg(l.width(), l.height(),
            "Confusion matrix of " + std::to_string(l.rows) +
                " classes: rows are the actual class, columns the predicted class");
    drawLabels(svg, l, shown, names);
    std::vector<std::size_t> columnTotals(l.rows, 0);
    for (std::size_t r = 0; r < l.rows; ++r) {
        std::size_t rowTotal = 0;
        for (std::size_t p = 0; p < l.rows; ++p) rowTotal += cells[r * l.rows + p];
        for (std::size_t p = 0; p < l.rows; ++p) {
            drawCell(svg, l, shown, names, r, p, cells[r * l.rows + p], rowTotal);
            columnTotals[p] += cells[r * l.rows + p];
        }
        const double y = l.top + (static_cast<double>(r) + 0.5) * l.cell + 4;
        svg.text(l.left + l.cell * static_cast<double>(l.rows) + 8, y, std::to_string(rowTotal),
                 "axis", Anchor::Start,
                 fullName(shown, r, names) + ": " + std::to_string(rowTotal) + " records");
    }
    const double bottom = l.top + l.cell * static_cast<double>(l.rows) + 16;
    for (std::size_t p = 0; p < l.rows; ++p)
        if (static_cast<double>(std::to_string(columnTotals[p]).size()) * kDigitWidth <= l.cell)
            svg.text(l.left + (static_cast<double>(p) + 0.5) * l.cell, bottom,
                     std::to_string(columnTotals[p]), "axis", Anchor::Middle,
                     "predicted " + fullName(shown, p, names) + ": " +
                         std::to_string(columnTotals[p]) + " records");
    return svg.finish();
}

// Returns a table cell with `value`'s bar and its figure, or a dash where it is undefined.
std::string figureCell(double value, bool defined, const std::string& what) {
    if (!defined) return "<td class=\"figure\">&#8211;</td>";
    Svg svg(100, 12, what + " " + formatFixed(value, 4));
    svg.rect(0, 1, 100, 10, "track");
    svg.rect(0, 1, 100 * std::clamp(value, 0.0, 1.0), 10, "bar");
    return "<td class=\"figure\">" + svg.finish() + " " + formatFixed(value, 4) + "</td>";
}

std::string perClassTable(const Evaluation& e, const ShownClasses& shown,
                          const std::vector<std::string>& names) {
    std::string html =
        "<table class=\"per-class\"><thead><tr><th>Class</th><th>Precision</th><th>Recall</th>"
        "<th>F1</th><th>Records</th></tr></thead><tbody>";
    for (const std::size_t c : shown.classes) {
        const bool predicted = e.predictedCount(c) > 0, present = e.support(c) > 0;
        const std::string name = names[c];
        html += "<tr><td class=\"name\" title=\"" + escape(name) + "\">" +
                shortEscaped(name, kLabelColumns) + "</td>" +
                figureCell(e.precision(c), predicted, "precision of " + name) +
                figureCell(e.recall(c), present, "recall of " + name) +
                figureCell(e.f1(c), predicted && present, "F1 of " + name) + "<td class=\"n\">" +
                std::to_string(e.support(c)) + "</td></tr>";
    }
    return html + "</tbody></table>";
}

}  // namespace

ShownClasses shownClasses(const Evaluation& evaluation, std::size_t limit) {
    const std::size_t k = evaluation.classCount();
    ShownClasses shown;
    std::vector<std::size_t> order(k);
    std::iota(order.begin(), order.end(), 0);
    if (k > limit) {
        std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            return evaluation.support(a) > evaluation.support(b);
        });
        order.resize(limit - 1);
        std::sort(order.begin(), order.end());
        shown.others = k - order.size();
    }
    shown.classes = order;
    shown.slot.assign(k, order.size());
    for (std::size_t i = 0; i < order.size(); ++i) shown.slot[order[i]] = i;
    return shown;
}

std::vector<std::size_t> groupedMatrix(const Evaluation& evaluation, const ShownClasses& shown) {
    const std::size_t n = shown.classes.size() + (shown.others > 0 ? 1 : 0);
    std::vector<std::size_t> cells(n * n, 0);
    for (std::size_t c = 0; c < evaluation.classCount(); ++c)
        cells[shown.slot[c] * n + shown.slot[c]] += evaluation.count(c, c);
    for (const Evaluation::Confusion& x : evaluation.confusions())
        cells[shown.slot[x.actual] * n + shown.slot[x.predicted]] += x.count;
    return cells;
}

std::string confusionPicture(const Evaluation& evaluation,
                             const std::vector<std::string>& classNames, const std::string& what) {
    const ShownClasses shown = shownClasses(evaluation, kMatrixClasses);
    std::string html = "<p class=\"caption\">The " + escape(what) +
                       ": rows are the actual class, columns the predicted one. A cell's colour "
                       "is its share of its row's records, blue on the diagonal (right), "
                       "vermilion off it (wrong); hover over a cell for its count and share.";
    if (shown.others > 0)
        html += " The " + std::to_string(shown.classes.size()) +
                " classes with the most records have a row and a column each; the other " +
                std::to_string(shown.others) + " share the last.";
    html += "</p>\n<div class=\"scroll\">" + matrixSvg(evaluation, shown, classNames) + "</div>\n";
    html += "<h3>Per class</h3>\n<div class=\"scroll\">" +
            perClassTable(evaluation, shown, classNames) + "</div>\n";
    return html;
}

}  // namespace mining::pictures
