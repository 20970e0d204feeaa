#include "statusline.h"

#include <QDateTime>
#include <QFileInfo>
#include <QStringList>
#include <algorithm>

#include "powerunits.h"
#include "wording.h"

using Wording::num;

bool StatusLine::stale(qint64 nowMs) const {
    // A lost meter awaited gives no readings either: its age goes on counting.
    if (!connection.connected() && !connection.reconnecting())
        return false;
    const qint64 last = connection.lastReadingMs();
    return nowMs - (last ? last : connection.connectedAtMs()) >= staleMs;
}

QString StatusLine::place(qint64 nowMs) const {
    QStringList parts;
    if (connection.connected() || connection.reconnecting()) {
        const qint64 last = connection.lastReadingMs();
        const QString& port = connection.port();
        if (connection.reconnecting())
            parts << QStringLiteral("ожидание устройства ") + connection.meter();
        else
            parts << (port.isEmpty() ? connection.meter()
                                     : port + QStringLiteral(" · ") + connection.meter());
        const qint64 since = last ? last : connection.connectedAtMs();
        const QString age = QString::number(std::max<qint64>(0, nowMs - since) / 1000.0, 'f', 1);
        if (stale(nowMs))
            parts << (last ? QStringLiteral("нет новых показаний ") + age + QStringLiteral(" с")
                           : QStringLiteral("нет показаний ") + age + QStringLiteral(" с"));
        else if (last)
            parts << QStringLiteral("показание ") + age + QStringLiteral(" с назад");
    } else {
        parts << QStringLiteral("не подключено");
    }
    if (recorder.on())
        parts << QStringLiteral("запись: ") + QFileInfo(recorder.fileName()).fileName();
    return parts.join(QStringLiteral(" · "));
}

QString StatusLine::counts() const {
    QStringList counts;
    if (recorder.on())
        counts << QStringLiteral("строк ") + QString::number(recorder.writtenLines());
    if (recorder.failedTotal() > 0)
        counts << QStringLiteral("сбоев записи: ") + QString::number(recorder.failedTotal());
    if (counts.isEmpty())
        return {};
    return (recorder.on() ? QStringLiteral(", ") : QStringLiteral(" · ")) +
           counts.join(QStringLiteral(" · "));
}

QString StatusLine::caption(qint64 nowMs, double freq) const {
    QStringList parts{
        QDateTime::fromMSecsSinceEpoch(nowMs).toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"))};
    parts << (connection.connected() || connection.reconnecting()
                  ? connection.meter()
                  : QStringLiteral("не подключено"));
    parts << QStringLiteral("частота ") + num(freq) + QStringLiteral(" кГц");
    if (reading.offsetEn())
        parts << QStringLiteral("смещение ") + num(reading.offset_dB()) + QStringLiteral(" дБ");
    if (reading.relative())
        parts << QStringLiteral("отн. от ") + num(reading.reference()) + QStringLiteral(" дБм");
    parts << QStringLiteral("единицы: ") +
                 PowerUnits::text({PowerUnits::Family(reading.unit()), 0});
    return parts.join(QStringLiteral(" · "));
}
