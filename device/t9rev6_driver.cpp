// The main meter family's driver: its threads and timers, and opening and closing the measuring
// connection. Every slot below runs in the worker thread unless its comment says otherwise.
#include "t9rev6_driver.h"

#include "meterprotocol.h"
#include "pollclock.h"
#include "portdiscovery.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSerialPort>
#include <QTimer>

#include <future>
#include <mutex>

T9Rev6_driver::T9Rev6_driver() : T9Rev6_driver(DriverSettings{}) {}

T9Rev6_driver::T9Rev6_driver(const DriverSettings& settings)
    : cfg(settings),
      updateTimer(new QTimer),
      procTimer(new QTimer),
      powTimer(new QTimer),
      delayTimer(new QTimer),
      devList(new QStringList),
      portNames(new QStringList),
      updateInterval(settings.updateInterval),
      session(settings.pollClock ? settings.pollClock->interval() : settings.powInterval) {
    if (cfg.pollClock)
        cfg.powInterval = cfg.pollClock->interval();
    if (!cfg.portNames) {
        cfg.portNames = &DriverSettings::systemPortNames;
        if (!cfg.portPresent)
            cfg.portPresent = DriverSettings::systemPortPresence();
    }

    workerThread.setObjectName(QStringLiteral("T9Rev6_driver"));
    moveToThread(&workerThread);
    discovery = new PortDiscovery(cfg);
    discovery->moveToThread(&workerThread);
    connect(discovery, &PortDiscovery::passFinished, this,
            [this](const QStringList& meters, const QStringList& ports) {
                *devList = meters;
                *portNames = ports;
                emit devListUpdated(*devList);
            });
    connect(discovery, &PortDiscovery::portRefused, this, &T9Rev6_driver::portRefused);
    connect(discovery, &PortDiscovery::portSlow, this, &T9Rev6_driver::portSlow);
    clock.start();

    // The timers stay in this thread; their ticks reach the worker queued. The signals that
    // switch them are direct when emitted here and queued when emitted by the worker.
    updateTimer->setInterval(updateInterval);
    connect(updateTimer, &QTimer::timeout, this, &T9Rev6_driver::update);
    connect(this, &T9Rev6_driver::started, updateTimer, &QTimer::stop);
    connect(this, &T9Rev6_driver::stop_update, updateTimer, &QTimer::stop);
    if (cfg.discover) {
        connect(this, &T9Rev6_driver::stoped, updateTimer, qOverload<>(&QTimer::start));
        updateTimer->start();
    }

    procTimer->setInterval(cfg.procInterval);
    connect(procTimer, &QTimer::timeout, this, &T9Rev6_driver::proc);
    connect(this, &T9Rev6_driver::stop_proc, procTimer, &QTimer::stop);
    procTimer->start();

    powTimer->setInterval(cfg.powInterval);
    powTimer->setTimerType(Qt::PreciseTimer);  // the poll is also the reply deadline
    connect(powTimer, &QTimer::timeout, this, &T9Rev6_driver::getPow);
    if (PollClock* shared = cfg.pollClock.get()) {
        // Subscribed while measuring. A stop the worker made is delivered late: a start since
        // then has the last word, and a driver deleted since then has unsubscribed already.
        QPointer<T9Rev6_driver> self(this);
        connect(this, &T9Rev6_driver::started, shared, [shared, self] {
            if (self && self->polling.load())
                shared->subscribe(self, "getPow");
        });
        const auto leave = [shared, self] {
            if (self && !self->polling.load())
                shared->unsubscribe(self);
        };
        connect(this, &T9Rev6_driver::stop_pow, shared, leave);
        connect(this, &T9Rev6_driver::stoped, shared, leave);
    } else {
        connect(this, &T9Rev6_driver::started, powTimer, qOverload<>(&QTimer::start));
        connect(this, &T9Rev6_driver::stoped, powTimer, &QTimer::stop);
        connect(this, &T9Rev6_driver::stop_pow, powTimer, &QTimer::stop);
    }

    delayTimer->setSingleShot(true);
    delayTimer->setInterval(cfg.delayInterval);
    connect(delayTimer, &QTimer::timeout, this, &T9Rev6_driver::timerT9);
    connect(this, &T9Rev6_driver::update_delay, delayTimer, qOverload<int>(&QTimer::start));
    connect(this, &T9Rev6_driver::stop_delay, delayTimer, &QTimer::stop);

    // Started last: whatever the threads read was written before they began.
    workerThread.start(QThread::InheritPriority);
    discovery->start();
    // A meter plugged in before the program started is listed at once, not after an interval.
    if (cfg.discover)
        postToWorker("update");
}

