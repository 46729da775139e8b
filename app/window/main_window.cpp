#include "window/main_window.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTextEdit>
#include <QTimer>

#include "window/file_dialog.h"
#include "window/percent_filter.h"
#include "window/show_message.h"
#include "window/twips.h"
#include "window/window_layout.h"

namespace classifiers {

namespace {

void place(QWidget* widget, const ControlGeometry& g, int inset = 0) {
    widget->setGeometry(twipsToPixels(g.left) + inset, twipsToPixels(g.top) + inset,
                        twipsToPixels(g.width), twipsToPixels(g.height));
}

QFont labelFont(double pointSize) {
    QFont font;
    font.setFamilies(labelFontFamilies());
    font.setPointSizeF(pointSize);
    font.setWeight(QFont::Bold);
    font.setItalic(true);
    return font;
}

// Labels are see-through, so the panel shows behind their text.
void paintLabel(QLabel* label, const QColor& text) {
    label->setAutoFillBackground(false);
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, Qt::transparent);
    palette.setColor(QPalette::WindowText, text);
    label->setPalette(palette);
}

// The system's fixed-width font, so the report's tables line up; a common monospaced family where
// the system names none that is installed.
QFont reportFont() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setFamilies(
        {font.family(), "DejaVu Sans Mono", "Liberation Mono", "Noto Mono", "Monospace"});
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    return font;
}

// A report line's width: the view shows this many columns without scrolling sideways.
constexpr int kReportColumns = 80;

// Returns `font` at the largest size, no larger than it is and in steps of a quarter point, at
// which kReportColumns characters fit the text of `view` beside a vertical scroll bar (reports
// are longer than the view).
QFont fittedToColumns(QFont font, const QTextEdit* view) {
    const int scrollBar = view->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, view);
    const double room = view->width() - 2 * view->frameWidth() - scrollBar -
                        2 * view->document()->documentMargin() - view->cursorWidth();
    const QString line(kReportColumns, QLatin1Char('M'));
    for (double size = font.pointSizeF(); size > 4; size -= 0.25) {
        font.setPointSizeF(size);
        if (QFontMetricsF(font).horizontalAdvance(line) <= room) break;
    }
    return font;
}

