#pragma once

#include <gtest/gtest.h>

#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "controls.h"
#include "gui_helpers.h"
#include "window/main_window.h"

namespace classifiers {

// Presses Input File and, inside the dialog, runs `inside` and then enters `choice` (or presses
// Escape when it is empty). Returns once the dialog has closed.
inline void chooseInDialog(MainWindow& window, const QString& choice,
                           std::function<void(QFileDialog*)> inside = {}) {
    bool opened = false;
    onNextModal<QFileDialog>([&](QFileDialog* d) {
        opened = true;
        if (inside) inside(d);
        auto* edit = d->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(edit, nullptr);
        if (choice.isEmpty()) {
            QTest::keyClick(edit, Qt::Key_Escape);
        } else {
            // Typing key by key would race the completer: set the text, then press Enter.
            edit->setText(choice);
            QTest::keyClick(edit, Qt::Key_Return);
        }
    });
    QTest::mouseClick(Controls(window).cmdFile, Qt::LeftButton);
    EXPECT_TRUE(opened);
    EXPECT_FALSE(Controls(window).CommonDialog1->isVisible());
}

}  // namespace classifiers
