#pragma once

#include "idriver.h"

#include <QObject>
#include <QStringList>

class Ortix_driver : public QObject, public iDriver {
    Q_OBJECT
    Q_INTERFACES(iDriver)

public:
    Ortix_driver() = default;

    QStringList* deviceList() override { return devList; }
    QStringList* portList() override { return portNames; }
    void setAtt(bool) override {}
    void setFreq(double) override {}

signals:
    void devListUpdated(QStringList devList);
    void power(double pow);
    void deviceMissing();

private:
    QStringList* devList = nullptr;
    QStringList* portNames = nullptr;
};
