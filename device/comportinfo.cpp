#include "comportinfo.h"

#include "meterprotocol.h"

#include <QDebug>
#include <QSerialPort>
#include <QSerialPortInfo>
#include <QTimer>

using Kind = LineLedger::Kind;

ComPortInfo::ComPortInfo(const QSerialPortInfo& portInfo, int timeoutMs)
    : ComPortInfo(portInfo.portName(), timeoutMs) {}

ComPortInfo::ComPortInfo(const QString& portName, int timeoutMs, const LineLedger& ledger,
                         const std::atomic<bool>* cancel)
    : port(new QSerialPort(this)),
      timer(new QTimer(this)),
      name(portName),
      timeoutMs(timeoutMs),
      line(ledger),
      cancel(cancel) {
    port->setPortName(portName);
    MeterProtocol::applyLineSettings(*port);
    connect(port, &QSerialPort::readyRead, this, &ComPortInfo::read);

    // The first time-out covers opening and the first answer; each later question has its own.
    connect(timer, &QTimer::timeout, this, &ComPortInfo::timeout);
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    timer->start(timeoutMs);

    if (port->open(QIODevice::ReadWrite)) {
        // What came while no one listened answers nothing this probe asks.
        port->clear(QSerialPort::Input);
        ask();
    } else {
        // No rights on the device (or another program holds its lock): Qt cannot tell which.
        denied = port->error() == QSerialPort::PermissionError;
        // Gone or not ours: nothing asked before can come back on it.
        line = LineLedger();
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

void ComPortInfo::ask() {
    if (cancel && cancel->load())
        return;
    Kind kind = answers[Kind::Name] ? Kind::Serial : Kind::Name;
    // An earlier question whose answer is not known may still be answered: the same question goes
    // first, so that no reply can be of the other kind.
    for (Kind k : {Kind::Name, Kind::Serial}) {
        if (!answers[k] && line.isPending(k) && !line.known(k))
            kind = k;
    }
    port->write(kind == Kind::Name ? MeterProtocol::nameQuery() : MeterProtocol::serialQuery());
    line.asked({kind});
    awaited = kind;
    timer->start(timeoutMs);
}

void ComPortInfo::read() {
    qWarning() << "ComPortInfo::m_port->read()" << name;
    buffer += port->readAll();
    QJsonObject object;
    for (;;) {
        const MeterProtocol::Reply kind = MeterProtocol::takeReply(buffer, &object, nullptr);
        if (kind == MeterProtocol::Reply::Incomplete)
            break;
        if (kind == MeterProtocol::Reply::Complete)
            reply(MeterProtocol::okText(object));
        if (!port->isOpen())
            return;
    }
    // Garbage streaming in must not grow without bound; a reply after it may still make it.
    if (buffer.size() > MeterProtocol::MaxReplyBytes)
        buffer.clear();
}

void ComPortInfo::reply(const QByteArray& text) {
    const std::optional<LineLedger::Question> q = line.answer(text, awaited);
    if (!q || q->kind == Kind::Power)
        return;  // a connection's late reading, or nothing asked can have it
    if (q->kind != awaited) {
        markSlow();  // an earlier question answered late
        return;
    }
    answers[q->kind] = text;
    if (lingering) {
        markSlow();
        finish();
    } else if (answers[Kind::Name] && answers[Kind::Serial]) {
        finish();  // closed before anyone hears of the result
        report(*answers[Kind::Name] + ", SN: " + *answers[Kind::Serial]);
    } else {
        ask();
    }
}

void ComPortInfo::timeout() {
    if (lingering || !port->isOpen()) {
        report({});
        finish();
        return;
    }
    report({});
    if (answers[Kind::Name] || answers[Kind::Serial])
        markSlow();
    lingering = true;
    timer->start(timeoutMs);
}

void ComPortInfo::markSlow() {
    if (!slowTold) {
        slowTold = true;
        emit slow(name);
    }
}

void ComPortInfo::report(const QByteArray& devInfo) {
    if (reported)
        return;
    reported = true;
    emit info(devInfo, name);
}

void ComPortInfo::finish() {
    timer->stop();
    if (port->isOpen()) {
        qWarning() << "ComPortInfo::m_port->close()" << name;
        port->close();
    }
    emit done();
}
