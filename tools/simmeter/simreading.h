#pragma once

#include "simmeter.h"

// A plausible bench reading for a simulated meter: a source near -10 dBm seen through a cable
// whose loss grows with frequency, 20 dB lower with the scaling converter on, a slow drift and a
// little noise. Deterministic for a given seed.
SimMeter::ReadingFunction plausibleReading(quint32 seed);
