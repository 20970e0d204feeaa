#pragma once

#include <QString>
#include <QStringList>
#include <limits>

#include "logsink.h"

// A reading on its way to the read-out: the offset, the rounding to the chosen step, the display
// unit with its prefix, and the difference from a reference. Keeps the last reading in dBm.
// The controller announces what changes; this says in the log what it accepted or refused.
class ReadingPipeline {
public:
    static constexpr double offsetLimit = 100.0;  // dB either way

    explicit ReadingPipeline(LogSink log);

    double offset_dB() const { return m_offset_dB; }
    bool offsetEn() const { return m_offsetEn; }
    int unit() const { return m_unit; }
    QString unitName() const { return m_unitNames.at(m_unit); }
    bool averEn() const { return m_averEn; }
    int averStep() const { return m_aver; }
    // The read-out's number of decimals: the averaging step, 2 while averaging is off.
    int decimals() const { return m_averEn ? m_aver : 2; }
    bool relative() const { return m_relative; }
    double reference() const { return m_reference; }

    // The current reading in dBm, offset and rounded; NaN for none.
    double dBm() const { return m_power; }
    // The current reading came from the open connection (it is not a stale one).
    bool live() const { return m_live; }
    double relativeValue() const;

    void setOffset(double offset);
    // Each of these returns false when nothing changed.
    bool setOffsetEn(bool on);
    bool setUnit(int unit);
    void setUnitName(const QString& text) { m_unitNames[m_unit] = text; }
    bool setAverEn(bool on);
    bool setAver(int step);
    bool setRelative(bool on);

    // Settles a reading of the meter (or shows the last one again) and keeps it as current.
    double take(double raw);
    void drop();
    // The current reading in the display unit, the prefix chosen for `decimals` places.
    double shown(QString* unitText) const;

private:
    LogSink log;
    double m_power = std::numeric_limits<double>::quiet_NaN();
    bool m_live = false;
    double m_offset_dB = 0.0;
    bool m_offsetEn = false;
    int m_unit = 0;
    QStringList m_unitNames;
    bool m_averEn = false;
    int m_aver = 0;
    QStringList m_averNames;
    bool m_relative = false;
    double m_reference = 0.0;  // dBm
};
