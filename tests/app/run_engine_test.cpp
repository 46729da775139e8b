// The run engine on its own, with no window: each event in, the outcome and the state out.

#include "run/run_engine.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <optional>

#include "qt_print.h"

using namespace classifiers;

namespace {

const char kNoInputFile[] = "Please select valid input file";
const char kOutOfRange[] = "Please select training set between 0 and 100";
const char kAborting[] = "Error !!! Aborting process";

#ifdef Q_OS_WIN
const QString kExe = ".exe";
#else
const QString kExe = "";
#endif

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

RunEngine engineFor(const QString& dataFile, const QString& subdir = {}) {
    RunEngine engine({"/opt/app", subdir, 1500});
    engine.fileChosen(dataFile);
    return engine;
}

}  // namespace

TEST(RunEngine, AFileChosenSetsTheInputAndItsBase) {
    struct Case {
        QStringList returned;  // what the dialog gave back, one opening after another
        QString input, base;
    };
    const Case cases[] = {
        {{"/data/iris.data"}, "/data/iris.data", "/data/iris"},
        {{"/data/iris.data", "/data/iris.data"}, "/data/iris.data", "/data/iris"},  // a cancel
        {{""}, "", ""},                               // cancelled the very first time
        {{"/data/iris.data", ""}, "", "/data/iris"},  // too short for a base: the old one stays
        {{"a.dat"}, "a.dat", ""},                     // exactly five characters
        {{"/d/iris.txt"}, "/d/iris.txt", "/d/iri"},   // the extension is not examined
        {{"/d/iris.data", "/e/wine.data"}, "/e/wine.data", "/e/wine"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.returned.join(" then ").toStdString());
        RunEngine engine({});
        for (const QString& name : c.returned) engine.fileChosen(name);
        EXPECT_EQ(engine.state().strInputFile, c.input);
        EXPECT_EQ(engine.state().strBaseName, c.base);
        EXPECT_EQ(engine.state().strOutputFile, "");
        EXPECT_EQ(engine.state().dblTrainPercent, 0.0);
    }
}

// The first failing check answers; a number read is stored even when it is out of range.
TEST(RunEngine, ARefusedRunAnswersTheFirstFailingCheck) {
    struct Case {
        const char* file;
        const char* percent;
        const char* message;
        double storedPercent;
    };
    const Case cases[] = {
        {"", "", kNoInputFile, 0},
        {"", "150", kNoInputFile, 0},
        {"/d/notes.md", "66.67", kNoInputFile, 0},
        {"/d/iris.data", "", kAborting, 0},
        {"/d/iris.data", "1.2.3", kAborting, 0},
        {"/d/iris.data", ".", kAborting, 0},
        {"/d/iris.data", "150", kOutOfRange, 150},
        {"/d/iris.data", "-1", kOutOfRange, -1},
        {"/d/iris.data", "100.01", kOutOfRange, 100.01},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " " + c.percent);
        RunEngine engine = engineFor(c.file);
        const RunOutcome outcome = engine.runPressed(c.percent, "Interval Classifier");
        EXPECT_EQ(outcome.message, c.message);
        EXPECT_EQ(outcome.program, "");
        EXPECT_TRUE(outcome.arguments.isEmpty());
        EXPECT_EQ(engine.state().dblTrainPercent, c.storedPercent);
        EXPECT_EQ(engine.state().strOutputFile, "");  // nothing to load
    }
}

