#include "testutil.h"

#include <QDir>
#include <QFileInfo>

int openDescriptors(const QString& path) {
    int n = 0;
    const QDir fds(QStringLiteral("/proc/self/fd"));
    const auto entries = fds.entryInfoList(QDir::Files | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& fd : entries) {
        if (fd.symLinkTarget() == path)
            ++n;
    }
    return n;
}

int threadCount() {
    return int(QDir(QStringLiteral("/proc/self/task"))
                   .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
                   .size());
}
