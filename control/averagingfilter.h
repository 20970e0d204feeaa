#pragma once

#include "ifilter.h"

// Rounds one reading in dBm to the chosen number of decimals, halves away from zero.
// Keeps no history: each reading stands on its own.
class AveragingFilter : public iFilter {
public:
    AveragingFilter(double value, int decimals);

    double getValue() override { return m_value; }

private:
    double m_value;
};
