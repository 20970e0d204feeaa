#include "t9rev6_driver.h"

#include "comportinfo.h"
#include "meterprotocol.h"

#include <QSerialPort>
#include <QSerialPortInfo>
#include <QTimer>

#include <future>
#include <mutex>
#include <utility>

QStringList DriverSettings::systemPortNames() {
    QStringList names;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : ports)
        names << info.portName();
    return names;
}

T9Rev6_driver::T9Rev6_driver() : T9Rev6_driver(DriverSettings{}) {}

T9Rev6_driver::T9Rev6_driver(const DriverSettings& settings)
    : cfg(settings),
      updateTimer(new QTimer),
      procTimer(new QTimer),
      powTimer(new QTimer),
      delayTimer(new QTimer),
      devList(new QStringList),
      portNames(new QStringList),
      updateInterval(settings.updateInterval) {
    workerThread.setObjectName(QStringLiteral("T9Rev6_driver"));
    moveToThread(&workerThread);
    workerThread.start(QThread::InheritPriority);

    // The timers stay in this thread; their ticks reach the worker queued. The signals that
    // switch them are direct when emitted here and queued when emitted by the worker.
    updateTimer->setInterval(updateInterval);
    connect(updateTimer, &QTimer::timeout, this, &T9Rev6_driver::update);
    connect(this, &T9Rev6_driver::stoped, updateTimer, qOverload<>(&QTimer::start));
    connect(this, &T9Rev6_driver::started, updateTimer, &QTimer::stop);
    connect(this, &T9Rev6_driver::stop_update, updateTimer, &QTimer::stop);
    updateTimer->start();

    procTimer->setInterval(cfg.procInterval);
    connect(procTimer, &QTimer::timeout, this, &T9Rev6_driver::proc);
    connect(this, &T9Rev6_driver::stop_proc, procTimer, &QTimer::stop);
    procTimer->start();

    powTimer->setInterval(cfg.powInterval);
    connect(powTimer, &QTimer::timeout, this, &T9Rev6_driver::getPow);
    connect(this, &T9Rev6_driver::started, powTimer, qOverload<>(&QTimer::start));
    connect(this, &T9Rev6_driver::stoped, powTimer, &QTimer::stop);
    connect(this, &T9Rev6_driver::stop_pow, powTimer, &QTimer::stop);

    delayTimer->setSingleShot(true);
    delayTimer->setTimerType(Qt::PreciseTimer);  // a coarse timer may fire 5 % early
    delayTimer->setInterval(cfg.delayInterval);
    connect(delayTimer, &QTimer::timeout, this, &T9Rev6_driver::timerT9);
    connect(this, &T9Rev6_driver::update_delay, delayTimer, qOverload<int>(&QTimer::start));
    connect(this, &T9Rev6_driver::stop_delay, delayTimer, &QTimer::stop);
}

T9Rev6_driver::~T9Rev6_driver() {
    emit stop_delay();
    emit stop_pow();
    emit stop_update();
    emit stop_proc();

    // Worker-side objects go in the worker, then the thread ends before anything else is freed.
    if (workerThread.isRunning()) {
        inWorker([this] {
            closePort();
            releaseProbes();
        });
        workerThread.quit();
        workerThread.wait();
    }

    delete updateTimer;
    delete powTimer;
    delete procTimer;
    delete delayTimer;
    delete devList;
    delete portNames;
}

namespace {
// Orders the posting of a call before its run in the worker. Not captured by the call, so
// nothing of it is read before the lock is taken.
std::mutex& handoffMutex() {
    static std::mutex m;
    return m;
}
}  // namespace

template <typename F>
void T9Rev6_driver::inWorker(F&& f) {
    if (QThread::currentThread() == &workerThread) {
        f();
        return;
    }
    // A blocking queued call. The standard mutex and promise (rather than Qt's own blocking
    // connection) also make the hand-over visible to race checkers.
    std::promise<void> done;
    {
        std::lock_guard<std::mutex> posting(handoffMutex());
        QMetaObject::invokeMethod(
            this,
            [&f, &done] {
                { std::lock_guard<std::mutex> posted(handoffMutex()); }
                f();
                done.set_value();
            },
            Qt::QueuedConnection);
    }
    done.get_future().wait();
}

void T9Rev6_driver::setAtt(bool value) {
    att.store(value);
}

void T9Rev6_driver::setFreq(double value) {
    freq.store(value);
}

bool T9Rev6_driver::discoveryActive() const {
    return updateTimer->isActive();
}

bool T9Rev6_driver::pollActive() const {
    return powTimer->isActive();
}

bool T9Rev6_driver::pumpActive() const {
    return procTimer->isActive();
}

bool T9Rev6_driver::watchdogActive() const {
    return delayTimer->isActive();
}

qsizetype T9Rev6_driver::bufferedBytes() {
    qsizetype n = 0;
    inWorker([this, &n] { n = rxBuffer.size(); });
    return n;
}

int T9Rev6_driver::queuedCommands() {
    int n = 0;
    inWorker([this, &n] { n = int(cmdQueue.size()); });
    return n;
}

QStringList T9Rev6_driver::enumeratePorts() const {
    return cfg.portNames ? cfg.portNames() : DriverSettings::systemPortNames();
}

bool T9Rev6_driver::start(int i) {
    bool opened = false;
    inWorker([this, i, &opened] { opened = openPort(i); });
    if (opened) {
        polling.store(true);
        emit started();
    }
    return opened;
}

