#pragma once

#include "meterdevice.h"

#include <QObject>
#include <QStringList>

class Ortix_driver;

// Second meter family: listed beside the main one but carries no behaviour.
class Ortix : public MeterDevice {
    Q_OBJECT

public:
    Ortix();
    ~Ortix() override;

    bool start(int index) override;
    bool stop() override;
    double power() override;
    void setFreq(const double& freq) override;
    void setAtt(bool att) override;

public slots:
    void getPwr(double var);

private:
    Ortix_driver* driver = nullptr;
    double pwr;
};
