#pragma once

#include "driversettings.h"
#include "lineledger.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

class PortEnumerator;
class ProbeThread;
class QThread;
class QTimer;

// The driver's discovery passes: enumerates the ports in a thread of its own, probes each in a
// thread of its own (ProbeThread) and reports the meters that answered, once per pass. It also
// keeps the last enumeration, against which the measuring port's presence is checked, and what
// each port may still answer between one user and the next.
//
// Made in the creating thread and moved to the driver's worker, where everything but the
// constructor, start() and the destructor runs. Call shutdown() in the worker before deleting it
// in the creating thread once the worker has ended.
class PortDiscovery : public QObject {
    Q_OBJECT

public:
    explicit PortDiscovery(const DriverSettings& settings);
    ~PortDiscovery() override;
    void start();  // the enumeration thread

    // A discovery tick: a pass, unless one is under way or a port is being measured.
    void update();
    // Keeps the presence check current; a wanted pass begins when the result comes.
    void requestEnumeration();
    // The measuring port (empty: none): never probed, and its questions are its own.
    void setMeasuring(const QString& portName);
    // Ports other drivers of the program measure, with their meters (in the same order): never
    // probed, and their meters reported by every pass that enumerates their port. A probe on one
    // of them is stopped now, and the pass under way no longer waits for it.
    void holdPorts(const QStringList& ports, const QStringList& meters);
    // Opening a port: a pass under way would hold it and then report a list without its meter.
    void cancelPass();
    void abortProbe(const QString& portName);
    void shutdown(int waitMs);

    bool isPresent(const QString& portName) const;
    void markPresent(const QString& portName);
    LineLedger takeLedger(const QString& portName) { return ledgers.take(portName); }
    void keepLedger(const QString& portName, const LineLedger& ledger);

signals:
    void passFinished(QStringList meters, QStringList ports);
    void portRefused(QString portName);
    void portSlow(QString portName);

private slots:
    void enumerated(QStringList names);
    void checked(const QString& portName, bool present);
    void probeReported(QByteArray info, QString portName, int pass);

private:
    void beginPass(const QStringList& ports);
    void procInfo(const QByteArray& info, const QString& portName);
    void finishPass(int pass);
    void releaseProbes(int waitMs);

    const DriverSettings cfg;
    QThread* enumThread;  // not waited for beyond a bound if an enumeration hangs at exit
    PortEnumerator* enumerator;

    int pass = 0;             // id of the pass under way or last finished
    bool passOpen = false;    // its probes' reports still count
    bool passWanted = false;  // a pass starts when the enumeration under way returns
    bool enumerating = false;
    bool checking = false;              // a presence check of the measured port is under way
    QStringList awaited;                // ports of the pass whose probes have not reported
    QStringList passPorts;              // what the pass under way enumerated
    QStringList foundInfo, foundPorts;  // the pass under way
    QStringList heldPorts, heldMeters;  // measured by other drivers
    QStringList knownPorts;             // the last enumeration
    QTimer* passTimer = nullptr;        // closes a pass whose probes have not all reported
    QList<ProbeThread*> probes;
    QString measuring;
    QHash<QString, LineLedger> ledgers;  // what each port may still answer, between uses
};
