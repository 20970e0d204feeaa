#pragma once

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

}  // namespace RecordFile
