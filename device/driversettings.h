#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class PollClock;

// How a T9Rev6_driver finds ports and paces itself. The defaults are the product's; tests and
// simulated set-ups replace the port enumeration and shorten the intervals.
struct DriverSettings {
    // Names of the serial ports to probe and to watch while measuring. Called in a thread of its
    // own (it may be slow: hundreds of ms on a Windows PC with many ports), so it must be
    // thread-safe. Empty: the system's ports.
    std::function<QStringList()> portNames;
    // Whether the port being measured is still there, asked at every poll in the same thread as
    // the enumeration: cheaper than enumerating every port each second. Empty: the port is looked
    // for in a whole enumeration.
    std::function<bool(const QString& portName)> portPresent;

    // Runs in the thread that is about to open a port, just before it does. Lets tests make a
    // port as slow to open as some virtual Bluetooth and modem ports are. Empty: nothing.
    std::function<void(const QString& portName)> beforeOpen;

    int updateInterval = 6000;  // discovery pass, ms
    int procInterval = 200;     // command pump, ms
    int powInterval = 1000;     // power poll while measuring; also the reply deadline, ms
    int delayInterval = 100;    // watchdog that reopens a port closed under the driver, ms
    // A probe's wait for each identity answer, ms (the first one's includes opening the port): a
    // meter that answers within a poll is listed. A silent port is done with after one.
    int probeTimeout = 1000;
    int quitWaitMs = 1000;  // longest wait for probes stuck in a port's open() when quitting

    // False: no discovery passes at all (a further meter of a measurement, opened with startAt
    // at a port the main driver's discovery found); its ports are enumerated only to tell that
    // the measured one is still there.
    bool discover = true;
    // Set: the power poll is this clock's tick, shared with the other meters of a measurement so
    // that all are asked at the same moment; its interval replaces powInterval. It must live in
    // the thread that creates the driver. Empty: the driver's own poll timer.
    std::shared_ptr<PollClock> pollClock;

    // The system's serial ports by name (COM5, ttyUSB0 ...).
    static QStringList systemPortNames();
    // Whether a system port is still there, where that can be told without an enumeration (its
    // device file); empty elsewhere.
    static std::function<bool(const QString& portName)> systemPortPresence();
};