void T9Rev6_driver::stop() {
    if (polling.exchange(false))
        emit stop_pow();
    inWorker([this] { closePort(); });
    emit stoped();
}

// Worker thread.
void T9Rev6_driver::closePort() {
    if (port) {
        if (port->isOpen())
            port->close();
        delete port;
    }
    port = nullptr;
    portName.clear();
    cmdIndex = 0;
    cmdQueue.clear();
}

void T9Rev6_driver::releaseProbes() {
    qDeleteAll(probes);
    probes.clear();
}

bool T9Rev6_driver::openPort(int com) {
    // A connection that was not stopped is replaced; its port must not stay open.
    closePort();

    if (com < 0 || com >= portNames->size())
        return false;
    const QString name = portNames->at(com);
    if (name.isEmpty())
        return false;

    port = new QSerialPort(this);
    connect(port, &QSerialPort::readyRead, this, &T9Rev6_driver::read);
    // A pulled cable leaves the handle open but dead, and a meter plugged back at once gets the
    // same port name, so the name check never fires: close it, and the watchdog reopens the port
    // or gives the connection up.
    connect(port, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError e) {
        if (e == QSerialPort::ResourceError && port && port->isOpen())
            port->close();
    });
    port->setPortName(name);
    MeterProtocol::applyLineSettings(*port);
    if (!port->open(QIODevice::ReadWrite)) {
        // Discovery resumes at once; a dead port object would only block it.
        closePort();
        return false;
    }
    portName = name;
    rxBuffer.clear();
    return true;
}

void T9Rev6_driver::update() {
    // A tick queued just before start() must not probe the measuring port.
    if (port)
        return;

    const QStringList ports = enumeratePorts();
    releaseProbes();
    probeCount = ports.size();
    if (ports.isEmpty())
        emit devListUpdated(*devList);

    for (const QString& name : ports) {
        auto* probe = new ComPortInfo(name, cfg.probeTimeout);
        probes.append(probe);
        connect(probe, &ComPortInfo::info, this, &T9Rev6_driver::procInfo);
    }
}

void T9Rev6_driver::procInfo(QByteArray info, QString name) {
    --probeCount;
    if (!info.isEmpty()) {
        const QString entry = QString::fromUtf8(info);
        // A meter already listed on the same port keeps its entry instead of a new one per pass.
        bool listed = false;
        for (qsizetype i = 0; i < devList->size() && !listed; ++i)
            listed = devList->at(i) == entry && portNames->value(i) == name;
        if (!listed) {
            devList->append(entry);
            portNames->append(name);
        }
    }
    if (probeCount == 0)
        emit devListUpdated(*devList);
}

void T9Rev6_driver::getPow() {
    // A request still queued is as good as a new one.
    if (!cmdQueue.contains(MeterProtocol::PowerCmd))
        cmdQueue.append(MeterProtocol::PowerCmd);
}

void T9Rev6_driver::proc() {
    if (cmdIndex != 0 || cmdQueue.isEmpty() || !port)
        return;
    if (!portPresent()) {
        emit deviceMissing();
        return;
    }
    sendCommand(cmdQueue.takeFirst());
}

bool T9Rev6_driver::portPresent() {
    return enumeratePorts().contains(portName, Qt::CaseSensitive);
}

bool T9Rev6_driver::sendCommand(int cmd) {
    cmdIndex = cmd;
    // Whatever arrived while nothing waited is no part of this command's reply.
    rxBuffer.clear();
    sinceWrite.start();
    const bool open = port->isOpen();
    if (open) {
        port->readAll();
        if (cmd == MeterProtocol::PowerCmd)
            port->write(MeterProtocol::powerRequest(freq.load(), att.load()));
    }
    // Armed even when the port is closed, so the watchdog can reopen it or give up.
    emit update_delay(cfg.delayInterval);
    return open;
}

void T9Rev6_driver::read() {
    if (!port)
        return;
    rxBuffer += port->readAll();
    if (rxBuffer.size() > MeterProtocol::MaxReplyBytes) {
        // No reply is this long: drop it, and the command with it.
        rxBuffer.clear();
        cmdIndex = 0;
        return;
    }
    if (cmdIndex == 0)
        return;

    QJsonObject reply;
    switch (MeterProtocol::recognise(rxBuffer, true, &reply)) {
        case MeterProtocol::Reply::Complete:
            emit stop_delay();
            if (cmdIndex == MeterProtocol::PowerCmd)
                emit power(MeterProtocol::reading(reply));
            rxBuffer.clear();
            cmdIndex = 0;
            break;
        case MeterProtocol::Reply::Bad:
            rxBuffer.clear();
            cmdIndex = 0;
            break;
        case MeterProtocol::Reply::Incomplete:
            break;
    }
}

void T9Rev6_driver::timerT9() {
    if (!port || cmdIndex == 0)
        return;
    // A tick that was already under way when an earlier command got its reply.
    if (sinceWrite.elapsed() < cfg.delayInterval / 2)
        return;
    if (!port->isOpen() && !port->open(QIODevice::ReadWrite)) {
        stop();
        // The meter is gone for good: say so, or the read-out would keep its last value.
        emit deviceMissing();
        return;
    }
    // No complete reply in time: the command is lost and the next poll may go out.
    cmdIndex = 0;
    rxBuffer.clear();
}
