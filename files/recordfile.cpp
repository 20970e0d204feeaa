#include "recordfile.h"

#include <QFileInfo>

#if defined(Q_OS_UNIX)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
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

#endif

}  // namespace RecordFile
