// Whole runs through a real started process: Run, the launch, the wait and the result.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include "controls.h"
#include "gui_helpers.h"
#include "qt_print.h"
#include "run/result_file.h"
#include "window/main_window.h"
#include "window_driver.h"

using namespace classifiers;

namespace {

const char kNoInputFile[] = "Please select valid input file";
const char kOutOfRange[] = "Please select training set between 0 and 100";
const char kAborting[] = "Error !!! Aborting process";

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The view's text for the result file at `path`, line ends as the front end shows them.
QByteArray resultLinesOf(const QString& path) { return resultLines(readFile(path)); }

class Run : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(programs.isValid());
        ASSERT_TRUE(data.isValid());
        installClassifiers(programs.path());
        ASSERT_TRUE(QDir(data.path()).mkdir("my data"));
        input = data.filePath("my data/iris.data");
        base = data.filePath("my data/iris");
        writeFile(input, "5.1,3.5,1.4,0.2,Iris-setosa\n");
    }

    // Puts the stand-in classifier, as tarnel and classify, into `dir`.
    static void installClassifiers(const QString& dir) {
        QDir().mkpath(dir);
        for (const char* name : {"tarnel", "classify"}) {
            ASSERT_TRUE(QFile::link(FAKE_CLASSIFIER, dir + "/" + name)) << name;
        }
    }

    // What the classifier will write as its result, and how long it takes.
    void classifierWrites(const QByteArray& result, int delayMs = 0) {
        writeFile(programs.filePath("result.txt"), result);
        if (delayMs) writeFile(programs.filePath("delay.txt"), QByteArray::number(delayMs));
    }

    // A window whose classifiers are in `programDir` (by default the stand-ins), waiting `waitMs`.
    MainWindow& makeWindow(int waitMs = 3000, QString programDir = {}, QString subdir = {}) {
        WindowOptions options;
        options.programDir = programDir.isEmpty() ? programs.path() : programDir;
        options.programSubdir = subdir;
        options.waitMs = waitMs;
        window = std::make_unique<MainWindow>(options);
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        return *window;
    }

    // The controls of the window under test.
    Controls form() const { return Controls(*window); }
    void choose(const QString& path) { chooseInDialog(*window, path); }
    void pressRun() { QTest::mouseClick(form().Command1, Qt::LeftButton); }
    bool waitUntilRunEnabled(int ms = 5000) {
        return QTest::qWaitFor([&] { return form().Command1->isEnabled(); }, ms);
    }
    QStringList argumentsReceived() {
        const QString path = programs.filePath("args.txt");
        if (!QTest::qWaitFor([&] { return QFile::exists(path); }, 5000)) return {"(not started)"};
        QStringList args = QString::fromUtf8(readFile(path)).split('\n');
        args.removeLast();
        return args;
    }
    bool started() const { return QFile::exists(programs.filePath("args.txt")); }
    // Run is enabled, no wait is pending and no classifier was started.
    void expectNothingStarted() {
        EXPECT_TRUE(form().Command1->isEnabled());
        EXPECT_FALSE(form().Timer1->isActive());
        QTest::qWait(100);
        EXPECT_FALSE(started());
    }

    QTemporaryDir programs;
    QTemporaryDir data;
    QString input, base;
    std::unique_ptr<MainWindow> window;
    MessageCatcher messages;
};

}  // namespace

