#pragma once

#include <QHash>
#include <QObject>
#include <QStringList>
#include <limits>

#include "iwriter.h"
#include "meterdevice.h"

// A scripted meter family: tests set what it reports and read back, in order, what it was told.
class FakeDevice : public MeterDevice {
    Q_OBJECT
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
    void setFreq(const double& freq) override {
        calls.append("freq " + QString::number(freq, 'g', 10));
    }
    void setAtt(bool att) override { calls.append(att ? "att 1" : "att 0"); }
    double readingFreq() const override { return freqOfReading; }
    bool readingAtt() const override { return attOfReading; }
    QString portOf(const QString& identification) const override {
        return ports.value(identification);
    }
    bool startAt(const QString& identification, const QString& port) override {
        calls.append("startAt " + identification + " " + port);
        return startResult;
    }
    void holdPorts(const QStringList& held, const QStringList& meters) override {
        calls.append("hold " + held.join(',') + " " + meters.join(','));
    }

    bool startResult = true;
    double pwr = std::numeric_limits<double>::quiet_NaN();
    // The request the reading answered; NaN: not told.
    double freqOfReading = std::numeric_limits<double>::quiet_NaN();
    bool attOfReading = false;
    QStringList calls;
    QHash<QString, QString> ports;  // where "discovery" lists a meter

public slots:
    void getPwr(double var) {
        pwr = var;
        emit powerUpdated();
    }
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
