// The record file's name and the status line.
#include "meterdeck.h"

#include <QDateTime>

// ---- recording and the status line ----

void Meterdeck::updateFileName(bool needLog) {
    if (needWrite())
        setNeedWrite(false);
    m_recorder->nameFor(m_meters->selected(), QDateTime::currentDateTime());
    if (needLog)
        log(QStringLiteral("Имя файла обновлено, имя файла = ") + fileName());
    emit fileNameChanged();
}

bool Meterdeck::stale(qint64 nowMs) const {
    return statusLine().stale(nowMs);
}

QString Meterdeck::statusPlace(qint64 nowMs) const {
    return statusLine().place(nowMs);
}

QString Meterdeck::statusCounts() const {
    return statusLine().counts();
}

QString Meterdeck::statusText(qint64 nowMs) const {
    const StatusLine line = statusLine();
    return line.place(nowMs) + line.counts();
}

QString Meterdeck::pictureCaption(qint64 nowMs) const {
    return statusLine().caption(nowMs, m_freq);
}
