#include "percent.h"

#include <QLocale>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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
    std::snprintf(rounded, sizeof rounded, "%.14e", percent);
    const int exponent = std::atoi(std::strchr(rounded, 'e') + 1);
    const int decimals = std::max(0, 14 - exponent);
    QString text = QString::number(std::strtod(rounded, nullptr), 'f', decimals);
    if (text.contains(u'.')) {
        while (text.endsWith(u'0')) text.chop(1);
        if (text.endsWith(u'.')) text.chop(1);
    }
    return text;
}
