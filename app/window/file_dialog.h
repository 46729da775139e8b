#pragma once

#include <QString>

class QFileDialog;

namespace classifiers {

// Gives `dialog` the filters of the "|"-separated `list`, the first one selected. The dialog
// shows each filter's description as it is and lists the files its effective patterns select.
void setDialogFilters(QFileDialog* dialog, const QString& list);

// Shows `dialog` modally with the data file filters, `current` as its file name when not empty,
// and returns the file the user chose; after a cancel returns `current` unchanged (the empty
// text when nothing was ever chosen). Events, a pending timer tick among them, are still
// delivered while the dialog is open.
QString chooseDataFile(QFileDialog* dialog, const QString& current);

}  // namespace classifiers
