#include "averagingfilter.h"

#include <cmath>

AveragingFilter::AveragingFilter(double value, int decimals) : m_value(value) {
    const double scale = std::pow(10.0, double(decimals));
    const double scaled = value * scale;
    // From 2^52 on a double has no fractional part left; dividing back could only lose bits
    // (or turn an overflowed product into infinity), so such values stay as they are.
    if (!std::isfinite(scaled) || std::fabs(scaled) >= 4503599627370496.0)
        return;
    // std::round takes halves away from zero.
    m_value = std::round(scaled) / scale;
}
