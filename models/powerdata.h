#pragma once

#include <QDateTime>
#include <QString>

// One measurement record: what the controller stamps, the model holds and the record file keeps.
class PowerData {
public:
    PowerData() = default;
    PowerData(const QDateTime& time, double power, const QString& powerUnit, double freq,
              const QString& freqUnit);

    QDateTime time() const { return m_time; }
    void setTime(const QDateTime& time) { m_time = time; }
    double power() const { return m_power; }
    void setPower(double power) { m_power = power; }
    QString powerUnit() const { return m_powerUnit; }
    void setPowerUnit(const QString& unit) { m_powerUnit = unit; }
    double freq() const { return m_freq; }
    void setFreq(double freq) { m_freq = freq; }
    QString freqUnit() const { return m_freqUnit; }
    void setFreqUnit(const QString& unit) { m_freqUnit = unit; }

private:
    QDateTime m_time;
    double m_power = 0.0;
    QString m_powerUnit;
    double m_freq = 0.0;
    QString m_freqUnit;
};
