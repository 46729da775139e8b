#include "run/classifier_choice.h"

#include <QDir>

namespace classifiers {

ClassifierChoice chooseClassifier(const QString& comboText) {
    if (comboText == QLatin1String("Interval Classifier")) {
        return {QStringLiteral("tarnel"), QStringLiteral("_interval.output")};
    }
    return {QStringLiteral("classify"), QStringLiteral("_bayes.output")};
}

QString classifierProgramPath(const QString& programDir, const QString& subdir,
                              const QString& programName) {
#ifdef Q_OS_WIN
    const QString file = programName + QStringLiteral(".exe");
#else
    const QString& file = programName;
#endif
    QString path = programDir;
    if (!subdir.isEmpty()) path += QLatin1Char('/') + subdir;
    return QDir::cleanPath(path + QLatin1Char('/') + file);
}

QStringList classifierArguments(const QString& fileArgument, const QString& percentText) {
    return {fileArgument, percentText};
}

}  // namespace classifiers
