#pragma once

#include "lineledger.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QThread>

#include <atomic>
#include <functional>
#include <mutex>

// Runs the port enumeration away from the driver's worker, so a slow enumeration never holds
// up a connect, a disconnect or the reading of replies. Each result is posted to the target's
// slot "enumerated(QStringList)".
class PortEnumerator : public QObject {
    Q_OBJECT

public:
    PortEnumerator(std::function<QStringList()> enumerate,
                   std::function<bool(const QString&)> present, QObject* target);
    // From any thread: no result is posted after this returns.
    void detach();

public slots:
    void enumerate();
    // Posts "checked(QString, bool)": whether the port is there.
    void check(const QString& portName);

private:
    std::function<QStringList()> fn;
    std::function<bool(const QString&)> presentFn;
    std::mutex targetMutex;
    QObject* target;
};

// A thread that could not be joined in time (stuck in the system's open() or enumeration):
// deleted in the application's thread once it ends by itself, instead of never.
void releaseWhenFinished(QThread* thread);

// One port probe (ComPortInfo) in a thread of its own: a port whose open() takes seconds or
// hangs delays only its own probe. The probe and its port are created, used and released in
// run(). Never give it a parent: a probe still stuck in open() at exit is left to the system.
// It reports as soon as the probe does; a probe that timed out may hold its port a little longer.
class ProbeThread : public QThread {
    Q_OBJECT

public:
    ProbeThread(const QString& portName, int timeoutMs, int pass,
                std::function<void(const QString&)> beforeOpen, const LineLedger& ledger = {});

    QString portName() const { return name; }
    int pass() const { return passId; }
    // From any thread: the probe closes its port and ends without reporting.
    void abort();
    // What the port may still answer; read it once the thread has finished.
    const LineLedger& ledger() const { return line; }

signals:
    void reported(QByteArray info, QString portName, int pass);
    // The port was not opened for lack of rights; sent before the (empty) report.
    void refused(QString portName);
    // The port answered, but too late to be listed.
    void slow(QString portName);

protected:
    void run() override;

private:
    const QString name;
    const int timeout;
    const int passId;
    const std::function<void(const QString&)> hook;
    std::atomic<bool> aborted{false};
    LineLedger line;
};
