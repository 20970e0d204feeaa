#pragma once

#include <algorithm>

// The meter's frequency range in kHz: a setting outside it is measured at the nearer limit, so
// that is what is sent, stated and recorded.
namespace FrequencyRange {
inline constexpr double min = 300.0;
inline constexpr double max = 3200000.0;

inline double limited(double kHz) {
    return std::clamp(kHz, min, max);
}
}  // namespace FrequencyRange
