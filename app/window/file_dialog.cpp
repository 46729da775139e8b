#include "window/file_dialog.h"

#include <QFileDialog>
#include <QFileSystemModel>

#include "run/dialog_filters.h"

namespace classifiers {

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

QString chooseDataFile(QFileDialog* dialog, const QString& current) {
    setDialogFilters(dialog, QString::fromLatin1(kDataFileFilterList));
    // The dialog keeps its file name between openings and shows it again; a cancel keeps it.
    if (!current.isEmpty()) dialog->selectFile(current);
    if (dialog->exec() == QDialog::Accepted && !dialog->selectedFiles().isEmpty()) {
        return dialog->selectedFiles().constFirst();
    }
    return current;
}

}  // namespace classifiers