TEST(RunEngine, AnAcceptedRunNamesTheProgramItsArgumentsAndTheResult) {
    struct Case {
        const char* percent;
        const char* combo;
        const char* subdir;
        QString program;
        const char* percentArgument;
        const char* suffix;
        double stored;
    };
    const Case cases[] = {
        {"66.67", "Interval Classifier", "", "/opt/app/tarnel", "66.67", "_interval.output", 66.67},
        {"70.0", "Naive Bayesian Classifier", "", "/opt/app/classify", "70", "_bayes.output", 70},
        {"0", "interval classifier", "", "/opt/app/classify", "0", "_bayes.output", 0},
        {"100", "Interval Classifier ", "debug", "/opt/app/debug/classify", "100", "_bayes.output",
         100},
        {".5", "", "debug", "/opt/app/debug/classify", "0.5", "_bayes.output", 0.5},
        {"100.0", "Interval Classifier", "debug", "/opt/app/debug/tarnel", "100",
         "_interval.output", 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.percent) + " " + c.combo);
        RunEngine engine = engineFor("/d/my iris.data", c.subdir);
        const RunOutcome outcome = engine.runPressed(c.percent, c.combo);
        EXPECT_EQ(outcome.message, "");
        EXPECT_EQ(outcome.program, c.program + kExe);
        // The base path with its space is one argument.
        EXPECT_EQ(outcome.arguments, QStringList({"/d/my iris", c.percentArgument}));
        EXPECT_EQ(outcome.resultFile, QString("/d/my iris") + c.suffix);
        EXPECT_EQ(engine.state().strOutputFile, outcome.resultFile);
        EXPECT_EQ(engine.state().dblTrainPercent, c.stored);
    }
}

// A table is started on its whole path; its result lies beside it, named by the path less its
// suffix. Each case follows an earlier .data choice, whose base must not be used.
TEST(RunEngine, ATableRunsOnItsWholePathWithItsResultBesideIt) {
    struct Case {
        const char* file;
        const char* resultBase;
    };
    const Case cases[] = {
        {"/home/u/iris.csv", "/home/u/iris"},
        {"/d/my data/Iris.CSV", "/d/my data/Iris"},
        {"/d/w.tsv", "/d/w"},
        {"/d/W.TsV", "/d/W"},
        {"/d/notes.txt", "/d/notes"},
        {"/d/NOTES.TXT", "/d/NOTES"},
        {"/d/weather.arff", "/d/weather"},
        {"/d/weather.Arff", "/d/weather"},
        {"/d/v1.2.csv", "/d/v1.2"},  // only the last suffix goes
        {"/d/iris.data.csv", "/d/iris.data"},
        {"/d.arff/x.csv", "/d.arff/x"},
        {"a.csv", "a"},  // as short as a name with a table suffix gets
    };
    const struct {
        const char* combo;
        QString program;
        const char* suffix;
    } classifiers[] = {{"Interval Classifier", "/opt/app/tarnel", "_interval.output"},
                       {"Naive Bayesian Classifier", "/opt/app/classify", "_bayes.output"}};
    for (const Case& c : cases) {
        for (const auto& classifier : classifiers) {
            SCOPED_TRACE(std::string(c.file) + " " + classifier.combo);
            RunEngine engine = engineFor("/e/iris.data");
            engine.fileChosen(c.file);
            const RunOutcome outcome = engine.runPressed("66.67", classifier.combo);
            EXPECT_EQ(outcome.message, "");
            EXPECT_EQ(outcome.program, classifier.program + kExe);
            EXPECT_EQ(outcome.arguments, QStringList({c.file, "66.67"}));
            EXPECT_EQ(outcome.resultFile, QString(c.resultBase) + classifier.suffix);
            EXPECT_EQ(engine.state().strOutputFile, outcome.resultFile);
        }
    }
}

TEST(RunEngine, AFileThatIsNeitherDataNorTableIsRefused) {
    for (const char* file : {
             "/d/notes.md", "/d/iris.csv.bak", "/d/iriscsv", "/d/iris.cs", "/d/iris.arf",
             "/d/iris.xlsx", "/d/iris.tsv ", "/d/iris", "/d/README", "/d/data", "abc",
#ifndef Q_OS_WIN
             "/d/IRIS.DATA",  // a .data file's suffix is compared exactly here
#endif
         }) {
        SCOPED_TRACE(file);
        RunEngine engine = engineFor(file);
        const RunOutcome outcome = engine.runPressed("66.67", "Interval Classifier");
        EXPECT_EQ(outcome.message, kNoInputFile);
        EXPECT_TRUE(outcome.arguments.isEmpty());
        EXPECT_EQ(engine.state().strOutputFile, "");
    }
}

