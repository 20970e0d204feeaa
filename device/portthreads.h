#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QThread>

#include <atomic>
#include <functional>

// Runs the port enumeration away from the driver's worker, so a slow enumeration never holds
// up a connect, a disconnect or the reading of replies.
class PortEnumerator : public QObject {
    Q_OBJECT

public:
    explicit PortEnumerator(std::function<QStringList()> enumerate);

public slots:
    void enumerate();

signals:
    void enumerated(QStringList names);

private:
    std::function<QStringList()> fn;
};

// One port probe (ComPortInfo) in a thread of its own: a port whose open() takes seconds or
// hangs delays only its own probe. The probe and its port are created, used and released in
// run(). Never give it a parent: a probe still stuck in open() at exit is left to the system.
class ProbeThread : public QThread {
    Q_OBJECT

public:
    ProbeThread(const QString& portName, int timeoutMs, int pass,
                std::function<void(const QString&)> beforeOpen);

    QString portName() const { return name; }
    int pass() const { return passId; }
    // From any thread: the probe closes its port and ends without reporting.
    void abort();

signals:
    void reported(QByteArray info, QString portName, int pass);

protected:
    void run() override;

private:
    const QString name;
    const int timeout;
    const int passId;
    const std::function<void(const QString&)> hook;
    std::atomic<bool> aborted{false};
};
