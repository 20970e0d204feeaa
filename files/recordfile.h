#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// Opening a record file by name. A check by name and an open by name leave a moment in which a
// pipe can be renamed into place, and opening a pipe waits until someone is at its other end:
// the file is opened without waiting, and what was opened is checked.
namespace RecordFile {

enum class Status { Opened, Missing, LinkLoop, NotRegular, Failed };

// Opens `file` on `path` in `mode` (a writing mode creates the file, never a folder) only when
// the opened file is a regular file; `file` stays closed otherwise.
Status open(QFile& file, const QString& path, QIODevice::OpenMode mode);

// Appends whole lines to the regular file a name leads to. On POSIX systems the file stays open
// between lines for as long as the name still leads to it unchanged; anything else at the name
// (another file, a pipe, nothing, other owner or rights) is opened anew, as a name changed. On
// Windows an open file cannot be renamed or deleted by others: it is opened for each line.
class Appender {
public:
    Appender() = default;
    Appender(const Appender&) = delete;
    Appender& operator=(const Appender&) = delete;

    // Appends `line` (its line feed included) on a line of its own; with `sync`, it is on stable
    // storage before true comes back. On failure nothing of it stays in the file.
    bool append(const QString& path, const QByteArray& line, bool sync);

    // Lets go of the file kept open, if any.
    void close();

private:
    bool attach(const QString& path, qint64& size);

    QFile m_file;
    QString m_path;
    QByteArray m_name;
    // What the name led to when the file was opened.
    quint64 m_dev = 0, m_ino = 0;
    quint32 m_mode = 0, m_uid = 0, m_gid = 0;
};

}  // namespace RecordFile
