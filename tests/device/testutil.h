#pragma once

#include "../support/fastsettings.h"
#include "simmeter.h"
#include "t9rev6_driver.h"

#include <QDir>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <atomic>
#include <functional>

inline const char* NoSuchPort = "/dev/md-no-such-port";

struct Stopwatch : QElapsedTimer {
    Stopwatch() { start(); }
};

// Descriptors of this process on the device at path (the simulated meter keeps one of its own).
inline int openDescriptors(const QString& path) {
    const auto fds = QDir(QStringLiteral("/proc/self/fd"))
                         .entryInfoList(QDir::Files | QDir::System | QDir::NoDotAndDotDot);
    return int(std::count_if(fds.begin(), fds.end(),
                             [&](const QFileInfo& fd) { return fd.symLinkTarget() == path; }));
}

inline int threadCount() {
    return int(QDir(QStringLiteral("/proc/self/task"))
                   .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
                   .size());
}

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
    QVariant last() const { return records.isEmpty() ? QVariant() : records.last().value(0); }
    bool wait(int ms) { return QSignalSpy(this, &ThreadSpy::recorded).wait(ms); }

    QList<QVariantList> records;

signals:
    void recorded();
};

// A driver on one simulated meter ("T9, SN: 0001", -20 dBm), its signals recorded from the start.
struct Rig {
    explicit Rig(const std::function<void(DriverSettings&)>& tune = {}) : driver(settings(tune)) {}

    SimMeter meter;
    std::atomic<bool> hidden{false};  // the enumeration lists no port
    std::atomic<int> enumerations{0};
    std::atomic<int> enumerationMs{0};  // how long each takes
    T9Rev6_driver driver;
    ThreadSpy lists{&driver, &T9Rev6_driver::devListUpdated};
    ThreadSpy readings{&driver, &T9Rev6_driver::power};
    ThreadSpy lost{&driver, &T9Rev6_driver::replyLost};
    ThreadSpy unusable{&driver, &T9Rev6_driver::replyUnusable};
    ThreadSpy missing{&driver, &T9Rev6_driver::deviceMissing};

    // The last pass listed a meter.
    bool listed() {
        return QTest::qWaitFor([this] { return !lists.last().toStringList().isEmpty(); }, 5000);
    }
    // Connected, with a first reading.
    bool measuring() { return listed() && driver.start(0) && readings.wait(3000); }

private:
    DriverSettings settings(const std::function<void(DriverSettings&)>& tune) {
        DriverSettings s = fastSettings(simPortEnumeration({&meter}));
        s.portNames = [this, inner = s.portNames] {
            ++enumerations;
            QThread::msleep(enumerationMs);
            return hidden ? QStringList() : inner();
        };
        if (tune)
            tune(s);
        return s;
    }
};
