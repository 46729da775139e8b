// Run: check the request, start the chosen classifier and start the wait for its result.

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include "../window/main_window.h"
#include "../window/show_message.h"
#include "base_name.h"
#include "classifier_choice.h"
#include "percent.h"

namespace {
const char kNoInputFile[] = "Please select valid input file";
const char kOutOfRange[] = "Please select training set between 0 and 100";
const char kAborting[] = "Error !!! Aborting process";
}  // namespace

void MainWindow::command1Clicked() {
    // Only a .data file can be run: the classifier reads BASE.data and writes beside it.
    if (state_.strInputFile.isEmpty() || !isDataFile(state_.strInputFile)) {
        ShowMessage(this, QString::fromLatin1(kNoInputFile));
        return;
    }
    const std::optional<double> percent = parsePercent(txtPercent->text());
    if (!percent) {
        ShowMessage(this, QString::fromLatin1(kAborting));
        return;
    }
    state_.dblTrainPercent = *percent;
    if (!percentInRange(state_.dblTrainPercent)) {
        ShowMessage(this, QString::fromLatin1(kOutOfRange));
        return;
    }
    const ClassifierChoice choice = chooseClassifier(Combo1->currentText());
    state_.strOutputFile = state_.strBaseName + choice.resultSuffix;
    const QString program =
        classifierProgramPath(programDirectory(), options_.programSubdir, choice.programName);
    resultAtRun_ = snapshotFile(state_.strOutputFile);
    if (!options_.launcher(program, classifierArguments(state_.strBaseName,
                                                        percentText(state_.dblTrainPercent)))) {
        ShowMessage(this, QString::fromLatin1(kAborting));
        return;
    }
    setTimer1Interval(options_.waitMs);
    Command1->setEnabled(false);
}
