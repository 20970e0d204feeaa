#pragma once

#include <vector>

#include "simmeter.h"

// A plausible bench reading for a simulated meter: a source near -10 dBm seen through a cable
// whose loss grows with frequency, 20 dB lower with the scaling converter on, a slow drift and a
// little noise. Deterministic for a given seed.
SimMeter::ReadingFunction plausibleReading(quint32 seed);

// Several meters on one bench, their levels moving together: the first sees the source as above
// with a slow swing of about a decibel, the others the same signal through a coupling loss of
// their own (15 dB down for the second, as a reflected wave; 5 dB more for each further one),
// each with noise of its own. The swing follows the clock, so meters asked in the same poll see
// the same moment.
std::vector<SimMeter::ReadingFunction> coupledReadings(quint32 seed, int meters);