TEST_F(Run, IntervalClassifierFromEndToEnd) {
    classifierWrites("Interval report\r\n\r\nAccuracy: 94.00 %\r\ncaf\xe9");
    makeWindow(400);
    choose(input);
    pressRun();
    EXPECT_FALSE(form().Command1->isEnabled());  // disabled for the whole wait
    EXPECT_TRUE(form().Timer1->isActive());
    EXPECT_EQ(form().Timer1->interval(), 400);
    EXPECT_EQ(window->state().strOutputFile, base + "_interval.output");
    EXPECT_EQ(window->state().dblTrainPercent, 66.67);
    // The base path with its space arrives whole: exactly two arguments.
    EXPECT_EQ(argumentsReceived(), QStringList({base, "66.67"}));
    pressRun();  // a disabled Run does nothing
    ASSERT_TRUE(waitUntilRunEnabled());
    EXPECT_FALSE(form().Timer1->isActive());  // the tick comes once
    EXPECT_EQ(form().rtbResult->toPlainText(),
              QString::fromUtf8("Interval report\n\nAccuracy: 94.00 %\ncafé\n"));
    EXPECT_TRUE(messages.seen().empty()) << messages.texts().join('|').toStdString();
}

TEST_F(Run, BayesianClassifierForEveryOtherComboText) {
    classifierWrites("Bayes\r\n");
    makeWindow(200);
    choose(input);
    for (const char* combo :
         {"Naive Bayesian Classifier", "interval classifier", "Interval Classifier ", ""}) {
        SCOPED_TRACE(combo);
        QFile::remove(programs.filePath("args.txt"));
        form().Combo1->setEditText(combo);
        form().txtPercent->setText("70.0");
        pressRun();
        EXPECT_EQ(window->state().strOutputFile, base + "_bayes.output");
        EXPECT_EQ(argumentsReceived(), QStringList({base, "70"}));
        ASSERT_TRUE(waitUntilRunEnabled());
        EXPECT_EQ(form().rtbResult->toPlainText(), "Bayes\n");
    }
    EXPECT_TRUE(messages.seen().empty()) << messages.texts().join('|').toStdString();
}

// A table is started on its whole path, and its result is read beside it, less the suffix.
TEST_F(Run, ATableFileFromEndToEnd) {
    classifierWrites("Table report\r\nAccuracy: 90.00 %\r\n");
    makeWindow(200);
    const QString table = data.filePath("my data/Iris.CSV");
    writeFile(table, "sepal,class\n5.1,setosa\n");
    choose(table);
    form().Combo1->setEditText("Naive Bayesian Classifier");
    pressRun();
    EXPECT_EQ(argumentsReceived(), QStringList({table, "66.67"}));
    EXPECT_EQ(window->state().strOutputFile, data.filePath("my data/Iris_bayes.output"));
    ASSERT_TRUE(waitUntilRunEnabled());
    EXPECT_EQ(form().rtbResult->toPlainText(), "Table report\nAccuracy: 90.00 %\n");
    EXPECT_TRUE(messages.seen().empty()) << messages.texts().join('|').toStdString();
}

TEST_F(Run, WithoutADataFileNothingStarts) {
    makeWindow(200);
    pressRun();
    EXPECT_EQ(messages.texts(), QStringList({kNoInputFile}));
    expectNothingStarted();
    EXPECT_EQ(window->state().dblTrainPercent, 0.0);  // nothing else changed
    EXPECT_EQ(window->state().strOutputFile, "");

    const QString notes = data.filePath("notes.md");
    writeFile(notes, "x");
    choose(notes);
    pressRun();
    EXPECT_EQ(messages.texts(), QStringList({kNoInputFile, kNoInputFile}));
    expectNothingStarted();
    EXPECT_EQ(messages.seen().back().title, "Classifiers");
}

TEST_F(Run, APercentageOutOfRangeEndsTheRequest) {
    makeWindow(200);
    choose(input);
    for (const char* percent : {"150", "100.01", "-1"}) {
        form().txtPercent->setText(percent);
        pressRun();
        expectNothingStarted();
    }
    EXPECT_EQ(messages.texts(), QStringList({kOutOfRange, kOutOfRange, kOutOfRange}));
    EXPECT_EQ(window->state().dblTrainPercent, -1.0);  // what was read stays stored
}

