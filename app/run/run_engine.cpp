#include "run/run_engine.h"

#include <QCoreApplication>
#include <utility>

#include "run/base_name.h"
#include "run/classifier_choice.h"
#include "run/percent.h"
#include "run/run_input.h"

namespace classifiers {

namespace {
const char kNoInputFile[] = "Please select valid input file";
const char kOutOfRange[] = "Please select training set between 0 and 100";
const char kAborting[] = "Error !!! Aborting process";

RunOutcome showing(const char* message) { return {QString::fromLatin1(message), {}, {}, {}}; }
}  // namespace

RunEngine::RunEngine(LaunchSettings settings) : settings_(std::move(settings)) {}

void RunEngine::fileChosen(const QString& fileName) {
    state_.strInputFile = fileName;
    state_.strBaseName = deriveBaseName(state_.strInputFile, state_.strBaseName);
}

RunOutcome RunEngine::runPressed(const QString& percentText, const QString& comboText) {
    const std::optional<RunInput> input = runInputFor(state_.strInputFile, state_.strBaseName);
    if (!input) return showing(kNoInputFile);
    const std::optional<double> percent = parsePercent(percentText);
    if (!percent) return showing(kAborting);
    state_.dblTrainPercent = *percent;
    if (!percentInRange(state_.dblTrainPercent)) return showing(kOutOfRange);

    const ClassifierChoice choice = chooseClassifier(comboText);
    state_.strOutputFile = input->resultBase + choice.resultSuffix;
    resultAtRun_ = snapshotFile(state_.strOutputFile);
    return {{},
            classifierProgramPath(programDirectory(), settings_.programSubdir, choice.programName),
            classifierArguments(input->argument, classifiers::percentText(state_.dblTrainPercent)),
            state_.strOutputFile};
}

QString RunEngine::startFailed() const { return QString::fromLatin1(kAborting); }

ResultLoad RunEngine::waitEnded() const {
    return loadResult(state_.strOutputFile, resultAtRun_, settings_.waitMs);
}

QString RunEngine::programDirectory() const {
    return settings_.programDir.isEmpty() ? QCoreApplication::applicationDirPath()
                                          : settings_.programDir;
}

}  // namespace classifiers
