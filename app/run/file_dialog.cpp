#include "file_dialog.h"

#include <QFileDialog>
#include <QFileSystemModel>

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
    for (const QString& p : patterns)
        out.append(p == QLatin1String("*.*") ? QStringLiteral("*") : p);
    return out;
#endif
}

namespace {

// The dialog derives a filter's patterns from the parenthesised part of its description; the
// model that lists the files is then told the patterns that the filter really means.
void applyPatterns(QFileDialog* dialog, const QList<DialogFilter>& filters, const QString& chosen) {
    auto* model = dialog->findChild<QFileSystemModel*>(QStringLiteral("qt_filesystem_model"));
    if (!model) return;
    for (const DialogFilter& f : filters) {
        if (f.description == chosen) {
            model->setNameFilters(effectivePatterns(f.patterns));
            return;
        }
    }
}

}  // namespace

void setDialogFilters(QFileDialog* dialog, const QString& list) {
    const QList<DialogFilter> filters = parseFilterList(list);
    QStringList names;
    for (const DialogFilter& f : filters) names.append(f.description);
    dialog->setNameFilters(names);
    if (names.isEmpty()) return;
    dialog->selectNameFilter(names.constFirst());
    applyPatterns(dialog, filters, names.constFirst());
    QObject::disconnect(dialog, &QFileDialog::filterSelected, nullptr, nullptr);
    QObject::connect(
        dialog, &QFileDialog::filterSelected, dialog,
        [dialog, filters](const QString& chosen) { applyPatterns(dialog, filters, chosen); });
}
