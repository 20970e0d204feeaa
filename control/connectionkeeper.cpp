#include "connectionkeeper.h"

#include <utility>

ConnectionKeeper::ConnectionKeeper(LogSink log) : log(std::move(log)) {}

bool ConnectionKeeper::setReconnecting(bool on) {
    if (on == m_reconnecting)
        return false;
    m_reconnecting = on;
    return true;
}

void ConnectionKeeper::opened(const QString& meter, const QString& port, qint64 nowMs) {
    m_meter = meter;
    m_port = port;
    m_connectedAtMs = nowMs;
    m_lastReadingMs = 0;
    m_faultKind = Fault::None;
    m_faultCount = 0;
    log(QStringLiteral("Подключение к") + meter + QStringLiteral(" прошло успешно!"));
}

void ConnectionKeeper::closed() {
    log(QStringLiteral("Устройство отключено!"));
    m_faultKind = Fault::None;
    m_faultCount = 0;
}

void ConnectionKeeper::reading(qint64 nowMs) {
    endFaultRun();
    m_lastReadingMs = nowMs;
}

bool ConnectionKeeper::replyLost() {
    return fault(Fault::Lost, QString());
}

bool ConnectionKeeper::replyUnusable(const QString& reply) {
    QString shown = reply;
    for (QChar& c : shown)
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char(' ');
    return fault(Fault::Unusable, shown);
}

bool ConnectionKeeper::fault(Fault kind, const QString& detail) {
    if (!m_connected)
        return false;
    if (kind != m_faultKind) {
        endFaultRun();
        m_faultKind = kind;
        log(kind == Fault::Lost
                ? QStringLiteral("Устройство не отвечает.")
                : QStringLiteral("Ответ устройства не содержит показания: ") + detail);
    }
    ++m_faultCount;
    return true;
}

void ConnectionKeeper::endFaultRun() {
    if (m_faultKind == Fault::None)
        return;
    log((m_faultKind == Fault::Lost
             ? QStringLiteral("Устройство снова отвечает, пропущено ответов: ")
             : QStringLiteral("Показания снова поступают, неверных ответов: ")) +
        QString::number(m_faultCount));
    m_faultKind = Fault::None;
    m_faultCount = 0;
}

QString ConnectionKeeper::lost() {
    m_reconnecting = true;
    return QStringLiteral("Связь с устройством ") + m_meter +
           QStringLiteral(" потеряна. Подключусь снова, когда оно появится.");
}

void ConnectionKeeper::restored() {
    // Connected before the wait is over: whoever reacts to its end sees the meter back.
    m_connected = true;
    log(QStringLiteral("Связь с устройством ") + m_meter + QStringLiteral(" восстановлена."));
    m_reconnecting = false;
}