TEST(RunEngine, ARefusedOrFailedRunKeepsWhatEarlierRunsStored) {
    RunEngine engine = engineFor("/d/iris.data");
    ASSERT_EQ(engine.runPressed("66.67", "Interval Classifier").message, "");
    EXPECT_EQ(engine.startFailed(), kAborting);
    EXPECT_EQ(engine.state().strOutputFile, "/d/iris_interval.output");

    EXPECT_EQ(engine.runPressed("abc", "Naive Bayesian Classifier").message, kAborting);
    EXPECT_EQ(engine.state().dblTrainPercent, 66.67);
    EXPECT_EQ(engine.runPressed("150", "Naive Bayesian Classifier").message, kOutOfRange);
    EXPECT_EQ(engine.state().dblTrainPercent, 150.0);
    EXPECT_EQ(engine.state().strOutputFile, "/d/iris_interval.output");

    engine.fileChosen("abc");  // too short for a base, and no data file
    EXPECT_EQ(engine.runPressed("50", "Interval Classifier").message, kNoInputFile);
    EXPECT_EQ(engine.state().dblTrainPercent, 150.0);
    EXPECT_EQ(engine.state().strBaseName, "/d/iris");
}

TEST(RunEngine, WithoutAProgramDirectoryTheRunningProgramsFolderIsUsed) {
    RunEngine engine({{}, "debug", 3000});
    engine.fileChosen("/d/iris.data");
    EXPECT_EQ(engine.runPressed("66.67", "Interval Classifier").program,
              QCoreApplication::applicationDirPath() + "/debug/tarnel" + kExe);
    EXPECT_EQ(engine.waitMs(), 3000);
}

// The result is judged against the file as it was when Run was pressed.
TEST(RunEngine, TheEndOfTheWaitShowsOnlyANewResult) {
    struct Case {
        const char* name;
        std::optional<QByteArray> atRun;     // the result file before Run; none: no file
        std::optional<QByteArray> afterRun;  // what the classifier leaves; none: removed
        bool chooseAnotherFile;              // a new choice during the wait
        const char* shown;                   // the view's text, or nullptr for a message
        const char* problem;                 // part of the message
    };
    const Case cases[] = {
        {"written", std::nullopt, "a\r\nb", false, "a\nb\n", nullptr},
        {"rewritten", "old\r\n", "new report\r\n", false, "new report\n", nullptr},
        {"empty", "old\r\n", "", false, "", nullptr},
        {"chosen meanwhile", std::nullopt, "kept\r", true, "kept\n", nullptr},
        {"missing", std::nullopt, std::nullopt, false, nullptr,
         "no result file within 1.5 seconds"},
        {"removed", "old\r\n", std::nullopt, false, nullptr, "no result file"},
        {"unchanged", "old\r\n", "old\r\n", false, nullptr, "unchanged since Run"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString result = dir.filePath("iris_interval.output");
        if (c.atRun) writeFile(result, *c.atRun);
        RunEngine engine = engineFor(dir.filePath("iris.data"));
        ASSERT_EQ(engine.runPressed("66.67", "Interval Classifier").resultFile, result);
        if (c.chooseAnotherFile) engine.fileChosen(dir.filePath("wine.data"));
        if (c.afterRun && c.afterRun != c.atRun) writeFile(result, *c.afterRun);
        if (!c.afterRun) QFile::remove(result);
        const ResultLoad load = engine.waitEnded();
        EXPECT_EQ(load.ok, c.shown != nullptr);
        if (c.shown) {
            EXPECT_EQ(load.text, c.shown);
        }
        if (c.problem) {
            EXPECT_TRUE(load.problem.contains(c.problem)) << load.problem.toStdString();
            EXPECT_TRUE(load.problem.contains(QDir::toNativeSeparators(result)));
        }
    }
}
