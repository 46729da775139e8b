#pragma once

#include <QWidget>

#include "../run/launch.h"
#include "../run/result_file.h"
#include "window_state.h"

class QComboBox;
class QFileDialog;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QTextEdit;
class QTimer;

// What the window is given from outside. The shipped program uses the defaults; tests give a
// temporary program directory, a short wait and a recording or real launcher.
struct WindowOptions {
    QString programDir;     // folder of the front end; empty: the running program's own folder
    QString programSubdir;  // folder below programDir that holds the classifiers ("" or "debug")
    int waitMs = 3000;      // how long Run waits before it loads the result
    Launcher launcher;      // empty: startDetached
};

// Form1, the program's one window. The controls keep the names of the window's description, as
// member names and object names. Everything happens in the handlers of their events.
class MainWindow : public QWidget {
    Q_OBJECT
public:
    explicit MainWindow(WindowOptions options = {}, QWidget* parent = nullptr);
    ~MainWindow() override;

    const WindowState& state() const { return state_; }

    // Controls, by their description's names.
    QPushButton* Command1;  // Run
    QPushButton* cmdFile;   // Input File
    QFrame* Picture1;       // panel behind everything
    QPushButton* Command3;  // Exit
    QLineEdit* txtPercent;
    QComboBox* Combo1;
    QTextEdit* rtbResult;
    QLabel* Label3;  // title
    QLabel* Label2;  // "Percentage of Train"
    QLabel* Label4;  // "Classifier"
    QTimer* Timer1;
    QFileDialog* CommonDialog1;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private slots:
    void cmdFileClicked();   // input file selection
    void command1Clicked();  // run request
    void timer1Elapsed();    // result loading
    void command3Clicked();  // exit

private:
    void createControls();
    void wireEvents();
    void resizePanel();
    // 0 stops Timer1; any other interval (re)starts it.
    void setTimer1Interval(int milliseconds);
    QString programDirectory() const;

    WindowOptions options_;
    WindowState state_;
    QString dialogFileName_;    // CommonDialog1's current file name; kept between openings
    FileSnapshot resultAtRun_;  // the result file as it was when Run started the wait
};
