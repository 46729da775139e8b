#pragma once

#include <gtest/gtest.h>

#include <QComboBox>
#include <QFileDialog>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>

#include "window/main_window.h"

namespace classifiers {

// Returns the child of `window` named `name` of type T; a test fails when there is none.
template <typename T>
T* findControl(const MainWindow& window, const char* name) {
    T* found = window.findChild<T*>(QString::fromLatin1(name));
    if (!found) ADD_FAILURE() << "no control named " << name;
    return found;
}

// The window's controls, found by the object names of the window's description.
struct Controls {
    explicit Controls(const MainWindow& w)
        : Command1(findControl<QPushButton>(w, "Command1")),
          cmdFile(findControl<QPushButton>(w, "cmdFile")),
          Picture1(findControl<QFrame>(w, "Picture1")),
          Command3(findControl<QPushButton>(w, "Command3")),
          txtPercent(findControl<QLineEdit>(w, "txtPercent")),
          Combo1(findControl<QComboBox>(w, "Combo1")),
          rtbResult(findControl<QTextEdit>(w, "rtbResult")),
          Label3(findControl<QLabel>(w, "Label3")),
          Label2(findControl<QLabel>(w, "Label2")),
          Label4(findControl<QLabel>(w, "Label4")),
          Timer1(findControl<QTimer>(w, "Timer1")),
          CommonDialog1(findControl<QFileDialog>(w, "CommonDialog1")) {}

    QPushButton* Command1;
    QPushButton* cmdFile;
    QFrame* Picture1;
    QPushButton* Command3;
    QLineEdit* txtPercent;
    QComboBox* Combo1;
    QTextEdit* rtbResult;
    QLabel* Label3;
    QLabel* Label2;
    QLabel* Label4;
    QTimer* Timer1;
    QFileDialog* CommonDialog1;
};

}  // namespace classifiers
