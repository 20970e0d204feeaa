#pragma once

#include <QDateTime>
#include <QString>
#include <limits>

// One measurement record: what the controller stamps, the model holds and the record file keeps.
// Kept small (32 bytes): an opened recording holds millions of them. The time is kept as the
// moment (ms since the epoch) and given back as local time; the unit texts, a handful in the
// whole program, are stored once and referred to by number.
class PowerData {
public:
    PowerData() = default;
    PowerData(const QDateTime& time, double power, const QString& powerUnit, double freq,
              const QString& freqUnit);

    QDateTime time() const {
        return hasTime() ? QDateTime::fromMSecsSinceEpoch(m_msecs, Qt::LocalTime) : QDateTime();
    }
    void setTime(const QDateTime& time) {
        m_msecs = time.isValid() ? time.toMSecsSinceEpoch() : NoTime;
    }
    // The moment without building a date-time (drawing millions of records).
    bool hasTime() const { return m_msecs != NoTime; }
    qint64 msecsSinceEpoch() const { return m_msecs; }
    double power() const { return m_power; }
    void setPower(double power) { m_power = power; }
    QString powerUnit() const { return unitText(m_powerUnit); }
    double freq() const { return m_freq; }
    void setFreq(double freq) { m_freq = freq; }
    QString freqUnit() const { return unitText(m_freqUnit); }
    // The stored number of the power unit: equal numbers, equal texts.
    quint16 powerUnitId() const { return m_powerUnit; }
    // A reading shown again (the offset switch re-runs the last one): drawn, but no new
    // measurement to count. Never written to a file.
    bool repeat() const { return m_repeat; }
    void setRepeat(bool repeat) { m_repeat = repeat; }

    // The number of a unit text (0 for the empty text), and back. Safe from any thread.
    static quint16 unitId(const QString& text);
    static QString unitText(quint16 id);

private:
    static constexpr qint64 NoTime = std::numeric_limits<qint64>::min();
    qint64 m_msecs = NoTime;
    double m_power = 0.0;
    double m_freq = 0.0;
    quint16 m_powerUnit = 0;
    quint16 m_freqUnit = 0;
    bool m_repeat = false;
};
