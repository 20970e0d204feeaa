#pragma once

#include <QString>
#include <QtGlobal>

#include "powerunits.h"

// Statistics of power readings, taken as they come (no rescan): extremes, the mean of the powers
// in linear measure (mW) given back in dBm, and the spread of the readings in dB. Readings that
// are not finite (no value, overflow) are left out.
class Statistics {
public:
    void add(double dBm);
    // Takes in the readings of another; the same figures as adding them one by one, up to
    // rounding (blocks of a long recording are summed ahead).
    void merge(const Statistics& other);
    void reset() { *this = Statistics(); }

    qint64 count() const { return m_count; }
    // dBm; NaN while nothing was counted.
    double min() const;
    double max() const;
    double mean() const;
    // Sample standard deviation of the readings in dB; 0 for a single reading.
    double stdDev() const;

    // "мин … · макс … · сред … · СКО … дБ · n = …" with the three powers already in the display
    // unit; "нет показаний" while nothing was counted.
    QString line(const QString& minText, const QString& maxText, const QString& meanText) const;
    // The same line with the powers in a display unit family, each with its own prefix.
    QString text(PowerUnits::Family family) const;

private:
    qint64 m_count = 0;
    double m_min = 0.0;
    double m_max = 0.0;
    double m_meanMw = 0.0;  // running means: stable over millions of readings
    double m_meanDb = 0.0;
    double m_m2Db = 0.0;  // sum of squared deviations from the running mean (Welford)
};