TEST_F(Run, ZeroAndOneHundredRunWithoutAMessage) {
    classifierWrites("ok\r\n");
    makeWindow(150);
    choose(input);
    for (const char* percent : {"0", "100", "100.0", ".5"}) {
        QFile::remove(programs.filePath("args.txt"));
        form().txtPercent->setText(percent);
        pressRun();
        EXPECT_EQ(argumentsReceived().value(1), QString(percent) == ".5"             ? "0.5"
                                                : QString(percent).startsWith("100") ? "100"
                                                                                     : "0");
        ASSERT_TRUE(waitUntilRunEnabled());
    }
    EXPECT_TRUE(messages.seen().empty()) << messages.texts().join('|').toStdString();
}

TEST_F(Run, APercentageThatIsNoNumberAborts) {
    makeWindow(200);
    choose(input);
    for (const char* percent : {"", "1.2.3", "."}) {
        form().txtPercent->setText(percent);
        pressRun();
        expectNothingStarted();
    }
    EXPECT_EQ(messages.texts(), QStringList({kAborting, kAborting, kAborting}));
}

TEST_F(Run, AMissingClassifierProgramAborts) {
    QTemporaryDir empty;
    makeWindow(200, empty.path());
    choose(input);
    pressRun();
    EXPECT_EQ(messages.texts(), QStringList({kAborting}));
    EXPECT_TRUE(form().Command1->isEnabled());
    EXPECT_FALSE(form().Timer1->isActive());
    EXPECT_EQ(window->state().strOutputFile, base + "_interval.output");  // stored before the start

    // Present but not executable: the same.
    writeFile(empty.filePath("tarnel"), "not a program");
    pressRun();
    EXPECT_EQ(messages.texts(), QStringList({kAborting, kAborting}));
    EXPECT_TRUE(form().Command1->isEnabled());
}

TEST_F(Run, TheDebugBuildStartsItsClassifiersFromDebug) {
    QTemporaryDir app;
    installClassifiers(app.filePath("debug"));
    writeFile(app.filePath("debug/result.txt"), "from debug\r\n");
    makeWindow(200, app.path(), "debug");
    choose(input);
    pressRun();
    ASSERT_TRUE(waitUntilRunEnabled());
    EXPECT_TRUE(QFile::exists(app.filePath("debug/args.txt")));
    EXPECT_FALSE(started());
    EXPECT_EQ(form().rtbResult->toPlainText(), "from debug\n");
}

TEST_F(Run, AMissingResultIsReportedNotShown) {
    makeWindow(200);  // the classifier writes nothing
    choose(input);
    form().rtbResult->setPlainText("an earlier report");
    pressRun();
    ASSERT_TRUE(waitUntilRunEnabled());
    ASSERT_EQ(messages.seen().size(), 1u);
    EXPECT_TRUE(messages.texts()[0].contains("no result file"));
    EXPECT_TRUE(messages.texts()[0].contains(base + "_interval.output"));
    EXPECT_EQ(form().rtbResult->toPlainText(), "");
    EXPECT_FALSE(form().Timer1->isActive());
}

TEST_F(Run, AStaleResultIsReportedNotShown) {
    writeFile(base + "_interval.output", "last week's report\r\n");
    makeWindow(200);  // the classifier writes nothing new
    choose(input);
    pressRun();
    ASSERT_TRUE(waitUntilRunEnabled());
    ASSERT_EQ(messages.seen().size(), 1u);
    EXPECT_TRUE(messages.texts()[0].contains("unchanged")) << messages.texts()[0].toStdString();
    EXPECT_TRUE(messages.texts()[0].contains(base + "_interval.output"));
    EXPECT_EQ(form().rtbResult->toPlainText(), "");

    // Once the classifier writes again, its new report replaces it.
    classifierWrites("this week's report\r\n");
    pressRun();
    ASSERT_TRUE(waitUntilRunEnabled());
    EXPECT_EQ(form().rtbResult->toPlainText(), "this week's report\n");
    EXPECT_EQ(messages.seen().size(), 1u);
}

