// The window as it opens: every control's kind, container, content, place, font and focus order;
// the panel's resize rule, Exit, the message box and the two programs' identities.

#include "window/main_window.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QFileDialog>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include "controls.h"
#include "gui_helpers.h"
#include "qt_print.h"
#include "window/app_identity.h"
#include "window/show_message.h"

using namespace classifiers;

namespace {

struct Expected {
    const char* name;
    const char* container;
    int left, top, width, height;  // twips, from the inside of the container's border
};

// The description, written out again on purpose: a change to the window must fail here.
const Expected kControls[] = {
    {"Command1", "Form1", 4320, 2400, 1215, 495},
    {"cmdFile", "Form1", 1560, 2400, 1215, 495},
    {"Command3", "Picture1", 7320, 2400, 1215, 495},
    {"txtPercent", "Picture1", 4920, 1680, 1095, 285},
    {"Combo1", "Picture1", 4920, 960, 2055, 315},
    {"rtbResult", "Picture1", 600, 3120, 8535, 3975},
    {"Label3", "Picture1", 2040, 240, 5760, 375},
    {"Label2", "Picture1", 1800, 1680, 2475, 345},
    {"Label4", "Picture1", 3000, 960, 1215, 495},
};

QWidget* control(MainWindow& w, const char* name) {
    return w.findChild<QWidget*>(QString::fromLatin1(name));
}

// The control that holds the focus, counting an editable combo box's line edit as the combo.
QString focusName() {
    QWidget* f = QApplication::focusWidget();
    if (f && qobject_cast<QComboBox*>(f->parentWidget())) f = f->parentWidget();
    return f ? f->objectName() : QString("(none)");
}

}  // namespace

TEST(MainWindow, WindowCaptionAndClientArea) {
    MainWindow w;
    EXPECT_EQ(w.objectName(), "Form1");
    EXPECT_EQ(w.windowTitle(), "Data Mining");
    EXPECT_EQ(w.size(), QSize(10185 / 15, 7860 / 15));
    EXPECT_TRUE(w.findChildren<QMenuBar*>().isEmpty());
    EXPECT_NE(w.minimumSize(), w.maximumSize());  // a sizable border
}

TEST(MainWindow, EveryControlInItsPlace) {
    MainWindow w;
    const Controls c(w);
    const int inset = c.Picture1->frameWidth();
    EXPECT_GE(inset, 1);  // the panel keeps a thin border
    EXPECT_LE(inset, 2);
    for (const Expected& e : kControls) {
        SCOPED_TRACE(e.name);
        QWidget* widget = control(w, e.name);
        ASSERT_NE(widget, nullptr);
        ASSERT_NE(widget->parentWidget(), nullptr);
        EXPECT_EQ(widget->parentWidget()->objectName(), e.container);
        const int shift = QString(e.container) == "Picture1" ? inset : 0;
        EXPECT_EQ(widget->geometry(),
                  QRect(e.left / 15 + shift, e.top / 15 + shift, e.width / 15, e.height / 15));
    }
    EXPECT_EQ(c.Picture1->parentWidget(), &w);
    EXPECT_EQ(c.Picture1->geometry(), QRect(0, 0, 10215 / 15, 8055 / 15));  // before it is shown
    // The window's own buttons are drawn in front of the panel.
    const QObjectList& order = w.children();
    EXPECT_GT(order.indexOf(c.Command1), order.indexOf(c.Picture1));
    EXPECT_GT(order.indexOf(c.cmdFile), order.indexOf(c.Picture1));
}

TEST(MainWindow, InitialContents) {
    MainWindow w;
    const Controls c(w);
    EXPECT_EQ(c.Command1->text(), "Run");
    EXPECT_EQ(c.cmdFile->text(), "Input File");
    EXPECT_EQ(c.Command3->text(), "Exit");
    EXPECT_EQ(c.txtPercent->text(), "66.67");
    EXPECT_TRUE(c.Combo1->isEditable());
    EXPECT_EQ(c.Combo1->currentText(), "Interval Classifier");
    ASSERT_EQ(c.Combo1->count(), 2);
    EXPECT_EQ(c.Combo1->itemText(0), "Interval Classifier");
    EXPECT_EQ(c.Combo1->itemText(1), "Naive Bayesian Classifier");
    EXPECT_EQ(c.rtbResult->toPlainText(), "");
    EXPECT_EQ(c.Label3->text(), "Classifiers for Data Mining Applications");
    EXPECT_EQ(c.Label2->text(), "Percentage of Train");
    EXPECT_EQ(c.Label4->text(), "Classifier");
    EXPECT_EQ(c.Label4->buddy(), c.Combo1);
    EXPECT_EQ(c.Label2->buddy(), c.txtPercent);
    EXPECT_FALSE(c.Timer1->isActive());
    EXPECT_TRUE(c.Command1->isEnabled());
    EXPECT_TRUE(w.state().strOutputFile.isEmpty());
    EXPECT_TRUE(w.state().strInputFile.isEmpty());
    EXPECT_TRUE(w.state().strBaseName.isEmpty());
    EXPECT_EQ(w.state().dblTrainPercent, 0.0);
    EXPECT_EQ(c.CommonDialog1->parentWidget(), &w);
    EXPECT_TRUE(c.CommonDialog1->testOption(QFileDialog::DontUseNativeDialog));
}

