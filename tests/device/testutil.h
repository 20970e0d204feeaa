#pragma once

#include "driversettings.h"
#include "meterprotocol.h"
#include "simmeter.h"

#include <QObject>
#include <QSignalSpy>
#include <QStringList>
#include <QVariant>

#include <atomic>
#include <chrono>
#include <memory>

// Short intervals that keep every wait of the suite well under a second.
inline DriverSettings fastSettings(QList<const SimMeter*> meters, QStringList extra = {}) {
    DriverSettings s;
    s.portNames = simPortEnumeration(std::move(meters), std::move(extra));
    s.updateInterval = 250;
    s.procInterval = 20;
    s.powInterval = 100;
    s.delayInterval = 80;
    s.probeTimeout = 150;
    return s;
}

// Counts the calls of a port enumeration and remembers when the last one was made.
struct EnumerationProbe {
    std::atomic<int> calls{0};
    std::atomic<qint64> lastCallNs{0};

    std::function<QStringList()> wrap(std::function<QStringList()> inner) {
        return [this, inner = std::move(inner)] {
            ++calls;
            lastCallNs = std::chrono::duration_cast<std::chrono::nanoseconds>(
                             std::chrono::steady_clock::now().time_since_epoch())
                             .count();
            return inner();
        };
    }
};

inline qint64 nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

inline const char* NoSuchPort = "/dev/md-no-such-port";

// How many descriptors of this process refer to the device at path (the simulated meter keeps
// one of its own on its line).
int openDescriptors(const QString& path);

// Threads of this process that have not ended.
int threadCount();

// Like QSignalSpy, for signals emitted in another thread: each emission is recorded in this
// object's thread, through the event queue, so the test thread never races the emitter.
class ThreadSpy : public QObject {
    Q_OBJECT

public:
    template <typename Sender, typename... Args>
    ThreadSpy(Sender* sender, void (Sender::*signal)(Args...)) {
        connect(
            sender, signal, this,
            [this](Args... args) {
                records.append(QVariantList{QVariant::fromValue(args)...});
                emit recorded();
            },
            Qt::QueuedConnection);
    }

    qsizetype count() const { return records.size(); }
    bool isEmpty() const { return records.isEmpty(); }
    const QVariantList& at(qsizetype i) const { return records.at(i); }
    const QVariantList& last() const { return records.last(); }
    void clear() { records.clear(); }
    bool wait(int ms) {
        QSignalSpy spy(this, &ThreadSpy::recorded);
        return spy.wait(ms);
    }
    QList<QVariantList>::const_iterator begin() const { return records.cbegin(); }
    QList<QVariantList>::const_iterator end() const { return records.cend(); }

signals:
    void recorded();

private:
    QList<QVariantList> records;
};
