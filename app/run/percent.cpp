#include "run/percent.h"

#include <QLocale>
#include <QRegularExpression>
#include <algorithm>
#include <charconv>
#include <cmath>

namespace classifiers {

std::optional<double> parsePercent(const QString& text) {
    static const QRegularExpression kDecimal(
        QStringLiteral(R"(^\s*[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?\s*$)"));
    if (!kDecimal.match(text).hasMatch()) return std::nullopt;
    bool ok = false;
    const double value = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(value)) return std::nullopt;
    return value;
}

bool percentInRange(double percent) { return percent >= 0 && percent <= 100; }

QString percentText(double percent) {
    if (percent == 0) return QStringLiteral("0");  // also -0
    // Round to 15 significant digits first; then write that value without an exponent.
    char rounded[64];
    const auto written = std::to_chars(rounded, rounded + sizeof rounded, percent,
                                       std::chars_format::scientific, 14);
    const char* e = std::find(rounded, written.ptr, 'e');
    int exponent = 0;
    std::from_chars(e + (e[1] == '+' ? 2 : 1), written.ptr, exponent);
    double value = percent;
    std::from_chars(rounded, written.ptr, value);
    QString text = QString::number(value, 'f', std::max(0, 14 - exponent));
    if (text.contains(u'.')) {
        while (text.endsWith(u'0')) text.chop(1);
        if (text.endsWith(u'.')) text.chop(1);
    }
    return text;
}

}  // namespace classifiers
