#pragma once

#include "driversettings.h"
#include "meterdevice.h"

#include <QObject>
#include <QStringList>

class T9Rev6_driver;

// Device object of the main meter family, living in the GUI thread. Hides the driver worker and
// turns its queued signals into stored values plus argument-less signals.
class T9rev6 : public MeterDevice {
    Q_OBJECT

public:
    // System ports, product intervals.
    T9rev6();
    // Any port enumeration and intervals (tests, simulated meters).
    explicit T9rev6(const DriverSettings& settings);
    ~T9rev6() override;

    bool start(int index) override;
    bool stop() override;
    double power() override;
    void setFreq(const double& freq) override;
    void setAtt(bool att) override;
    QString portName() const override;
    double readingFreq() const override { return pwrFreq; }
    bool readingAtt() const override { return pwrAtt; }
    QString portOf(const QString& identification) const override;
    bool startAt(const QString& identification, const QString& port) override;
    void holdPorts(const QStringList& ports, const QStringList& meters) override;

    T9Rev6_driver* driverObject() const { return driver; }

public slots:
    void getPwr(double var);

private slots:
    void getReading(double var, double freqKHz, bool att);
    void lostReply();
    void unusableReply(QByteArray reply);

private:
    T9Rev6_driver* driver = nullptr;  // owned: its thread must end with us
    double pwr;
    double pwrFreq;  // the request pwr answered
    bool pwrAtt = false;

    void takeReading(double var, double freqKHz, bool att);
    bool measuring = false;  // between a successful start() or startAt() and stop()
};
