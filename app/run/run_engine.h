#pragma once

#include <QString>
#include <QStringList>

#include "run/result_file.h"
#include "run/window_state.h"

namespace classifiers {

// Where the classifier programs lie and how long a run waits for its result.
struct LaunchSettings {
    QString programDir;     // folder of the front end; empty: the running program's own folder
    QString programSubdir;  // folder below programDir that holds the classifiers ("" or "debug")
    int waitMs = 3000;      // how long Run waits before the result is loaded
};

// What pressing Run comes to: either a message to show, and nothing is started, or a classifier
// program to start with its arguments, whose result file the end of the wait loads.
struct RunOutcome {
    QString message;        // not empty: show it; the request ends here
    QString program;        // otherwise: the classifier's full path
    QStringList arguments;  // the data file's base path (a table's whole path) and the
                            // percentage text, each whole
    QString resultFile;     // the file the classifier will write
};

// The front end's decisions, with no widget: it keeps the window's state record and the state of
// the result file at Run, and answers the window's three events (a file chosen, Run pressed, the
// wait ended). The window reads its controls, asks here and shows what comes back.
class RunEngine {
public:
    explicit RunEngine(LaunchSettings settings);

    // Returns the window's state record.
    const WindowState& state() const { return state_; }

    // Returns how long the window waits after a started run before it calls waitEnded().
    int waitMs() const { return settings_.waitMs; }

    // The open-file dialog returned `fileName`: the chosen file, or after a cancel the name it
    // kept (empty when nothing was ever chosen). Sets strInputFile to it and strBaseName to it
    // less its last five characters; a name shorter than that keeps the previous strBaseName.
    void fileChosen(const QString& fileName);

    // Run was pressed with `percentText` in the percentage field and `comboText` in the
    // classifier box. The checks, in order, each ending the request with its message:
    //   no file a classifier reads  -> "Please select valid input file" (nothing changes);
    //   the percentage is no number -> "Error !!! Aborting process";
    //   it lies outside 0 to 100    -> "Please select training set between 0 and 100".
    // A number read is stored in dblTrainPercent before the range check. When all pass, sets
    // strOutputFile, notes the result file's state now (to tell a new result from a stale one)
    // and returns the program, arguments and result file to start. A classifier reads a .data
    // file, started on its base path, or a table (.csv, .tsv, .txt, .arff), started on its whole
    // path; either leaves its result beside the file (see runInputFor).
    RunOutcome runPressed(const QString& percentText, const QString& comboText);

    // Returns the message for a classifier that could not be started: the request ends, and
    // what runPressed() stored stays stored.
    QString startFailed() const;

    // Returns the result of the run once the wait has ended: the view's text, or a message that
    // names the result file when it is missing, unreadable or unchanged since Run.
    ResultLoad waitEnded() const;

private:
    QString programDirectory() const;

    LaunchSettings settings_;
    WindowState state_;
    FileSnapshot resultAtRun_;  // the result file as it was when Run started the wait
};

}  // namespace classifiers