T9Rev6_driver::~T9Rev6_driver() {
    if (cfg.pollClock)
        cfg.pollClock->unsubscribe(this);
    emit stop_delay();
    emit stop_pow();
    emit stop_update();
    emit stop_proc();

    // Worker-side objects go in the worker, then the thread ends before anything else is freed.
    // Nothing runs in the worker after this last call: no result or time-out can reach it,
    // and what is already queued is dropped.
    if (workerThread.isRunning()) {
        inWorker([this] {
            discovery->shutdown(cfg.quitWaitMs);
            closePort();
            QCoreApplication::removePostedEvents(this);
        });
        workerThread.quit();
        workerThread.wait();
    }
    delete discovery;

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

void T9Rev6_driver::postToWorker(const char* slot) {
    // By name rather than by member pointer: a functor call's slot object would be made here and
    // freed by Qt's event queue in the other thread, an ordering the race checker cannot see in
    // an uninstrumented Qt.
    QMetaObject::invokeMethod(this, slot, Qt::QueuedConnection);
}

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

// Creating thread.
void T9Rev6_driver::setAtt(bool value) {
    att.store(value);
}

// Creating thread.
void T9Rev6_driver::setFreq(double value) {
    freq.store(value);
}

bool T9Rev6_driver::discoveryActive() const {
    return updateTimer->isActive();
}

bool T9Rev6_driver::pollActive() const {
    return cfg.pollClock ? cfg.pollClock->isSubscribed(this) : powTimer->isActive();
}

bool T9Rev6_driver::pumpActive() const {
    return procTimer->isActive();
}

bool T9Rev6_driver::watchdogActive() const {
    return delayTimer->isActive();
}

qsizetype T9Rev6_driver::bufferedBytes() {
    qsizetype n = 0;
    inWorker([this, &n] { n = session.bufferedBytes(); });
    return n;
}

int T9Rev6_driver::queuedCommands() {
    int n = 0;
    inWorker([this, &n] { n = session.queuedCommands(); });
    return n;
}

QStringList T9Rev6_driver::listedPorts() {
    QStringList copy;
    inWorker([this, &copy] { copy = *portNames; });
    return copy;
}

QString T9Rev6_driver::portOf(const QString& identification) {
    QString name;
    inWorker([this, &identification, &name] {
        const qsizetype index = devList->indexOf(identification);
        if (!identification.isEmpty() && index >= 0)
            name = portNames->value(index);
    });
    return name;
}

void T9Rev6_driver::holdPorts(const QStringList& ports, const QStringList& meters) {
    inWorker([this, &ports, &meters] { discovery->holdPorts(ports, meters); });
}

// Creating thread.
bool T9Rev6_driver::start(int i) {
    bool opened = false;
    QString name;
    inWorker([this, i, &opened, &name] {
        opened = openPort(i);
        name = portName;
    });
    return announceStart(opened, name);
}

// Creating thread.
bool T9Rev6_driver::startMeter(const QString& identification) {
    bool opened = false;
    QString name;
    inWorker([this, &identification, &opened, &name] {
        opened = openMeter(identification);
        name = portName;
    });
    return announceStart(opened, name);
}

// Creating thread.
bool T9Rev6_driver::startAt(const QString& identification, const QString& port) {
    bool opened = false;
    inWorker(
        [this, &identification, &port, &opened] { opened = openMeterAt(identification, port); });
    return announceStart(opened, port);
}

// Creating thread.
bool T9Rev6_driver::announceStart(bool opened, const QString& name) {
    if (opened) {
        m_openedPort = name;
        polling.store(true);
        emit started();
    }
    return opened;
}

// Creating thread, or the worker when the meter is lost.
void T9Rev6_driver::stop() {
    if (polling.exchange(false))
        emit stop_pow();
    inWorker([this] { closePort(); });
    emit stoped();
    // The list is brought up to date at once instead of one interval later.
    if (cfg.discover)
        postToWorker("update");
}

void T9Rev6_driver::closePort() {
    if (port) {
        if (port->isOpen())
            port->close();
        delete port;
    }
    port = nullptr;
    const LineLedger asked = session.close();
    if (!portName.isEmpty()) {
        // What the connection asked may still be answered: the next probe of the port must know.
        discovery->keepLedger(portName, asked);
    }
    portName.clear();
    discovery->setMeasuring({});
}

void T9Rev6_driver::lostPort() {
    stop();
    // The meter is gone for good: say so, or the read-out would keep its last value.
    emit deviceMissing();
}

bool T9Rev6_driver::openPort(int com) {
    if (com < 0 || com >= devList->size()) {
        closePort();
        return false;
    }
    return openMeter(devList->at(com));
}

bool T9Rev6_driver::openMeter(const QString& identification) {
    // A connection that was not stopped is replaced; its port must not stay open.
    closePort();

    const qsizetype index = devList->indexOf(identification);
    if (identification.isEmpty() || index < 0)
        return false;
    return openMeterAt(identification, portNames->value(index));
}

bool T9Rev6_driver::openMeterAt(const QString& identification, const QString& name) {
    closePort();
    if (identification.isEmpty() || name.isEmpty())
        return false;

    // A pass under way would hold the port and then report a list without this meter.
    discovery->cancelPass();
    discovery->abortProbe(name);

    if (cfg.beforeOpen)
        cfg.beforeOpen(name);
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
    // What came while no one listened answers nothing asked now.
    port->clear(QSerialPort::Input);
    portName = name;
    discovery->setMeasuring(name);
    discovery->markPresent(name);
    openedAt = clock.elapsed();
    handle(session.open(identification, discovery->takeLedger(name), now()));
    return true;
}

void T9Rev6_driver::update() {
    if (cfg.discover)
        discovery->update();
}
