#pragma once

#include <QWidget>

#include "run/launch.h"
#include "run/run_engine.h"

class QComboBox;
class QFileDialog;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QTextEdit;
class QTimer;

namespace classifiers {

// What the window is given from outside. The shipped program uses the defaults; tests give a
// temporary program directory, a short wait and a recording or real launcher.
struct WindowOptions {
    QString programDir;     // folder of the front end; empty: the running program's own folder
    QString programSubdir;  // folder below programDir that holds the classifiers ("" or "debug")
    int waitMs = 3000;      // how long Run waits before it loads the result
    Launcher launcher;      // empty: startDetached
};

// Form1, the program's one window. The controls keep the names of the window's description, as
// member names and object names (so they can be found by name). Each handler reads its controls,
// asks the run engine and shows what it answers.
class MainWindow : public QWidget {
    Q_OBJECT
public:
    explicit MainWindow(WindowOptions options = {}, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Returns the window's state record.
    const WindowState& state() const { return engine_.state(); }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private slots:
    void cmdFileClicked();   // input file selection
    void command1Clicked();  // run request
    void timer1Elapsed();    // result loading
    void command3Clicked();  // exit

private:
    // The window's controls, built in these steps in this order.
    void createControls();
    void createPanel();
    void createLabels();
    void createResultView();
    void createInputs();
    void createButtons();
    void createDialog();
    void setFocusOrder();

    void wireEvents();
    void resizePanel();
    // 0 stops Timer1; any other interval (re)starts it.
    void setTimer1Interval(int milliseconds);

    Launcher launcher_;
    RunEngine engine_;
    QString dialogFileName_;  // CommonDialog1's current file name; kept between openings

    // Controls, by their description's names.
    QPushButton* Command1 = nullptr;  // Run
    QPushButton* cmdFile = nullptr;   // Input File
    QFrame* Picture1 = nullptr;       // panel behind everything
    QPushButton* Command3 = nullptr;  // Exit
    QLineEdit* txtPercent = nullptr;
    QComboBox* Combo1 = nullptr;
    QTextEdit* rtbResult = nullptr;
    QLabel* Label3 = nullptr;  // title
    QLabel* Label2 = nullptr;  // "Percentage of Train"
    QLabel* Label4 = nullptr;  // "Classifier"
    QTimer* Timer1 = nullptr;
    QFileDialog* CommonDialog1 = nullptr;
};

}  // namespace classifiers