QLabel* makeLabel(const char* name, const char* caption, const QFont& font, const QColor& colour,
                  QWidget* parent) {
    auto* label = new QLabel(QString::fromLatin1(caption), parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setFont(font);
    paintLabel(label, colour);
    return label;
}

QPushButton* makeButton(const char* name, const QString& caption, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    // Neither the window's default nor its cancel button: Enter and Escape press none of them.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

}  // namespace

MainWindow::MainWindow(WindowOptions options, QWidget* parent)
    : QWidget(parent),
      launcher_(options.launcher ? std::move(options.launcher) : Launcher(startDetached)),
      engine_({std::move(options.programDir), std::move(options.programSubdir), options.waitMs}) {
    createControls();
    wireEvents();
}

MainWindow::~MainWindow() = default;

void MainWindow::createControls() {
    setObjectName("Form1");
    setWindowTitle(QString::fromLatin1(kFormCaption));
    resize(twipsToPixels(kClientWidthTwips), twipsToPixels(kClientHeightTwips));
    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    createPanel();
    createLabels();
    createResultView();
    createInputs();
    createButtons();
    createDialog();
    setFocusOrder();
}

void MainWindow::createPanel() {
    Picture1 = new QFrame(this);
    Picture1->setObjectName("Picture1");
    Picture1->setFrameStyle(QFrame::Box | QFrame::Plain);
    Picture1->setLineWidth(1);
    Picture1->setAutoFillBackground(true);
    QPalette panelPalette = Picture1->palette();
    panelPalette.setColor(QPalette::Window, QColor(kPanelColour));
    Picture1->setPalette(panelPalette);
    Picture1->setFocusPolicy(Qt::StrongFocus);
    place(Picture1, kPicture1);
}

// Children of the panel are measured from the inside of its border.
void MainWindow::createLabels() {
    const int inset = Picture1->frameWidth();
    QFont titleFont = labelFont(kTitlePointSize);
    titleFont.setUnderline(true);
    Label3 = makeLabel("Label3", kLabel3Caption, titleFont, Qt::white, Picture1);
    place(Label3, kLabel3, inset);
    Label2 = makeLabel("Label2", kLabel2Caption, labelFont(kLabelPointSize), Qt::red, Picture1);
    place(Label2, kLabel2, inset);
    Label4 = makeLabel("Label4", kLabel4Caption, labelFont(kLabelPointSize), Qt::red, Picture1);
    place(Label4, kLabel4, inset);
}

void MainWindow::createResultView() {
    rtbResult = new QTextEdit(Picture1);
    rtbResult->setObjectName("rtbResult");
    rtbResult->setAcceptRichText(false);
    rtbResult->setReadOnly(true);
    rtbResult->setLineWrapMode(QTextEdit::NoWrap);  // reports are tables: keep their columns
    rtbResult->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    rtbResult->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    rtbResult->setTabChangesFocus(true);
    place(rtbResult, kRtbResult, Picture1->frameWidth());
    rtbResult->setFont(fittedToColumns(reportFont(), rtbResult));
}

// The classifier box and the percentage field, each with the label that names it.
void MainWindow::createInputs() {
    Combo1 = new QComboBox(Picture1);
    Combo1->setObjectName("Combo1");
    Combo1->setEditable(true);
    Combo1->setInsertPolicy(QComboBox::NoInsert);  // typed text never joins the list
    Combo1->addItems(
        {QString::fromLatin1(kIntervalClassifier), QString::fromLatin1(kBayesianClassifier)});
    Combo1->setCurrentIndex(0);
    Combo1->setEditText(QString::fromLatin1(kIntervalClassifier));
    place(Combo1, kCombo1, Picture1->frameWidth());

    txtPercent = new QLineEdit(QString::fromLatin1(kDefaultPercent), Picture1);
    txtPercent->setObjectName("txtPercent");
    txtPercent->installEventFilter(new PercentFilter(txtPercent));
    place(txtPercent, kTxtPercent, Picture1->frameWidth());

    Label4->setBuddy(Combo1);
    Label2->setBuddy(txtPercent);
}

void MainWindow::createButtons() {
    Command3 = makeButton("Command3", QString::fromLatin1(kCommand3Caption), Picture1);
    place(Command3, kCommand3, Picture1->frameWidth());
    // The two window buttons stand in front of the panel.
    cmdFile = makeButton("cmdFile", QString::fromLatin1(kCmdFileCaption), this);
    place(cmdFile, kCmdFile);
    Command1 = makeButton("Command1", QString::fromLatin1(kCommand1Caption), this);
    place(Command1, kCommand1);
    cmdFile->raise();
    Command1->raise();
}

void MainWindow::createDialog() {
    CommonDialog1 = new QFileDialog(this);
    CommonDialog1->setObjectName("CommonDialog1");
    // Qt's own dialog, so it behaves the same on every desktop.
    CommonDialog1->setOption(QFileDialog::DontUseNativeDialog);
    CommonDialog1->setAcceptMode(QFileDialog::AcceptOpen);
    CommonDialog1->setFileMode(QFileDialog::ExistingFile);
}

// Focus order: the panel, the result view, the classifier, the percentage, Input File, Run,
// Exit, and round to the panel again. The panel holds the focus when the window opens.
void MainWindow::setFocusOrder() {
    QWidget::setTabOrder(Picture1, rtbResult);
    QWidget::setTabOrder(rtbResult, Combo1);
    QWidget::setTabOrder(Combo1, txtPercent);
    QWidget::setTabOrder(txtPercent, cmdFile);
    QWidget::setTabOrder(cmdFile, Command1);
    QWidget::setTabOrder(Command1, Command3);
    Picture1->setFocus();
}

void MainWindow::wireEvents() {
    connect(cmdFile, &QPushButton::clicked, this, &MainWindow::cmdFileClicked);
    connect(Command1, &QPushButton::clicked, this, &MainWindow::command1Clicked);
    connect(Command3, &QPushButton::clicked, this, &MainWindow::command3Clicked);
    connect(Timer1, &QTimer::timeout, this, &MainWindow::timer1Elapsed);
}

// Input File: a cancelled dialog gives back the name it kept, and that is taken again.
void MainWindow::cmdFileClicked() {
    dialogFileName_ = chooseDataFile(CommonDialog1, dialogFileName_);
    engine_.fileChosen(dialogFileName_);
}

// Run: a message ends the request; otherwise the classifier starts and the wait begins.
void MainWindow::command1Clicked() {
    const RunOutcome outcome = engine_.runPressed(txtPercent->text(), Combo1->currentText());
    if (!outcome.message.isEmpty()) {
        ShowMessage(this, outcome.message);
        return;
    }
    if (!launcher_(outcome.program, outcome.arguments)) {
        ShowMessage(this, engine_.startFailed());
        return;
    }
    setTimer1Interval(engine_.waitMs());
    Command1->setEnabled(false);
}

// The end of the wait: show the classifier's result and let the user run again. A missing,
// unreadable or stale result is never shown as this run's result.
void MainWindow::timer1Elapsed() {
    setTimer1Interval(0);  // once per run
    rtbResult->setPlainText(QString());
    const ResultLoad result = engine_.waitEnded();
    if (result.ok) rtbResult->setPlainText(result.text);
    Command1->setEnabled(true);
    if (!result.ok) ShowMessage(this, result.problem);
}

// The panel always covers the whole client area; nothing else moves.
void MainWindow::resizePanel() {
    Picture1->resize(Picture1->width(), height());
    Picture1->resize(width(), Picture1->height());
    Picture1->move(0, 0);
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    resizePanel();
}

void MainWindow::command3Clicked() { close(); }

// Closing ends the program at once: a pending wait is dropped, a started classifier keeps running.
void MainWindow::closeEvent(QCloseEvent* event) {
    setTimer1Interval(0);
    event->accept();
}

void MainWindow::setTimer1Interval(int milliseconds) {
    if (milliseconds == 0) {
        Timer1->stop();
    } else {
        Timer1->start(milliseconds);
    }
}

}  // namespace classifiers
