#include "run/base_name.h"

namespace classifiers {

namespace {
constexpr qsizetype kSuffixLength = 5;  // ".data"
}

QString deriveBaseName(const QString& inputFile, const QString& previousBase) {
    if (inputFile.size() < kSuffixLength) return previousBase;
    return inputFile.left(inputFile.size() - kSuffixLength);
}

bool isDataFile(const QString& inputFile) {
#ifdef Q_OS_WIN
    constexpr Qt::CaseSensitivity kCase = Qt::CaseInsensitive;
#else
    constexpr Qt::CaseSensitivity kCase = Qt::CaseSensitive;
#endif
    return inputFile.endsWith(QStringLiteral(".data"), kCase);
}

}  // namespace classifiers
