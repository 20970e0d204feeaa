#pragma once

#include <QStringList>

#include <functional>

// How a T9Rev6_driver finds ports and paces itself. The defaults are the product's; tests and
// simulated set-ups replace the port enumeration and shorten the intervals.
struct DriverSettings {
    // Names of the serial ports to probe and to watch while measuring. Called in the driver's
    // worker thread, so it must be thread-safe. Empty: the system's ports.
    std::function<QStringList()> portNames;

    int updateInterval = 6000;  // discovery pass, ms
    int procInterval = 200;     // command pump, ms
    int powInterval = 1000;     // power poll while measuring, ms
    int delayInterval = 100;    // reply watchdog, ms
    int probeTimeout = 500;     // one port probe, ms

    // The system's serial ports by name (COM5, ttyUSB0 ...).
    static QStringList systemPortNames();
};
