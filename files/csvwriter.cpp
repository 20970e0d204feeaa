#include "csvwriter.h"
#include "recordfile.h"
#include "recordformat.h"

#include <QFile>
#include <QFileInfo>
#include <QStringEncoder>

#if defined(Q_OS_WIN)
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#include <cerrno>
#endif

namespace {

// Pushes what the file holds to stable storage, so a line reported as written survives a crash
// or a power loss. Files that cannot be synced at all (pipes, character devices) count as synced.
bool syncToDisk(QFile& file) {
#if defined(Q_OS_WIN)
    const auto h = reinterpret_cast<HANDLE>(_get_osfhandle(file.handle()));
    if (h == INVALID_HANDLE_VALUE)
        return false;
    if (FlushFileBuffers(h))
        return true;
    return GetLastError() == ERROR_INVALID_HANDLE || GetLastError() == ERROR_INVALID_FUNCTION;
#else
#if defined(Q_OS_DARWIN)
    const int rc = ::fsync(file.handle());
#else
    const int rc = ::fdatasync(file.handle());
#endif
    return rc == 0 || errno == EINVAL || errno == EROFS || errno == ENOTSUP;
#endif
}

}  // namespace

QString CsvWriter::formatLine(const PowerData& data) {
    using namespace RecordFormat;
    QString line = data.time().toString(TimePattern);
    line += QLatin1Char(Separator);
    line += QString::number(data.freq(), 'g', Digits);
    line += QLatin1Char(Separator);
    line += data.freqUnit();
    line += QLatin1Char(Separator);
    line += QString::number(data.power(), 'g', Digits);
    line += QLatin1Char(Separator);
    line += data.powerUnit();
    line += QLatin1Char('\n');
    return line;
}

bool CsvWriter::write(const QString& fileName, PowerData data) {
    if (fileName.isEmpty())
        return false;
    // Opening a pipe for writing blocks until someone reads it, a device takes anything: only a
    // regular file (or none yet) is written.
    if (const QFileInfo info(fileName); info.exists() && !info.isFile())
        return false;
    // Unbuffered: a failed write must not linger in a buffer that close() would retry. Readable
    // where permitted, to see how the file ends.
    QFile file;
    const QIODevice::OpenMode append = QIODevice::Append | QIODevice::Unbuffered;
    RecordFile::Status opened = RecordFile::open(file, fileName, QIODevice::ReadWrite | append);
    if (opened == RecordFile::Status::Failed)
        opened = RecordFile::open(file, fileName, QIODevice::WriteOnly | append);
    if (opened != RecordFile::Status::Opened)
        return false;
    const bool seekable = !file.isSequential();
    const qint64 sizeBefore = seekable ? file.size() : 0;

    QStringEncoder encoder(QStringConverter::System);
    QByteArray bytes = encoder.encode(formatLine(data));
    // A file edited by hand may lack its last line feed: the record starts a line of its own.
    char lastByte = '\n';
    if (sizeBefore > 0 && file.isReadable() && file.seek(sizeBefore - 1) &&
        file.read(&lastByte, 1) == 1 && lastByte != '\n')
        bytes.prepend('\n');

    bool ok = file.write(bytes) == bytes.size();
    if (ok && m_sync)
        ok = syncToDisk(file);
    if (!ok && seekable && file.size() > sizeBefore) {
        // Never leave half a line behind: the next reading would be glued to it.
        file.resize(sizeBefore);
    }
    file.close();
    return ok && file.error() == QFileDevice::NoError;
}
