#pragma once

#include <QString>

namespace classifiers {

// What the window keeps for its whole lifetime. Text fields start empty, the number at zero;
// nothing resets them while the program runs.
struct WindowState {
    QString strOutputFile;       // result file that the next timer tick loads (set by Run)
    QString strInputFile;        // data file as the open-file dialog returned it
    QString strBaseName;         // strInputFile less its last five characters (a .data run's
                                 // first argument)
    double dblTrainPercent = 0;  // training percentage as last read from txtPercent
};

}  // namespace classifiers
