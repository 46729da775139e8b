#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace classifiers {

// The data file dialog's filter list, in its one-string form: "|"-separated pairs of a
// description and a pattern.
inline constexpr char kDataFileFilterList[] =
    "All Files (*.*)|*.*|Data Files (*.data)|*.data|"
    "Tables (*.csv *.tsv *.txt *.arff)|*.csv;*.tsv;*.txt;*.arff";

struct DialogFilter {
    QString description;   // what the user sees, e.g. "Data Files (*.data)"
    QStringList patterns;  // e.g. {"*.data"}; several are separated by ';' in the list
};

// Returns the pairs of a "|"-separated filter list, in order. A trailing description without a
// pattern is dropped.
QList<DialogFilter> parseFilterList(const QString& list);

// Returns the patterns that select the files a filter means on this platform. On Linux "*.*" would
// pass only names with a dot; it means every file, so it becomes "*".
QStringList effectivePatterns(const QStringList& patterns);

}  // namespace classifiers
