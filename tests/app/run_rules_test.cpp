// The decisions that need no window: twips, the percentage filter's rule, the base path, the
// percentage's reading and writing, the classifier choice, the dialog's filters, the result text.

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "qt_print.h"
#include "run/base_name.h"
#include "run/classifier_choice.h"
#include "run/dialog_filters.h"
#include "run/percent.h"
#include "run/result_file.h"
#include "window/percent_filter.h"
#include "window/twips.h"

using namespace classifiers;

TEST(Twips, FifteenTwipsAreOnePixel) {
    EXPECT_EQ(twipsToPixels(10185), 679);
    EXPECT_EQ(twipsToPixels(7860), 524);
    EXPECT_EQ(twipsToPixels(15), 1);
    EXPECT_EQ(twipsToPixels(0), 0);
    EXPECT_EQ(twipsToPixels(7), 0);  // rounds to the nearest pixel
    EXPECT_EQ(twipsToPixels(8), 1);
    EXPECT_EQ(twipsToPixels(-8), -1);
    EXPECT_EQ(pixelsToTwips(679), 10185);
}

TEST(PercentFilterRule, AdmitsExactlyDigitsPointAndBackspace) {
    std::string admitted;
    for (int code = -32768; code <= 32767; ++code) {
        if (percentFilterAdmits(code))
            admitted += code == 8 ? std::string("\\b") : std::string(1, char(code));
    }
    EXPECT_EQ(admitted, "\\b.0123456789");
}

TEST(BaseName, DropsTheLastFiveCharacters) {
    EXPECT_EQ(deriveBaseName("/data/iris.data", "old"), "/data/iris");
    // The extension is not examined.
    EXPECT_EQ(deriveBaseName("/data/iris.txt", "old"), "/data/iri");
    EXPECT_EQ(deriveBaseName("a.dat", "old"), "");  // exactly five characters
    EXPECT_EQ(deriveBaseName("/d/é.data", ""), "/d/é");
}

TEST(BaseName, ShorterThanFiveKeepsThePreviousBase) {
    EXPECT_EQ(deriveBaseName("", "/data/iris"), "/data/iris");
    EXPECT_EQ(deriveBaseName("", ""), "");
    EXPECT_EQ(deriveBaseName("abcd", "/data/iris"), "/data/iris");
}

TEST(BaseName, OnlyDataFilesCanBeRun) {
    EXPECT_TRUE(isDataFile("/data/iris.data"));
    EXPECT_TRUE(isDataFile("/data/my iris.data"));
    EXPECT_FALSE(isDataFile("/data/iris.txt"));
    EXPECT_FALSE(isDataFile("/data/iris.data.bak"));
    EXPECT_FALSE(isDataFile("/data/irisdata"));
#ifdef Q_OS_WIN
    EXPECT_TRUE(isDataFile("C:/data/IRIS.DATA"));
#else
    EXPECT_FALSE(isDataFile("/data/IRIS.DATA"));
#endif
}

TEST(Percent, ReadsPlainDecimalsWhateverTheLocale) {
    QLocale::setDefault(QLocale(QLocale::German));
    EXPECT_EQ(parsePercent("66.67"), 66.67);
    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(parsePercent("70"), 70.0);
    EXPECT_EQ(parsePercent(".5"), 0.5);
    EXPECT_EQ(parsePercent("100."), 100.0);
    EXPECT_EQ(parsePercent(" 50 "), 50.0);
    EXPECT_EQ(parsePercent("150"), 150.0);
    EXPECT_EQ(parsePercent("1e1"), 10.0);
    EXPECT_EQ(parsePercent("0000000000000000066.67"), 66.67);
}

TEST(Percent, RejectsWhatIsNotADecimalNumber) {
    for (const char* text : {"", " ", ".", "..", "1.2.3", "66,67", "abc", "5%", "1e", "nan", "inf",
                             "0x10", "1e999", "--1", "1 2"}) {
        EXPECT_FALSE(parsePercent(text).has_value()) << text;
    }
}

TEST(Percent, RangeIncludesBothEnds) {
    EXPECT_TRUE(percentInRange(0));
    EXPECT_TRUE(percentInRange(100));
    EXPECT_TRUE(percentInRange(66.67));
    EXPECT_FALSE(percentInRange(100.0000001));
    EXPECT_FALSE(percentInRange(-0.001));
    EXPECT_FALSE(percentInRange(150));
}

TEST(Percent, WritesTheShortestPlainDecimal) {
    EXPECT_EQ(percentText(66.67), "66.67");
    EXPECT_EQ(percentText(70), "70");
    EXPECT_EQ(percentText(*parsePercent(".5")), "0.5");
    EXPECT_EQ(percentText(*parsePercent("100.0")), "100");
    EXPECT_EQ(percentText(0), "0");
    EXPECT_EQ(percentText(-0.0), "0");
    EXPECT_EQ(percentText(0.1 + 0.2), "0.3");  // at most 15 significant digits
    EXPECT_EQ(percentText(33.3333333333333333), "33.3333333333333");
    EXPECT_EQ(percentText(1e-7), "0.0000001");  // never an exponent
    EXPECT_EQ(percentText(99.999999999999999), "100");
    EXPECT_EQ(percentText(12.5e0), "12.5");
}