TEST(MainWindow, TypingANewClassifierNameDoesNotGrowTheList) {
    MainWindow w;
    const Controls c(w);
    w.show();
    c.Combo1->setFocus();
    c.Combo1->lineEdit()->selectAll();
    QTest::keyClicks(c.Combo1->lineEdit(), "Something typed");
    QTest::keyClick(c.Combo1->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(c.Combo1->currentText(), "Something typed");
    EXPECT_EQ(c.Combo1->count(), 2);
}

TEST(MainWindow, LabelFontsAndColours) {
    MainWindow w;
    const Controls c(w);
    struct LabelLook {
        QLabel* label;
        double points;
        bool underline;
        QColor colour;
    };
    for (const LabelLook& l :
         {LabelLook{c.Label3, 15.75, true, Qt::white}, LabelLook{c.Label2, 14.25, false, Qt::red},
          LabelLook{c.Label4, 14.25, false, Qt::red}}) {
        SCOPED_TRACE(l.label->objectName().toStdString());
        const QFont f = l.label->font();
        ASSERT_FALSE(f.families().isEmpty());
        EXPECT_EQ(f.families().first(), "Book Antiqua");
        EXPECT_DOUBLE_EQ(f.pointSizeF(), l.points);
        EXPECT_EQ(f.weight(), QFont::Bold);  // 700
        EXPECT_TRUE(f.italic());
        EXPECT_EQ(f.underline(), l.underline);
        // Where that family is missing, an installed Palatino-like serif stands in: never boxes.
        QString resolved = QFontInfo(f).family();
        resolved.remove(QRegularExpression(" \\[.*\\]$"));  // the foundry, as in "P052 [urw]"
        EXPECT_TRUE(QStringList({"Book Antiqua", "Palatino Linotype", "Palatino", "P052",
                                 "TeX Gyre Pagella", "URW Palladio L"})
                        .contains(resolved))
            << resolved.toStdString();
        EXPECT_FALSE(l.label->autoFillBackground());  // transparent: the panel shows through
        EXPECT_EQ(l.label->palette().color(QPalette::WindowText), l.colour);
    }
    // Every other control keeps the default font; the result view is fixed-width for tables.
    for (QWidget* other : {static_cast<QWidget*>(c.Command1), static_cast<QWidget*>(c.cmdFile),
                           static_cast<QWidget*>(c.Command3), static_cast<QWidget*>(c.txtPercent),
                           static_cast<QWidget*>(c.Combo1)}) {
        EXPECT_EQ(other->font(), QApplication::font(other)) << other->objectName().toStdString();
    }
    EXPECT_TRUE(QFontInfo(c.rtbResult->font()).fixedPitch());
}

// A report's lines are at most 80 columns: at its design size the view shows them whole, with
// the fixed-width font the package installs, without scrolling sideways.
TEST(MainWindow, TheResultViewShowsEightyColumnsWithoutScrollingSideways) {
    MainWindow w;
    const Controls c(w);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    EXPECT_EQ(QFontInfo(c.rtbResult->font()).family(), "DejaVu Sans Mono");
    QString report;
    for (int i = 0; i < 60; ++i) report += QString(80, QLatin1Char(i % 2 ? 'W' : '0')) + '\n';
    c.rtbResult->setPlainText(report);
    QApplication::processEvents();
    EXPECT_TRUE(c.rtbResult->verticalScrollBar()->isVisible());
    EXPECT_EQ(c.rtbResult->horizontalScrollBar()->maximum(), 0);
    // One column more does not fit: the font is as large as 80 columns allow, to a quarter point.
    c.rtbResult->setPlainText(report + QString(86, QLatin1Char('0')) + '\n');
    QApplication::processEvents();
    EXPECT_GT(c.rtbResult->horizontalScrollBar()->maximum(), 0);
    EXPECT_EQ(c.rtbResult->size(), QSize(8535 / 15, 3975 / 15));
}

TEST(MainWindow, PanelHoldsTheFocusAndTabVisitsTheControlsInOrder) {
    MainWindow w;
    const Controls c(w);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    EXPECT_EQ(focusName(), "Picture1");
    QStringList visited;
    for (int i = 0; i < 7; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << focusName();
    }
    EXPECT_EQ(visited, QStringList({"rtbResult", "Combo1", "txtPercent", "cmdFile", "Command1",
                                    "Command3", "Picture1"}));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    EXPECT_EQ(focusName(), "Command3");
    for (QLabel* l : {c.Label2, c.Label3, c.Label4}) EXPECT_EQ(l->focusPolicy(), Qt::NoFocus);
}

TEST(MainWindow, EnterAndEscapePressNoButton) {
    MainWindow w;
    const Controls c(w);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    QSignalSpy run(c.Command1, &QPushButton::clicked);
    QSignalSpy file(c.cmdFile, &QPushButton::clicked);
    QSignalSpy exitSpy(c.Command3, &QPushButton::clicked);
    for (QPushButton* b : {c.Command1, c.cmdFile, c.Command3}) {
        EXPECT_FALSE(b->isDefault());
        EXPECT_FALSE(b->autoDefault());
    }
    for (QWidget* target : {static_cast<QWidget*>(c.Picture1), static_cast<QWidget*>(c.Combo1),
                            static_cast<QWidget*>(c.Command1)}) {
        target->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    }
    EXPECT_EQ(run.count(), 0);
    EXPECT_EQ(file.count(), 0);
    EXPECT_EQ(exitSpy.count(), 0);
    EXPECT_TRUE(w.isVisible());
}

TEST(MainWindow, PanelCoversTheClientAreaThroughResizes) {
    MainWindow w;
    const Controls c(w);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    EXPECT_EQ(c.Picture1->geometry(), QRect(0, 0, 679, 524));  // fitted when first shown
    w.resize(900, 700);
    EXPECT_EQ(c.Picture1->geometry(), QRect(0, 0, 900, 700));
    w.resize(300, 0);
    EXPECT_EQ(w.height(), 0);
    EXPECT_EQ(c.Picture1->geometry(), QRect(0, 0, 300, 0));
    w.resize(679, 524);
    EXPECT_EQ(c.Picture1->geometry(), QRect(0, 0, 679, 524));
    // Nothing else moves.
    EXPECT_EQ(c.Command1->geometry(), QRect(288, 160, 81, 33));
    EXPECT_EQ(c.rtbResult->pos(),
              QPoint(40 + c.Picture1->frameWidth(), 208 + c.Picture1->frameWidth()));
}

TEST(MainWindow, ExitClosesTheWindowAndDropsAPendingWait) {
    MainWindow w;
    const Controls c(w);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    c.Timer1->start(60000);
    QTest::mouseClick(c.Command3, Qt::LeftButton);
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(c.Timer1->isActive());
}

TEST(MainWindow, ClosingTheWindowDropsAPendingWait) {
    MainWindow w;
    const Controls c(w);
    w.show();
    c.Timer1->start(60000);
    EXPECT_TRUE(w.close());
    EXPECT_FALSE(c.Timer1->isActive());
}

TEST(ShowMessage, ModalOkOnlyNoIconCaptionedWithTheTitle) {
    MainWindow w;
    w.show();
    MessageCatcher catcher;
    bool wasModal = false;
    catcher.beforeOk([&] { wasModal = QApplication::activeModalWidget() != nullptr; });
    ShowMessage(&w, "Please select valid input file");
    ASSERT_EQ(catcher.seen().size(), 1u);
    const SeenMessage& m = catcher.seen()[0];
    EXPECT_EQ(m.title, "Classifiers");
    EXPECT_EQ(m.text, "Please select valid input file");
    EXPECT_EQ(m.icon, QMessageBox::NoIcon);
    EXPECT_EQ(m.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_TRUE(wasModal);
}

TEST(Deliverables, TitlesVersionAndProgramFolders) {
    EXPECT_STREQ(kClassifiers.title, "Classifiers");
    EXPECT_STREQ(kClassifiers.programSubdir, "");
    EXPECT_STREQ(kClassifier.title, "Classifier");
    EXPECT_STREQ(kClassifier.programSubdir, "debug");
    configureApplication(kClassifier);
    EXPECT_EQ(QCoreApplication::applicationName(), "Classifier");
    EXPECT_EQ(QCoreApplication::applicationVersion(), "1.00");
    MessageCatcher catcher;
    ShowMessage(nullptr, "x");
    configureApplication(kClassifiers);
    EXPECT_EQ(QCoreApplication::applicationName(), "Classifiers");
    EXPECT_EQ(QCoreApplication::applicationVersion(), "1.00");
    ASSERT_EQ(catcher.seen().size(), 1u);
    EXPECT_EQ(catcher.seen()[0].title, "Classifier");
}
