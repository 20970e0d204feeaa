#pragma once

#include <QString>

#include "logsink.h"

// The connection to the meter: whether it is open, which meter on which port since when, the
// age of its last reading, the runs of faulty replies, and the wait for a meter lost without the
// operator's word. The controller opens and closes the device and announces the changes.
class ConnectionKeeper {
public:
    explicit ConnectionKeeper(LogSink log);

    bool connected() const { return m_connected; }
    void setConnected(bool on) { m_connected = on; }
    bool reconnecting() const { return m_reconnecting; }
    // False when nothing changed.
    bool setReconnecting(bool on);

    // The meter of the open (or lost) connection, its port, and when it opened (ms since the
    // epoch); the time of its last reading, 0 before the first.
    const QString& meter() const { return m_meter; }
    const QString& port() const { return m_port; }
    qint64 connectedAtMs() const { return m_connectedAtMs; }
    qint64 lastReadingMs() const { return m_lastReadingMs; }

    void opened(const QString& meter, const QString& port, qint64 nowMs);
    void closed();
    void reading(qint64 nowMs);

    // A reply without a reading. Counted (true) only while connected: the read-out then shows
    // no value. The meter's text is shown on one line.
    bool replyLost();
    bool replyUnusable(const QString& reply);

    // The meter was lost: the wait for it starts. Returns what the operator is told.
    QString lost();
    // Whether a connection to `meter` ends the wait.
    bool awaits(const QString& meter) const { return m_reconnecting && meter == m_meter; }
    // The awaited meter is connected again.
    void restored();

private:
    enum class Fault { None, Lost, Unusable };
    bool fault(Fault kind, const QString& detail);
    void endFaultRun();

    LogSink log;
    bool m_connected = false;
    bool m_reconnecting = false;
    QString m_meter;
    QString m_port;
    qint64 m_connectedAtMs = 0;
    qint64 m_lastReadingMs = 0;
    Fault m_faultKind = Fault::None;  // the run of faulty replies under way
    int m_faultCount = 0;
};
