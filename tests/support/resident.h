#pragma once

#include <QFile>

// A figure of /proc/<pid>/status in KiB ("VmRSS", "VmHWM"); pid 0: this process. 0 where it
// cannot be read (no /proc: not Linux).
inline long procStatusKiB(const char* field, qint64 pid = 0) {
    QFile f(pid ? QStringLiteral("/proc/%1/status").arg(pid) : QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray& l : f.readAll().split('\n'))
        if (l.startsWith(key))
            return l.mid(key.size()).trimmed().split(' ').first().toLong();
    return 0;
}
