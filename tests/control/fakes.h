#pragma once

#include <QList>
#include <QObject>
#include <QStringList>
#include <limits>

#include "idevice.h"
#include "iwriter.h"

// A scripted meter family: tests set what it reports and read back what it was told.
class FakeDevice : public QObject, public iDevice {
    Q_OBJECT
    Q_INTERFACES(iDevice)
public:
    bool start(int index) override {
        starts.append(index);
        return startResult;
    }
    bool stop() override {
        ++stops;
        return true;
    }
    double power() override { return pwr; }
    QStringList& devList() override { return list; }
    void setFreq(const double& freq) override { freqs.append(freq); }
    void setAtt(bool att) override { atts.append(att); }

    // Drives one reading through the controller as a facade would.
    void read(double dBm) { getPwr(dBm); }

    bool startResult = true;
    double pwr = std::numeric_limits<double>::quiet_NaN();
    QStringList list;
    QList<int> starts;
    int stops = 0;
    QList<double> freqs;
    QList<bool> atts;

signals:
    void powerUpdated();
    void devListUpdated();
    void deviceMissing();

public slots:
    void getPwr(double var) {
        pwr = var;
        emit powerUpdated();
    }
    void getDevList(QStringList devList) {
        list = devList;
        emit devListUpdated();
    }
    void deviceState() { emit deviceMissing(); }
};

class FakeWriter : public iWriter {
public:
    bool write(const QString& fileName, PowerData data) override {
        names.append(fileName);
        records.append(data);
        return result;
    }
    bool result = true;
    QStringList names;
    QList<PowerData> records;
};
