// Discovery passes of the main family's driver. Everything but construction, start() and
// destruction runs in the driver's worker thread.
#include "portdiscovery.h"

#include "portthreads.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace {
// A probe reports by its second answer's time-out; this much more lets a loaded machine deliver
// the report before the pass is closed without it.
int passDeadline(int probeTimeout) {
    return 2 * probeTimeout + std::max(200, probeTimeout / 2);
}
constexpr int kEnumerationQuitWaitMs = 2000;
constexpr int kProbeAbortWaitMs = 250;
}  // namespace

PortDiscovery::PortDiscovery(const DriverSettings& settings)
    : cfg(settings),
      enumThread(new QThread),
      enumerator(new PortEnumerator(cfg.portNames, cfg.portPresent, this)) {
    enumThread->setObjectName(QStringLiteral("T9Rev6 ports"));
    enumerator->moveToThread(enumThread);
}

PortDiscovery::~PortDiscovery() {
    // Deleted in its own thread, where it ran. An enumeration is an OS call that returns; one
    // that takes too long is not waited for.
    enumerator->deleteLater();
    enumThread->quit();
    if (enumThread->wait(QDeadlineTimer(kEnumerationQuitWaitMs)))
        delete enumThread;
    else
        releaseWhenFinished(enumThread);
}

void PortDiscovery::start() {
    enumThread->start(QThread::LowPriority);
}

void PortDiscovery::shutdown(int waitMs) {
    // No result or time-out reaches this object after this; what is already queued is dropped.
    enumerator->detach();
    delete passTimer;
    passTimer = nullptr;
    cancelPass();
    releaseProbes(waitMs);
    QCoreApplication::removePostedEvents(this);
}

void PortDiscovery::setMeasuring(const QString& portName) {
    measuring = portName;
}

void PortDiscovery::holdPorts(const QStringList& ports, const QStringList& meters) {
    heldPorts = ports;
    heldMeters = meters;
    // Another driver is about to open it: a probe holding it would make that open fail.
    for (const QString& name : ports) {
        abortProbe(name);
        if (passOpen && awaited.removeAll(name) > 0 && awaited.isEmpty())
            finishPass(pass);
    }
}

bool PortDiscovery::isPresent(const QString& portName) const {
    return knownPorts.contains(portName, Qt::CaseSensitive);
}

void PortDiscovery::markPresent(const QString& portName) {
    if (!knownPorts.contains(portName))
        knownPorts.append(portName);
}

void PortDiscovery::keepLedger(const QString& portName, const LineLedger& ledger) {
    ledgers.insert(portName, ledger);
}

void PortDiscovery::update() {
    // A tick queued just before a connect must not probe the measuring port; passes never overlap.
    if (!measuring.isEmpty() || passOpen)
        return;
    passWanted = true;
    requestEnumeration();
}

void PortDiscovery::requestEnumeration() {
    if (!measuring.isEmpty() && cfg.portPresent) {
        // Only the measured port matters now, and its device file tells.
        if (checking)
            return;
        checking = true;
        QMetaObject::invokeMethod(enumerator, "check", Qt::QueuedConnection,
                                  Q_ARG(QString, measuring));
        return;
    }
    if (enumerating)
        return;
    enumerating = true;
    // By name: the whole hand-over stays inside Qt's event queue. A functor call's slot object
    // would be made here and freed in the other thread, an ordering the race checker cannot see
    // in an uninstrumented Qt.
    QMetaObject::invokeMethod(enumerator, "enumerate", Qt::QueuedConnection);
}

void PortDiscovery::checked(const QString& portName, bool present) {
    checking = false;
    if (!present)
        knownPorts.removeAll(portName);
    else if (!knownPorts.contains(portName))
        knownPorts.append(portName);
}

void PortDiscovery::enumerated(QStringList names) {
    enumerating = false;
    knownPorts = names;
    // A port that went away takes its pending questions with it.
    for (auto it = ledgers.begin(); it != ledgers.end();)
        it = names.contains(it.key()) ? std::next(it) : ledgers.erase(it);
    if (passWanted && measuring.isEmpty()) {
        passWanted = false;
        beginPass(names);
    }
}

