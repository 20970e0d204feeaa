#pragma once

#include <QString>

// One meter of the device list with the settings the operator keeps for it.
class DeviceItem {
public:
    explicit DeviceItem(const QString& info = QString());

    QString info() const { return m_info; }
    bool att() const { return m_att; }
    void setAtt(bool att) { m_att = att; }
    double freq() const { return m_freq; }
    void setFreq(double freq) { m_freq = freq; }

private:
    QString m_info;
    bool m_att = false;
    double m_freq = 3000.0;
};
