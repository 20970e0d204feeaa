#include "meterdifference.h"

#include <cmath>

std::optional<MeterDifference::Value> MeterDifference::take(Side& self, Side& other, qint64 ms,
                                                            double dBm, bool isB) {
    if (!std::isfinite(dBm)) {
        self = {};
        return std::nullopt;
    }
    if (other.fresh && std::llabs(ms - other.ms) <= m_pollMs) {
        // Both used: the next reading of either starts the next cycle's pair.
        other.fresh = false;
        self = {};
        const double a = isB ? other.dBm : dBm, b = isB ? dBm : other.dBm;
        return Value{std::max(ms, other.ms), a - b};
    }
    self = {true, ms, dBm};
    return std::nullopt;
}

double MeterDifference::powerRatio(double dB) {
    return std::pow(10.0, dB / 10.0);
}

QString MeterDifference::label(bool ratio) {
    return ratio ? QStringLiteral("A/B") : QStringLiteral("A−B, дБ");
}
