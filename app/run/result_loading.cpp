// The end of the wait: show the classifier's result and let the user run again.

#include <QPushButton>
#include <QTextEdit>

#include "../window/main_window.h"
#include "../window/show_message.h"
#include "result_file.h"

void MainWindow::timer1Elapsed() {
    setTimer1Interval(0);  // once per run
    rtbResult->setPlainText(QString());
    const ResultLoad result = loadResult(state_.strOutputFile, resultAtRun_, options_.waitMs);
    if (result.ok) rtbResult->setPlainText(result.text);
    Command1->setEnabled(true);
    // A missing, unreadable or stale result is never shown as this run's result.
    if (!result.ok) ShowMessage(this, result.problem);
}