TEST_F(Run, AnEarlierTextIsGoneAfterTheNextTick) {
    classifierWrites("first\r\nsecond\r\n");
    makeWindow(150);
    choose(input);
    pressRun();
    ASSERT_TRUE(waitUntilRunEnabled());
    EXPECT_EQ(form().rtbResult->toPlainText(), "first\nsecond\n");
    classifierWrites("");
    form().Combo1->setEditText("Naive Bayesian Classifier");
    pressRun();
    ASSERT_TRUE(waitUntilRunEnabled());
    EXPECT_EQ(form().rtbResult->toPlainText(), "");  // an empty result gives an empty view
    EXPECT_TRUE(messages.seen().empty());
}

TEST_F(Run, TheTickLoadsTheResultWhileTheFileDialogIsOpen) {
    classifierWrites("loaded meanwhile\r\n");
    makeWindow(300);
    choose(input);
    pressRun();
    const QString other = data.filePath("other.data");
    writeFile(other, "");
    QString seenInside;
    chooseInDialog(*window, other, [&](QFileDialog*) {
        (void)QTest::qWaitFor([&] { return form().Command1->isEnabled(); }, 5000);
        seenInside = form().rtbResult->toPlainText();
    });
    EXPECT_EQ(seenInside, "loaded meanwhile\n");
    // The new choice changes the input, not the result that was pending.
    EXPECT_EQ(window->state().strInputFile, other);
    EXPECT_EQ(window->state().strOutputFile, base + "_interval.output");
}

TEST_F(Run, ExitDuringTheWaitLeavesTheClassifierRunning) {
    classifierWrites("finished anyway\r\n", 500);
    makeWindow(200);
    choose(input);
    pressRun();
    QTest::mouseClick(form().Command3, Qt::LeftButton);
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(form().Timer1->isActive());
    const QString result = base + "_interval.output";
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFile::exists(result); }, 5000));
    EXPECT_EQ(readFile(result), "finished anyway\r\n");
    EXPECT_EQ(form().rtbResult->toPlainText(), "");  // nothing was loaded
}

// The shipped wiring: the program's own folder (where the build puts the real classifiers beside
// the test program, as beside Classifiers), the real launcher and the three-second wait.
TEST_F(Run, TheShippedDefaultsRunTheRealClassifier) {
    const QString classify = QString(BUILD_BIN_DIR) + "/classify";
    ASSERT_TRUE(QFileInfo(classify).isExecutable()) << classify.toStdString();
    QByteArray records;
    for (int i = 0; i < 30; ++i) {
        records += QByteArray::number(i % 3) + "," + QByteArray::number(i % 5) + "," +
                   (i % 3 == 0 ? "yes" : "no") + "\n";
    }
    writeFile(input, records);
    window = std::make_unique<MainWindow>();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    choose(input);
    form().Combo1->setEditText("Naive Bayesian Classifier");
    pressRun();
    EXPECT_EQ(form().Timer1->interval(), 3000);
    QTest::qWait(2500);
    EXPECT_FALSE(form().Command1->isEnabled());
    ASSERT_TRUE(waitUntilRunEnabled(3000));
    EXPECT_TRUE(messages.seen().empty()) << messages.texts().join('|').toStdString();
    const QString report = form().rtbResult->toPlainText();
    EXPECT_TRUE(report.contains(
        QRegularExpression("^Accuracy: \\d+\\.\\d\\d % \\(\\d+ of \\d+ test records correct\\)$",
                           QRegularExpression::MultilineOption)))
        << report.toStdString();
    EXPECT_EQ(report.toUtf8(), resultLinesOf(base + "_bayes.output"));
}

TEST(TheBuild, PutsTheClassifiersWhereEachFrontEndLooks) {
    for (const char* path : {"/tarnel", "/classify", "/debug/tarnel", "/debug/classify"}) {
        EXPECT_TRUE(QFileInfo(QString(BUILD_BIN_DIR) + path).isExecutable()) << path;
    }
}
