#pragma once

#include <QStringList>
#include <QtPlugin>

// What a facade sees of its driver. Implementers inherit QObject first, this second, and declare
// the signals power(double), devListUpdated(QStringList), deviceMissing().
class iDriver {
public:
    virtual QStringList* deviceList() = 0;
    virtual QStringList* portList() = 0;
    virtual void setAtt(bool att) = 0;
    virtual void setFreq(double freq) = 0;

protected:
    ~iDriver() = default;  // never released through the interface
};

#define iDriver_iid "iDriver"
Q_DECLARE_INTERFACE(iDriver, iDriver_iid)
