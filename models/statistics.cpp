#include "statistics.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
}

void Statistics::add(double dBm) {
    if (!std::isfinite(dBm))
        return;
    ++m_count;
    if (m_count == 1) {
        m_min = m_max = dBm;
    } else {
        m_min = std::min(m_min, dBm);
        m_max = std::max(m_max, dBm);
    }
    const double n = double(m_count);
    m_meanMw += (std::pow(10.0, dBm / 10.0) - m_meanMw) / n;
    const double delta = dBm - m_meanDb;
    m_meanDb += delta / n;
    m_m2Db += delta * (dBm - m_meanDb);
}

void Statistics::merge(const Statistics& other) {
    if (other.m_count == 0)
        return;
    if (m_count == 0) {
        *this = other;
        return;
    }
    const double a = double(m_count), b = double(other.m_count), n = a + b;
    const double delta = other.m_meanDb - m_meanDb;
    m_meanDb += delta * b / n;
    m_m2Db += other.m_m2Db + delta * delta * a * b / n;
    m_meanMw += (other.m_meanMw - m_meanMw) * b / n;
    m_min = std::min(m_min, other.m_min);
    m_max = std::max(m_max, other.m_max);
    m_count += other.m_count;
}

double Statistics::min() const {
    return m_count ? m_min : kNaN;
}

double Statistics::max() const {
    return m_count ? m_max : kNaN;
}

double Statistics::mean() const {
    return m_count ? 10.0 * std::log10(m_meanMw) : kNaN;
}

double Statistics::stdDev() const {
    if (m_count == 0)
        return kNaN;
    return m_count == 1 ? 0.0 : std::sqrt(m_m2Db / double(m_count - 1));
}

QString Statistics::line(const QString& minText, const QString& maxText,
                         const QString& meanText) const {
    if (m_count == 0)
        return QStringLiteral("нет показаний");
    return QStringLiteral("мин %1 · макс %2 · сред %3 · СКО %4 дБ · n = %5")
        .arg(minText, maxText, meanText, QString::number(stdDev(), 'f', 2))
        .arg(m_count);
}

QString Statistics::text(PowerUnits::Family family) const {
    return line(PowerUnits::format(min(), family), PowerUnits::format(max(), family),
                PowerUnits::format(mean(), family));
}
