#pragma once

#include <QString>
#include <QStringList>
#include <QtPlugin>

#include <limits>

// What the controller sees of a meter family. Implementers derive from MeterDevice (QObject
// first, this second, with the signals) and declare the slots getPwr(double),
// getDevList(QStringList), deviceState(): callers connect to them by name.
class iDevice {
public:
    virtual bool start(int index) = 0;
    virtual bool stop() = 0;
    virtual double power() = 0;
    virtual QStringList& devList() = 0;
    virtual void setFreq(const double& freq) = 0;
    virtual void setAtt(bool att) = 0;
    // The port of the open connection, for the status line; empty when unknown.
    virtual QString portName() const { return {}; }
    // The request the last reading (power()) answered: the frequency in kHz it was measured at
    // and the converter state it was asked with. NaN where the family does not tell; the
    // controller then stamps its own setting.
    virtual double readingFreq() const { return std::numeric_limits<double>::quiet_NaN(); }
    virtual bool readingAtt() const { return false; }

    // Several meters in one measurement. The port where the last discovery pass listed this
    // meter; empty when not listed or where the family does not tell.
    virtual QString portOf(const QString& identification) const {
        Q_UNUSED(identification)
        return {};
    }
    // A further meter of a measurement: opens the meter with this identification at this port,
    // with no discovery of its own. False where it cannot be opened or the family cannot do it.
    virtual bool startAt(const QString& identification, const QString& port) {
        Q_UNUSED(identification)
        Q_UNUSED(port)
        return false;
    }
    // Ports that other devices of the program measure, with their meters: discovery neither
    // probes them nor drops their meters from its list.
    virtual void holdPorts(const QStringList& ports, const QStringList& meters) {
        Q_UNUSED(ports)
        Q_UNUSED(meters)
    }

protected:
    ~iDevice() = default;  // never released through the interface
};

#define iDevice_iid "iDevice"
Q_DECLARE_INTERFACE(iDevice, iDevice_iid)
