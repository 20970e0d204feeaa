#pragma once

#include <QObject>
#include <QStringList>
#include <limits>

#include "idevice.h"
#include "iwriter.h"

// A scripted meter family: tests set what it reports and read back, in order, what it was told.
class FakeDevice : public QObject, public iDevice {
    Q_OBJECT
    Q_INTERFACES(iDevice)
public:
    bool start(int index) override {
        calls.append("start " + QString::number(index));
        return startResult;
    }
    bool stop() override {
        calls.append("stop");
        return true;
    }
    double power() override { return pwr; }
    QStringList& devList() override { return list; }
    void setFreq(const double& freq) override {
        calls.append("freq " + QString::number(freq, 'g', 10));
    }
    void setAtt(bool att) override { calls.append(att ? "att 1" : "att 0"); }
    double readingFreq() const override { return freqOfReading; }
    bool readingAtt() const override { return attOfReading; }

    bool startResult = true;
    double pwr = std::numeric_limits<double>::quiet_NaN();
    // The request the reading answered; NaN: not told.
    double freqOfReading = std::numeric_limits<double>::quiet_NaN();
    bool attOfReading = false;
    QStringList list;
    QStringList calls;

signals:
    void powerUpdated();
    void devListUpdated();
    void deviceMissing();
    void replyLost();
    void replyUnusable(QString reply);
    void portRefused(QString portName);
    void portSlow(QString portName);

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
