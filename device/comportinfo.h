#pragma once

#include "lineledger.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <atomic>

class QSerialPort;
class QSerialPortInfo;
class QTimer;

// Probes one serial port for a meter: asks its name and its serial number, one question at a
// time, and reports exactly once, with "<name>, SN: <serial>" or with an empty text when a
// question got no answer within its own time-out (the first one's covers opening the port). Then
// it closes the port, or after a time-out keeps it open one time-out more for the late answer, so
// that it can tell a slow meter and the next probe does not find that answer in the line.
//
// What the port was asked before and may still answer comes in as a ledger and goes out updated
// (ledger() once done()): no late answer to an earlier question is taken for one of this probe's.
class ComPortInfo : public QObject {
    Q_OBJECT

public:
    static constexpr int DefaultTimeout = 1000;

    explicit ComPortInfo(const QSerialPortInfo& portInfo, int timeoutMs = DefaultTimeout);
    // By plain name: a system name (COM5, ttyUSB0) or a device path (/dev/pts/3). `cancel`, when
    // given and set, keeps the probe from writing to a port it opened after all.
    explicit ComPortInfo(const QString& portName, int timeoutMs = DefaultTimeout,
                         const LineLedger& ledger = {}, const std::atomic<bool>* cancel = nullptr);
    ~ComPortInfo() override;

    QString portName() const { return name; }
    bool isPortOpen() const;
    qsizetype bufferedBytes() const { return buffer.size(); }
    // The port could not be opened for lack of rights (or a lock held by another program).
    bool permissionDenied() const { return denied; }
    const LineLedger& ledger() const { return line; }

signals:
    void info(QByteArray DevInfo, QString PortName);
    // The port answered, but not in time to be listed (at most once).
    void slow(QString portName);
    // The port is closed; the ledger is final.
    void done();

private slots:
    void timeout();
    void read();

private:
    void ask();
    void reply(const QByteArray& text);
    void markSlow();
    void report(const QByteArray& devInfo);
    void finish();

    QByteArray buffer;
    QSerialPort* port;
    QTimer* timer;
    QString name;
    int timeoutMs;
    LineLedger line;
    const std::atomic<bool>* cancel;
    std::optional<QByteArray> answers[2];  // name and serial, as this probe got them
    std::optional<LineLedger::Kind> awaited;
    bool reported = false;
    bool lingering = false;
    bool slowTold = false;
    bool denied = false;
};
