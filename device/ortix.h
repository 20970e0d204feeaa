#pragma once

#include "idevice.h"

#include <QObject>
#include <QStringList>

class Ortix_driver;

// Second meter family: listed beside the main one but carries no behaviour.
class Ortix : public QObject, public iDevice {
    Q_OBJECT
    Q_INTERFACES(iDevice)

public:
    Ortix();
    ~Ortix() override;

    bool start(int index) override;
    bool stop() override;
    double power() override;
    QStringList& devList() override;
    void setFreq(const double& freq) override;
    void setAtt(bool att) override;

signals:
    void powerUpdated();
    void devListUpdated();
    void deviceMissing();

public slots:
    void getPwr(double var);
    void getDevList(QStringList devList);
    void deviceState();

private:
    Ortix_driver* driver = nullptr;
    double pwr;
    QStringList lastDevList;
};
