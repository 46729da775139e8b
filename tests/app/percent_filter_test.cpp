// The percentage field's filter, driven by real key events.

#include <gtest/gtest.h>

#include <QClipboard>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "controls.h"
#include "qt_print.h"
#include "window/main_window.h"

using namespace classifiers;

namespace {

class PercentField : public ::testing::Test {
protected:
    void SetUp() override {
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        field = Controls(window).txtPercent;
        field->setFocus();
        field->clear();
    }
    // Sends one key press and release carrying `text`, as typing that key would.
    void press(Qt::Key key, const QString& text, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QKeyEvent down(QEvent::KeyPress, key, mods, text);
        QKeyEvent up(QEvent::KeyRelease, key, mods, text);
        QApplication::sendEvent(field, &down);
        QApplication::sendEvent(field, &up);
    }
    MainWindow window;
    QLineEdit* field = nullptr;
};

}  // namespace

TEST_F(PercentField, DigitsPointAndBackspaceTypeAsUsual) {
    QTest::keyClicks(field, "0123456789.");
    EXPECT_EQ(field->text(), "0123456789.");
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClick(field, Qt::Key_Backspace);
    EXPECT_EQ(field->text(), "012345678");
    QTest::keyClick(field, Qt::Key_5, Qt::KeypadModifier);
    EXPECT_EQ(field->text(), "0123456785");
}

TEST_F(PercentField, EverythingElseIsSwallowed) {
    QTest::keyClicks(field, "6a6-+, 7e%x");
    EXPECT_EQ(field->text(), "667");
    press(Qt::Key_Eacute, QString::fromUtf8("é"));
    EXPECT_EQ(field->text(), "667");
}

TEST_F(PercentField, TwoPointsCanBeTyped) {
    QTest::keyClicks(field, "1.2.3");
    EXPECT_EQ(field->text(), "1.2.3");
}

TEST_F(PercentField, EnterAndClipboardControlCodesAreDropped) {
    QSignalSpy returned(field, &QLineEdit::returnPressed);
    field->setText("50");
    QTest::keyClick(field, Qt::Key_Return);
    QTest::keyClick(field, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(returned.count(), 0);

    QApplication::clipboard()->setText("99");
    ASSERT_EQ(QApplication::clipboard()->text(), "99");  // else the paste below proves nothing
    field->selectAll();
    press(Qt::Key_C, QString(QChar(3)), Qt::ControlModifier);
    press(Qt::Key_X, QString(QChar(24)), Qt::ControlModifier);
    EXPECT_EQ(field->text(), "50");  // a cut would have emptied it
    field->deselect();
    press(Qt::Key_V, QString(QChar(22)), Qt::ControlModifier);
    EXPECT_EQ(field->text(), "50");  // a paste would have added 99
    field->setText("12");
    field->insert("3");  // an edit to undo
    ASSERT_TRUE(field->isUndoAvailable());
    press(Qt::Key_Z, QString(QChar(26)), Qt::ControlModifier);
    EXPECT_EQ(field->text(), "123");
}

TEST_F(PercentField, KeysThatTypeNothingStillWork) {
    QTest::keyClicks(field, "12345");
    QTest::keyClick(field, Qt::Key_Home);
    QTest::keyClick(field, Qt::Key_Delete);
    EXPECT_EQ(field->text(), "2345");
    QTest::keyClick(field, Qt::Key_End);
    QTest::keyClick(field, Qt::Key_Left);
    QTest::keyClick(field, Qt::Key_Backspace);
    EXPECT_EQ(field->text(), "235");
    QTest::keyClick(field, Qt::Key_Right);
    QTest::keyClicks(field, "9");
    EXPECT_EQ(field->text(), "2359");
    QTest::keyClick(field, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), static_cast<QWidget*>(Controls(window).cmdFile));
}

TEST_F(PercentField, InputMethodTextIsJudgedCharacterByCharacter) {
    QInputMethodEvent commit;
    commit.setCommitString(QString::fromUtf8("7a.5é"));
    QApplication::sendEvent(field, &commit);
    EXPECT_EQ(field->text(), "7.5");
}