TEST(ClassifierChoice, IntervalOnlyForTheExactText) {
    const ClassifierChoice interval = chooseClassifier("Interval Classifier");
    EXPECT_EQ(interval.programName, "tarnel");
    EXPECT_EQ(interval.resultSuffix, "_interval.output");
    for (const char* text : {"Naive Bayesian Classifier", "interval classifier",
                             "Interval Classifier ", " Interval Classifier", "", "anything"}) {
        const ClassifierChoice bayes = chooseClassifier(text);
        EXPECT_EQ(bayes.programName, "classify") << text;
        EXPECT_EQ(bayes.resultSuffix, "_bayes.output") << text;
    }
}

TEST(ClassifierChoice, ProgramPathAndArguments) {
#ifdef Q_OS_WIN
    EXPECT_EQ(classifierProgramPath("C:/app", "", "tarnel"), "C:/app/tarnel.exe");
#else
    EXPECT_EQ(classifierProgramPath("/opt/app", "", "tarnel"), "/opt/app/tarnel");
    EXPECT_EQ(classifierProgramPath("/opt/app", "debug", "classify"), "/opt/app/debug/classify");
    EXPECT_EQ(classifierProgramPath("/opt/my app/", "debug", "tarnel"), "/opt/my app/debug/tarnel");
#endif
    EXPECT_EQ(classifierArguments("/d/my iris;rm -rf", "66.67"),
              QStringList({"/d/my iris;rm -rf", "66.67"}));
}

TEST(FileDialogFilters, ParsesPairsInOrder) {
    const QList<DialogFilter> filters = parseFilterList(kDataFileFilterList);
    ASSERT_EQ(filters.size(), 3);
    EXPECT_EQ(filters[0].description, "All Files (*.*)");
    EXPECT_EQ(filters[0].patterns, QStringList({"*.*"}));
    EXPECT_EQ(filters[1].description, "Data Files (*.data)");
    EXPECT_EQ(filters[1].patterns, QStringList({"*.data"}));
    EXPECT_EQ(filters[2].description, "Tables (*.csv *.tsv *.txt *.arff)");
    EXPECT_EQ(filters[2].patterns, QStringList({"*.csv", "*.tsv", "*.txt", "*.arff"}));
    EXPECT_EQ(parseFilterList("Text|*.txt;*.text|dangling").size(), 1);
    EXPECT_EQ(parseFilterList("Text|*.txt;*.text")[0].patterns, QStringList({"*.txt", "*.text"}));
}

TEST(FileDialogFilters, AllFilesMeansEveryFile) {
#ifndef Q_OS_WIN
    EXPECT_EQ(effectivePatterns({"*.*"}), QStringList({"*"}));
#endif
    EXPECT_EQ(effectivePatterns({"*.data"}), QStringList({"*.data"}));
}

// Each line of the result file followed by one line feed.
static QByteArray lines(const char* bytes) { return resultLines(QByteArray(bytes)); }

TEST(ResultLines, LinesEndAtCarriageReturnOrCrLf) {
    EXPECT_EQ(lines("a\r\nb\r\nc\r\n"), "a\nb\nc\n");
    EXPECT_EQ(lines("a\rb\rc\r"), "a\nb\nc\n");
    EXPECT_EQ(lines("a\r\nb"), "a\nb\n");      // a last line without terminator is still a line
    EXPECT_EQ(lines("a\nb\nc"), "a\nb\nc\n");  // a lone line feed is no end: one line
    EXPECT_EQ(lines("a\n\r\nb\r"), "a\n\nb\n");
    EXPECT_EQ(lines(""), "");
    EXPECT_EQ(lines("\r\n"), "\n");  // one empty line, no extra one after the terminator
    EXPECT_EQ(lines("\r\n\r\n"), "\n\n");
    EXPECT_EQ(lines("\r\r\n"), "\n\n");
    EXPECT_EQ(resultLines(QByteArray("x\0y\r\n", 5)), QByteArray("x\0y\n", 4));
}

TEST(ResultLines, DecodesUtf8OrElseLatin1) {
    EXPECT_EQ(decodeResultText("caf\xc3\xa9\n"), QString::fromUtf8("café\n"));
    EXPECT_EQ(decodeResultText("caf\xe9\n"), QString::fromUtf8("café\n"));  // not UTF-8
    EXPECT_EQ(decodeResultText("\xc3\xa9 \xff"), QString::fromUtf8("Ã© ÿ"));
    EXPECT_EQ(decodeResultText(""), "");
}

TEST(ResultLoading, MissingStaleAndUnreadableResultsAreNamed) {
    QTemporaryDir dir;
    const QString path = dir.filePath("iris_bayes.output");
    ResultLoad missing = loadResult(path, snapshotFile(path), 3000);
    EXPECT_FALSE(missing.ok);
    EXPECT_TRUE(missing.problem.contains(QDir::toNativeSeparators(path)));
    EXPECT_TRUE(missing.problem.contains("no result file within 3 seconds"));

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("old\r\n");
    file.close();
    const FileSnapshot before = snapshotFile(path);
    EXPECT_TRUE(before.exists);
    EXPECT_EQ(before.size, 5);
    ResultLoad stale = loadResult(path, before, 1500);
    EXPECT_FALSE(stale.ok);
    EXPECT_TRUE(stale.problem.contains("unchanged")) << stale.problem.toStdString();
    EXPECT_TRUE(stale.problem.contains("1.5 seconds"));

    ResultLoad fresh = loadResult(path, FileSnapshot{}, 3000);  // it did not exist at Run
    EXPECT_TRUE(fresh.ok);
    EXPECT_EQ(fresh.text, "old\n");

    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.output"));
    ResultLoad folder = loadResult(dir.filePath("folder.output"), FileSnapshot{}, 3000);
    EXPECT_FALSE(folder.ok);
    EXPECT_TRUE(folder.problem.contains("could not be read"));
}
