#pragma once

#include <QStringList>
#include <QtPlugin>

// What the controller sees of a meter family. Implementers inherit QObject first, this second,
// and declare the signals powerUpdated(), devListUpdated(), deviceMissing() and the slots
// getPwr(double), getDevList(QStringList), deviceState(): callers connect to them by name.
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

protected:
    ~iDevice() = default;  // never released through the interface
};

#define iDevice_iid "iDevice"
Q_DECLARE_INTERFACE(iDevice, iDevice_iid)
