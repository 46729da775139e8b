#include "run/result_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

namespace classifiers {

QByteArray resultLines(const QByteArray& fileBytes) {
    QByteArray out;
    out.reserve(fileBytes.size() + 1);
    const qsizetype n = fileBytes.size();
    qsizetype i = 0;
    while (i < n) {  // the end test comes before each read
        const qsizetype cr = fileBytes.indexOf('\r', i);
        const qsizetype end = cr < 0 ? n : cr;
        out.append(fileBytes.constData() + i, end - i);
        out.append('\n');
        i = end;
        if (i < n) {  // skip the terminator: CR, or CR LF
            ++i;
            if (i < n && fileBytes[i] == '\n') ++i;
        }
    }
    return out;
}

QString decodeResultText(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError()) return text;
    return QString::fromLatin1(bytes);
}

FileSnapshot snapshotFile(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists()) return {};
    return {true, info.size(), info.lastModified()};
}

ResultLoad loadResult(const QString& path, const FileSnapshot& atRun, int waitMs) {
    const QString seconds = QString::number(waitMs / 1000.0);
    const QString shown = QDir::toNativeSeparators(path);
    const FileSnapshot now = snapshotFile(path);
    if (!now.exists) {
        return {false,
                {},
                QStringLiteral("The classifier left no result file within %1 seconds:\n%2")
                    .arg(seconds, shown)};
    }
    if (now == atRun) {
        return {false,
                {},
                QStringLiteral("The classifier wrote no new result within %1 seconds. The result "
                               "file is unchanged since Run, so it is not shown:\n%2")
                    .arg(seconds, shown)};
    }
    QFile file(path);
    if (QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly)) {
        const QString why =
            QFileInfo(path).isDir() ? QStringLiteral("it is a folder") : file.errorString();
        return {false,
                {},
                QStringLiteral("The result file could not be read (%1):\n%2").arg(why, shown)};
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return {false,
                {},
                QStringLiteral("The result file could not be read (%1):\n%2")
                    .arg(file.errorString(), shown)};
    }
    return {true, decodeResultText(resultLines(bytes)), {}};
}

}  // namespace classifiers
