// Input File: choose the data file and derive its base path.

#include <QFileDialog>

#include "../window/main_window.h"
#include "base_name.h"
#include "file_dialog.h"

void MainWindow::cmdFileClicked() {
    setDialogFilters(CommonDialog1, QString::fromLatin1(kDataFileFilterList));
    // The dialog keeps its file name between openings and shows it again; a cancel keeps it.
    if (!dialogFileName_.isEmpty()) CommonDialog1->selectFile(dialogFileName_);
    if (CommonDialog1->exec() == QDialog::Accepted && !CommonDialog1->selectedFiles().isEmpty()) {
        dialogFileName_ = CommonDialog1->selectedFiles().constFirst();
    }
    state_.strInputFile = dialogFileName_;
    state_.strBaseName = deriveBaseName(state_.strInputFile, state_.strBaseName);
}
