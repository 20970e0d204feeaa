#include "recordfile.h"

#include <QFileInfo>

#if defined(Q_OS_UNIX)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#elif defined(Q_OS_WIN)
#include <io.h>
#include <windows.h>
#endif

namespace RecordFile {

#if defined(Q_OS_UNIX)

namespace {

Status fromErrno(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            return Status::Missing;
        case ELOOP:
            return Status::LinkLoop;
        case ENXIO:   // a pipe without a reader, a socket
        case EISDIR:  // a folder opened for writing
            return Status::NotRegular;
        default:
            return Status::Failed;
    }
}

int openFlags(QIODevice::OpenMode mode) {
    int flags = mode.testFlag(QIODevice::ReadWrite)   ? O_RDWR
                : mode.testFlag(QIODevice::WriteOnly) ? O_WRONLY
                                                      : O_RDONLY;
    if (mode & QIODevice::WriteOnly)
        flags |= O_CREAT;
    if (mode & QIODevice::Append)
        flags |= O_APPEND;
    if (mode & QIODevice::Truncate)
        flags |= O_TRUNC;
    // Opening a terminal must not make it the program's own.
    return flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
}

}  // namespace

Status open(QFile& file, const QString& path, QIODevice::OpenMode mode) {
    if (path.isEmpty())
        return Status::Missing;
    const QByteArray name = QFile::encodeName(path);
    int fd;
    do
        fd = ::open(name.constData(), openFlags(mode), 0666);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return fromErrno(errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return Status::NotRegular;
    }
    // A regular file is read and written like any other: waiting for the disk is fine there.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) < 0 ||
        !file.open(fd, mode, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return Status::Failed;
    }
    return Status::Opened;
}

namespace {

// Pushes what the file holds to stable storage, so a line reported as written survives a crash
// or a power loss. Files that cannot be synced at all count as synced.
bool syncToDisk(int fd) {
#if defined(Q_OS_DARWIN)
    const int rc = ::fsync(fd);
#else
    const int rc = ::fdatasync(fd);
#endif
    return rc == 0 || errno == EINVAL || errno == EROFS || errno == ENOTSUP;
}

bool writeAll(int fd, const QByteArray& bytes) {
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

}  // namespace

// The name is looked up on every line: a file renamed or deleted meanwhile, or something else put
// in its place, must not take the next line under the old identity. Rights and owner count too:
// writing through an old descriptor would pass by a permission taken away since.
bool Appender::attach(const QString& path, qint64& size) {
    if (m_file.isOpen() && path == m_path) {
        struct stat st {};
        if (::stat(m_name.constData(), &st) == 0 && quint64(st.st_dev) == m_dev &&
            quint64(st.st_ino) == m_ino && quint32(st.st_mode) == m_mode &&
            quint32(st.st_uid) == m_uid && quint32(st.st_gid) == m_gid) {
            size = st.st_size;
            return true;
        }
    }
    close();
    // Opening a device may act on it (a tape rewinds): only a regular file, or none yet, is
    // opened at all.
    if (const QFileInfo info(path); path.isEmpty() || (info.exists() && !info.isFile()))
        return false;
    // Readable where permitted, to see how the file ends.
    const QIODevice::OpenMode append = QIODevice::Append | QIODevice::Unbuffered;
    Status opened = open(m_file, path, QIODevice::ReadWrite | append);
    if (opened == Status::Failed)
        opened = open(m_file, path, QIODevice::WriteOnly | append);
    struct stat st {};
    if (opened != Status::Opened || ::fstat(m_file.handle(), &st) != 0) {
        close();
        return false;
    }
    m_path = path;
    m_name = QFile::encodeName(path);
    m_dev = quint64(st.st_dev);
    m_ino = quint64(st.st_ino);
    m_mode = quint32(st.st_mode);
    m_uid = quint32(st.st_uid);
    m_gid = quint32(st.st_gid);
    size = st.st_size;
    return true;
}

bool Appender::append(const QString& path, const QByteArray& line, bool sync) {
    qint64 size = 0;
    if (!attach(path, size))
        return false;
    const int fd = m_file.handle();
    // Looked at on every line, not remembered: the file may have been edited since the last one.
    char last = '\n';
    if (size > 0 && m_file.isReadable() && ::pread(fd, &last, 1, size - 1) != 1)
        last = '\n';
    const bool ok = writeAll(fd, last == '\n' ? line : '\n' + line) && (!sync || syncToDisk(fd));
    if (!ok) {
        // Never leave half a line behind: the next reading would be glued to it.
        struct stat st {};
        if (::fstat(fd, &st) == 0 && st.st_size > size)
            while (::ftruncate(fd, size) != 0 && errno == EINTR) {
            }
        close();
    }
    return ok;
}

#else

// No pipe can be renamed over a file there: the name is checked and opened.
Status open(QFile& file, const QString& path, QIODevice::OpenMode mode) {
    const QFileInfo info(path);
    if (path.isEmpty() || (!info.exists() && !(mode & QIODevice::WriteOnly)))
        return Status::Missing;
    if (info.exists() && !info.isFile())
        return Status::NotRegular;
    file.setFileName(path);
    return file.open(mode) ? Status::Opened : Status::Failed;
}

namespace {

// Pushes what the file holds to stable storage; files that cannot be synced count as synced.
bool syncToDisk(QFile& file) {
#if defined(Q_OS_WIN)
    const auto h = reinterpret_cast<HANDLE>(_get_osfhandle(file.handle()));
    if (h == INVALID_HANDLE_VALUE)
        return false;
    if (FlushFileBuffers(h))
        return true;
    return GetLastError() == ERROR_INVALID_HANDLE || GetLastError() == ERROR_INVALID_FUNCTION;
#else
    return file.flush();
#endif
}

}  // namespace

bool Appender::append(const QString& path, const QByteArray& line, bool sync) {
    if (path.isEmpty())
        return false;
    // Unbuffered: a failed write must not linger in a buffer that close() would retry. Readable
    // where permitted, to see how the file ends.
    QFile file;
    const QIODevice::OpenMode append = QIODevice::Append | QIODevice::Unbuffered;
    Status opened = open(file, path, QIODevice::ReadWrite | append);
    if (opened == Status::Failed)
        opened = open(file, path, QIODevice::WriteOnly | append);
    if (opened != Status::Opened)
        return false;
    const qint64 sizeBefore = file.size();
    char last = '\n';
    if (sizeBefore > 0 && file.isReadable() && file.seek(sizeBefore - 1) &&
        file.read(&last, 1) != 1)
        last = '\n';
    const QByteArray bytes = last == '\n' ? line : '\n' + line;
    bool ok = file.write(bytes) == bytes.size();
    if (ok && sync)
        ok = syncToDisk(file);
    if (!ok && file.size() > sizeBefore)
        file.resize(sizeBefore);  // never half a line behind
    file.close();
    return ok && file.error() == QFileDevice::NoError;
}

#endif

void Appender::close() {
    m_file.close();
    m_path.clear();
    m_name.clear();
}

}  // namespace RecordFile
