#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace classifiers {

// Returns the result file's bytes as the view shows them: every line followed by one line feed.
// A line ends at a carriage return or a carriage return and line feed; the terminator is not part
// of the line; a lone line feed is not an end and stays as it is; a last line without terminator
// is still a line; a file that ends with a terminator gives no extra empty line.
QByteArray resultLines(const QByteArray& fileBytes);

// Returns the text of `bytes`: UTF-8 where the bytes are valid UTF-8, Latin-1 otherwise.
QString decodeResultText(const QByteArray& bytes);

// What the result file looked like at one moment, to tell a new result from a stale one.
struct FileSnapshot {
    bool exists = false;
    qint64 size = 0;
    QDateTime modified;
    bool operator==(const FileSnapshot&) const = default;
};

// Returns the state of the file at `path` now.
FileSnapshot snapshotFile(const QString& path);

// The outcome of loading a result at the end of the wait.
struct ResultLoad {
    bool ok = false;
    QString text;     // the view's text when ok
    QString problem;  // otherwise what went wrong, for a message to the user
};

// Reads the result file at `path` when the wait of `waitMs` milliseconds has ended. It fails with
// a message that names the file when the file is missing, cannot be read, or is exactly as it was
// at Run (`atRun`): then the classifier wrote nothing new within the wait.
ResultLoad loadResult(const QString& path, const FileSnapshot& atRun, int waitMs);

}  // namespace classifiers
