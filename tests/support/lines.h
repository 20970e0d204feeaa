#pragma once

// Reading back what the program wrote: the event log's lines and a record file's lines.
#include <QByteArray>
#include <QFile>
#include <QList>
#include <QStringList>

#include "logsmodel.h"

inline QStringList logLines(LogsModel* logs) {
    QStringList out;
    for (int i = 0; i < logs->rowCount(); ++i)
        out << logs->data(logs->index(i), LogsModel::eLog).toString();
    return out;
}

// The file's lines without their line feeds; `endsWithNewline` tells whether the last one had
// one (no half line at the end).
inline QList<QByteArray> fileLines(const QString& path, bool* endsWithNewline = nullptr) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray all = f.readAll();
    if (endsWithNewline)
        *endsWithNewline = all.isEmpty() || all.endsWith('\n');
    QList<QByteArray> lines = all.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}