void PortDiscovery::beginPass(const QStringList& ports) {
    ++pass;
    passOpen = true;
    foundInfo.clear();
    foundPorts.clear();
    awaited.clear();
    passPorts = ports;

    // A port whose probe from an earlier pass is still stuck in open() is left to it.
    QStringList busy;
    for (ProbeThread* p : std::as_const(probes))
        busy << p->portName();

    for (const QString& name : ports) {
        if (busy.contains(name) || heldPorts.contains(name))
            continue;
        auto* probe =
            new ProbeThread(name, cfg.probeTimeout, pass, cfg.beforeOpen, ledgers.value(name));
        // By name, as for the enumeration: the connection's slot object would be released in the
        // probe's thread.
        connect(probe, SIGNAL(reported(QByteArray, QString, int)), this,
                SLOT(probeReported(QByteArray, QString, int)));
        connect(probe, SIGNAL(refused(QString)), this, SIGNAL(portRefused(QString)));
        connect(probe, SIGNAL(slow(QString)), this, SIGNAL(portSlow(QString)));
        connect(probe, &QThread::finished, this, [this, probe] {
            probes.removeOne(probe);
            probe->wait();
            if (probe->portName() != measuring)
                ledgers.insert(probe->portName(), probe->ledger());
            delete probe;
        });
        probes.append(probe);
        awaited.append(name);
        probe->start();
    }
    if (awaited.isEmpty()) {
        finishPass(pass);
        return;
    }
    if (!passTimer) {
        passTimer = new QTimer(this);
        passTimer->setSingleShot(true);
        connect(passTimer, &QTimer::timeout, this, [this] { finishPass(pass); });
    }
    passTimer->start(passDeadline(cfg.probeTimeout));
}

void PortDiscovery::probeReported(QByteArray info, QString name, int id) {
    if (id == pass && passOpen)
        procInfo(info, name);
}

void PortDiscovery::procInfo(const QByteArray& info, const QString& name) {
    if (awaited.removeAll(name) == 0)
        return;  // held since the probe began
    if (!info.isEmpty()) {
        const QString entry = QString::fromUtf8(info);
        if (!foundInfo.contains(entry)) {
            foundInfo.append(entry);
            foundPorts.append(name);
        }
    }
    if (awaited.isEmpty())
        finishPass(pass);
}

void PortDiscovery::finishPass(int id) {
    if (id != pass || !passOpen)
        return;
    passOpen = false;
    if (passTimer)
        passTimer->stop();
    // Meters that other drivers measure answer no probe; they are there while their port is.
    for (qsizetype i = 0; i < heldPorts.size(); ++i) {
        const QString meter = heldMeters.value(i);
        if (!meter.isEmpty() && passPorts.contains(heldPorts.at(i)) && !foundInfo.contains(meter)) {
            foundInfo.append(meter);
            foundPorts.append(heldPorts.at(i));
        }
    }
    // The list follows the meters plugged in now: one that a pass no longer finds leaves it.
    emit passFinished(foundInfo, foundPorts);
}

void PortDiscovery::cancelPass() {
    passOpen = false;
    passWanted = false;
    for (ProbeThread* p : std::as_const(probes))
        p->abort();
}

void PortDiscovery::abortProbe(const QString& name) {
    for (ProbeThread* p : std::as_const(probes)) {
        if (p->portName() == name) {
            p->abort();
            if (p->wait(QDeadlineTimer(kProbeAbortWaitMs)))
                ledgers.insert(name, p->ledger());
        }
    }
}

void PortDiscovery::releaseProbes(int waitMs) {
    const QDeadlineTimer deadline(waitMs);
    for (ProbeThread* p : std::as_const(probes)) {
        p->abort();
        disconnect(p, nullptr, this, nullptr);
    }
    for (ProbeThread* p : std::as_const(probes)) {
        // One stuck in the system's open() cannot be stopped; it is deleted when it returns.
        if (p->wait(deadline))
            delete p;
        else
            releaseWhenFinished(p);
    }
    probes.clear();
}
