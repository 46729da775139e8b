// Input File: the open-file dialog driven through whole choose and cancel cycles.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "gui_helpers.h"
#include "qt_print.h"
#include "window/main_window.h"
#include "window_driver.h"

using namespace classifiers;

namespace {

void touch(const QString& path) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
}

class InputFile : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        iris = dir.filePath("iris.data");
        touch(iris);
        touch(dir.filePath("README"));
        touch(dir.filePath("notes.txt"));
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    void chooseFile(const QString& choice, std::function<void(QFileDialog*)> inside = {}) {
        chooseInDialog(window, choice, std::move(inside));
    }

    QTemporaryDir dir;
    QString iris;
    MainWindow window;
    MessageCatcher messages;
};

// The files the dialog lists now, by name.
QStringList listed(QFileDialog* d) {
    auto* view = d->findChild<QListView*>("listView");
    auto* model = d->findChild<QFileSystemModel*>("qt_filesystem_model");
    QStringList names;
    if (!view || !model) return names;
    for (int r = 0; r < model->rowCount(view->rootIndex()); ++r) {
        names << model->index(r, 0, view->rootIndex()).data().toString();
    }
    names.sort();
    return names;
}

void waitForListing(QFileDialog* d, const QStringList& expected) {
    (void)QTest::qWaitFor([&] { return listed(d) == expected; }, 5000);
    EXPECT_EQ(listed(d), expected);
}

}  // namespace

TEST_F(InputFile, ChoosingADataFileSetsThePathAndTheBase) {
    chooseFile(iris, [](QFileDialog* d) {
        EXPECT_EQ(d->nameFilters(), QStringList({"All Files (*.*)", "Data Files (*.data)",
                                                 "Tables (*.csv *.tsv *.txt *.arff)"}));
        EXPECT_EQ(d->selectedNameFilter(), "All Files (*.*)");
        EXPECT_TRUE(d->testOption(QFileDialog::DontUseNativeDialog));
        EXPECT_EQ(d->acceptMode(), QFileDialog::AcceptOpen);
    });
    EXPECT_EQ(window.state().strInputFile, iris);
    EXPECT_EQ(window.state().strBaseName, dir.filePath("iris"));
    EXPECT_TRUE(messages.seen().empty());
}

TEST_F(InputFile, CancelKeepsTheChoiceAndTheDialogShowsItAgain) {
    chooseFile(iris);
    QString shown;
    chooseFile({}, [&](QFileDialog* d) {
        shown = d->findChild<QLineEdit*>("fileNameEdit")->text();
        EXPECT_EQ(d->directory().absolutePath(), QDir(dir.path()).absolutePath());
    });
    EXPECT_EQ(shown, "iris.data");
    EXPECT_EQ(window.state().strInputFile, iris);
    EXPECT_EQ(window.state().strBaseName, dir.filePath("iris"));

    // A new choice replaces both; the next cancel keeps the new one.
    const QString notes = dir.filePath("notes.txt");
    chooseFile(notes);
    EXPECT_EQ(window.state().strInputFile, notes);
    EXPECT_EQ(window.state().strBaseName, dir.filePath("note"));  // the extension is not examined
    chooseFile({});
    EXPECT_EQ(window.state().strInputFile, notes);
    EXPECT_TRUE(messages.seen().empty());
}

TEST_F(InputFile, CancellingTheFirstTimeLeavesBothEmptyWithNoMessage) {
    chooseFile({});
    EXPECT_EQ(window.state().strInputFile, "");
    EXPECT_EQ(window.state().strBaseName, "");
    EXPECT_TRUE(messages.seen().empty());
}

TEST_F(InputFile, EachFilterListsItsFiles) {
    for (const char* name : {"IRIS.CSV", "weather.Arff", "t.tsv", "iris.csv.bak"}) {
        touch(dir.filePath(name));
    }
    const QStringList all = {"IRIS.CSV",  "README", "iris.csv.bak", "iris.data",
                             "notes.txt", "t.tsv",  "weather.Arff"};
    chooseFile({}, [&](QFileDialog* d) {
        d->setDirectory(dir.path());
        waitForListing(d, all);  // also the name with no dot
        auto* types = d->findChild<QComboBox*>("fileTypeCombo");
        ASSERT_NE(types, nullptr);
        types->setFocus();
        QTest::keyClick(types, Qt::Key_Down);  // the user picks "Data Files (*.data)"
        EXPECT_EQ(d->selectedNameFilter(), "Data Files (*.data)");
        waitForListing(d, {"iris.data"});
        QTest::keyClick(types, Qt::Key_Down);  // then the tables, their suffixes in any case
        EXPECT_EQ(d->selectedNameFilter(), "Tables (*.csv *.tsv *.txt *.arff)");
        waitForListing(d, {"IRIS.CSV", "notes.txt", "t.tsv", "weather.Arff"});
        QTest::keyClick(types, Qt::Key_Up);
        QTest::keyClick(types, Qt::Key_Up);
        waitForListing(d, all);
    });
}

TEST_F(InputFile, AFileWithoutADotCanBeChosen) {
    const QString readme = dir.filePath("README");
    chooseFile(readme);
    EXPECT_EQ(window.state().strInputFile, readme);
    EXPECT_EQ(window.state().strBaseName, readme.left(readme.size() - 5));
}
