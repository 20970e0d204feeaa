#pragma once

#include "../support/fastsettings.h"
#include "meterprotocol.h"
#include "simmeter.h"

#include <QObject>
#include <QSignalSpy>
#include <QStringList>
#include <QVariant>

#include <atomic>
#include <chrono>
#include <memory>

// The shared fast pacing, on the given simulated meters (and names that answer nothing).
inline DriverSettings meterSettings(QList<const SimMeter*> meters, QStringList extra = {}) {
    return fastSettings(simPortEnumeration(std::move(meters), std::move(extra)));
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
