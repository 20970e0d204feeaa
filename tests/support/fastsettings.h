#pragma once

#include "driversettings.h"

#include <functional>

// Fast driver pacing for tests: everything the product does, in a fraction of the time. Every wait
// of the suites is sized from these.
inline DriverSettings fastSettings(std::function<QStringList()> ports, int pollMs = 100) {
    DriverSettings s;
    s.portNames = std::move(ports);
    s.updateInterval = 250;  // longer than a probe, so every pass completes
    s.procInterval = 20;
    s.powInterval = pollMs;
    s.delayInterval = 80;
    s.probeTimeout = 150;
    return s;
}
