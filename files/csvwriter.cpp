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

char16_t* putTwo(char16_t* out, int value) {
    *out++ = char16_t(u'0' + value / 10);
    *out++ = char16_t(u'0' + value % 10);
    return out;
}

// RecordFormat::TimePattern laid out by hand: QDateTime::toString parses the pattern anew for
// every call. The fields are the date-time's own, so the local time is Qt's to the letter; years
// of other than four digits take the general way.
QString timeText(const QDateTime& time) {
    const QDate date = time.date();
    if (!time.isValid() || date.year() < 1000 || date.year() > 9999)
        return time.toString(RecordFormat::TimePattern);
    const QTime clock = time.time();
    QString text(RecordFormat::TimeLength, Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    out = putTwo(out, date.day());
    *out++ = u'.';
    out = putTwo(out, date.month());
    *out++ = u'.';
    out = putTwo(out, date.year() / 100);
    out = putTwo(out, date.year() % 100);
    *out++ = u' ';
    for (const int field : {clock.hour(), clock.minute()}) {
        out = putTwo(out, field);
        *out++ = u':';
        *out++ = u':';
    }
    putTwo(out, clock.second());
    return text;
}

}  // namespace

QString CsvWriter::formatLine(const PowerData& data) {
    using namespace RecordFormat;
    QString line = timeText(data.time());
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
