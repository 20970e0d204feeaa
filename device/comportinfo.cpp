#include "comportinfo.h"

#include "meterprotocol.h"

#include <QDebug>
#include <QSerialPort>
#include <QSerialPortInfo>
#include <QTimer>

ComPortInfo::ComPortInfo(const QSerialPortInfo& portInfo, int timeoutMs)
    : ComPortInfo(portInfo.portName(), timeoutMs) {}

ComPortInfo::ComPortInfo(const QString& portName, int timeoutMs)
    : port(new QSerialPort(this)), timer(new QTimer(this)), name(portName) {
    port->setPortName(portName);
    MeterProtocol::applyLineSettings(*port);
    connect(port, &QSerialPort::readyRead, this, &ComPortInfo::read);

    // The time-out covers opening and both replies.
    connect(timer, &QTimer::timeout, this, &ComPortInfo::timeout);
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    timer->start(timeoutMs);

    if (port->open(QIODevice::ReadWrite)) {
        port->write(MeterProtocol::nameQuery());
    } else {
        // No rights on the device (or another program holds its lock): Qt cannot tell which.
        denied = port->error() == QSerialPort::PermissionError;
        qWarning() << "Ошибка: не удалось открыть порт" << name << "-" << port->errorString();
    }
}

ComPortInfo::~ComPortInfo() {
    if (port->isOpen())
        port->close();
}

bool ComPortInfo::isPortOpen() const {
    return port->isOpen();
}

void ComPortInfo::read() {
    qWarning() << "ComPortInfo::m_port->read()" << name;
    buffer += port->readAll();
    if (reported) {
        buffer.clear();
        return;
    }
    // Garbage streaming in must not grow without bound; a reply after it may still make it.
    if (buffer.size() > MeterProtocol::MaxReplyBytes) {
        buffer.clear();
        return;
    }
    QJsonObject reply;
    if (MeterProtocol::recognise(buffer, false, &reply) != MeterProtocol::Reply::Complete)
        return;
    const QByteArray text = MeterProtocol::okText(reply);
    buffer.clear();
    if (!nameReceived) {
        infoText += text;
        port->write(MeterProtocol::serialQuery());
        nameReceived = true;
    } else {
        infoText += ", SN: ";
        infoText += text;
        timer->stop();
        report(infoText);
        closePort();
    }
}

void ComPortInfo::timeout() {
    report({});
    closePort();
}

void ComPortInfo::report(const QByteArray& devInfo) {
    if (reported)
        return;
    reported = true;
    emit info(devInfo, name);
}

void ComPortInfo::closePort() {
    if (!port->isOpen())
        return;
    qWarning() << "ComPortInfo::m_port->close()" << name;
    port->close();
}
