#include "run/dialog_filters.h"

namespace classifiers {

QList<DialogFilter> parseFilterList(const QString& list) {
    const QStringList parts = list.split(QLatin1Char('|'));
    QList<DialogFilter> filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        filters.append({parts[i], parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)});
    }
    return filters;
}

QStringList effectivePatterns(const QStringList& patterns) {
#ifdef Q_OS_WIN
    return patterns;
#else
    QStringList out;
    for (const QString& p : patterns) {
        out.append(p == QLatin1String("*.*") ? QStringLiteral("*") : p);
    }
    return out;
#endif
}

}  // namespace classifiers
