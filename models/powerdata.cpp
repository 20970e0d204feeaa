#include "powerdata.h"

PowerData::PowerData(const QDateTime& time, double power, const QString& powerUnit, double freq,
                     const QString& freqUnit)
    : m_time(time), m_power(power), m_powerUnit(powerUnit), m_freq(freq), m_freqUnit(freqUnit) {}
