#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QSerialPort;
class QSerialPortInfo;
class QTimer;

// Probes one serial port for a meter: asks its name and serial number and reports exactly once,
// with "<name>, SN: <serial>" or with an empty text when no meter answered in time. The port is
// closed after the report.
class ComPortInfo : public QObject {
    Q_OBJECT

public:
    static constexpr int DefaultTimeout = 500;

    explicit ComPortInfo(const QSerialPortInfo& portInfo, int timeoutMs = DefaultTimeout);
    // By plain name: a system name (COM5, ttyUSB0) or a device path (/dev/pts/3).
    explicit ComPortInfo(const QString& portName, int timeoutMs = DefaultTimeout);
    ~ComPortInfo() override;

    QString portName() const { return name; }
    bool isPortOpen() const;
    qsizetype bufferedBytes() const { return buffer.size(); }
    // The port could not be opened for lack of rights (or a lock held by another program).
    bool permissionDenied() const { return denied; }

signals:
    void info(QByteArray DevInfo, QString PortName);

private slots:
    void timeout();
    void read();

private:
    void report(const QByteArray& devInfo);
    void closePort();

    QByteArray buffer;
    QByteArray infoText;
    QSerialPort* port;
    QTimer* timer;
    bool nameReceived = false;
    bool reported = false;
    QString name;
    bool denied = false;
};
