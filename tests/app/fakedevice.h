#pragma once

#include <QObject>
#include <QStringList>
#include <limits>

#include "idevice.h"

// A scripted meter family for the window tests: the test decides what it lists and reads.
class FakeDevice : public QObject, public iDevice {
    Q_OBJECT
    Q_INTERFACES(iDevice)
public:
    bool start(int) override {
        ++starts;
        return startResult;
    }
    bool stop() override { return true; }
    double power() override { return pwr; }
    QStringList& devList() override { return list; }
    void setFreq(const double&) override {}
    void setAtt(bool) override {}

    bool startResult = true;
    int starts = 0;
    double pwr = std::numeric_limits<double>::quiet_NaN();
    QStringList list;

signals:
    void powerUpdated();
    void devListUpdated();
    void deviceMissing();

public slots:
    void getPwr(double value) {
        pwr = value;
        emit powerUpdated();
    }
    void getDevList(QStringList devList) {
        list = devList;
        emit devListUpdated();
    }
    void deviceState() { emit deviceMissing(); }
};
