#pragma once

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>
#include <mutex>

#include "fastsettings.h"
#include "meterdeck.h"
#include "ortix.h"
#include "simmeter.h"
#include "t9rev6.h"

// A simulated meter behind a port name that stays the same across unplug and replug, as a COM
// port name does on the bench PC (a pseudo-terminal gets a new number each time).
class StableMeterLine {
public:
    explicit StableMeterLine(const QString& dir) : link(dir + QStringLiteral("/ttySIM0")) {
        QFile::remove(link);  // left by an earlier line in the same folder
        QFile::link(meter.portName(), link);
    }
    SimMeter meter;
    const QString link;

    void unplug() {
        std::lock_guard<std::mutex> lock(m);
        meter.unplug();
        QFile::remove(link);
    }
    // The meter goes, but its name stays among the system's ports (a dead handle, a driver that
    // keeps the name listed).
    void unplugKeepingName() {
        std::lock_guard<std::mutex> lock(m);
        meter.unplug();
        keepListed = true;
    }
    bool replug() {
        std::lock_guard<std::mutex> lock(m);
        const bool ok = meter.replug();
        keepListed = false;
        QFile::remove(link);
        QFile::link(meter.portName(), link);
        return ok;
    }
    // The port enumeration a driver sees: the meter's name while it is plugged in.
    std::function<QStringList()> enumeration() {
        return [this] {
            std::lock_guard<std::mutex> lock(m);
            return meter.isPlugged() || keepListed ? QStringList{link} : QStringList{};
        };
    }

private:
    std::mutex m;
    bool keepListed = false;
};

// The real controller on the real facade and driver thread (the controller goes first).
struct Bench {
    explicit Bench(const DriverSettings& settings)
        : t9(new T9rev6(settings)),
          ortix(new Ortix()),
          deck(new Meterdeck({t9.get(), ortix.get()})) {}
    std::unique_ptr<T9rev6> t9;
    std::unique_ptr<Ortix> ortix;
    std::unique_ptr<Meterdeck> deck;

    // The driver's pass has listed exactly one meter.
    bool listed() {
        return QTest::qWaitFor([this] { return deck->deviceModel()->rowCount() == 1; }, 5000);
    }
    // Listed, connected, and the first readings in.
    bool measuring() {
        if (!listed())
            return false;
        deck->setIsStart(true);
        return deck->isStart() &&
               QTest::qWaitFor([this] { return deck->powerModel()->rowCount() >= 3; }, 5000);
    }
};
