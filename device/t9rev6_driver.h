#pragma once

#include "driversettings.h"
#include "idriver.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QThread>

#include <atomic>

class ComPortInfo;
class QSerialPort;
class QTimer;

// Talks to meters of the main family on a worker thread of its own. While not measuring it
// probes every port each discovery interval; while measuring it polls power once per poll
// interval, one command outstanding at a time. Its four timers live in the creating thread.
//
// start(), stop(), setAtt(), setFreq() and the destructor are called from the creating thread.
// start() and stop() run their port work in the worker through a blocking queued call, so the
// measuring port is created, used and released in the worker only.
class T9Rev6_driver : public QObject, public iDriver {
    Q_OBJECT
    Q_INTERFACES(iDriver)

public:
    T9Rev6_driver();
    explicit T9Rev6_driver(const DriverSettings& settings);
    ~T9Rev6_driver() override;

    // Worker-owned lists: read them only while no discovery pass can run.
    QStringList* deviceList() override { return devList; }
    QStringList* portList() override { return portNames; }
    void setAtt(bool att) override;
    void setFreq(double freq) override;

    const DriverSettings& settings() const { return cfg; }

    // Timer arrangement, for the creating thread.
    bool discoveryActive() const;
    bool pollActive() const;
    bool pumpActive() const;
    bool watchdogActive() const;

    // Worker state, read through the worker (diagnostics and tests).
    qsizetype bufferedBytes();
    int queuedCommands();

public slots:
    bool start(int i);
    void stop();

signals:
    void devListUpdated(QStringList devList);
    void started();
    void stoped();
    void power(double pow);
    void update_delay(int delay);
    void stop_delay();
    void stop_pow();
    void stop_update();
    void stop_proc();
    void deviceMissing();

private slots:
    void update();
    void procInfo(QByteArray info, QString portName);
    void getPow();
    bool openPort(int com);
    void proc();
    void read();
    void timerT9();

private:
    bool sendCommand(int cmd);
    bool portPresent();
    void closePort();
    void releaseProbes();
    QStringList enumeratePorts() const;
    template <typename F>
    void inWorker(F&& f);

    DriverSettings cfg;

    QThread workerThread;
    std::atomic<bool> att{false};
    std::atomic<double> freq{300.0};
    int probeCount = 0;
    int cmdIndex = 0;
    QList<int> cmdQueue;
    QByteArray rxBuffer;
    QTimer* updateTimer;
    QTimer* procTimer;
    QTimer* powTimer;
    QTimer* delayTimer;
    QSerialPort* port = nullptr;
    QString portName;  // name the measuring port was opened by, as enumerated
    QList<ComPortInfo*> probes;
    QStringList* devList;
    QStringList* portNames;
    int updateInterval;

    std::atomic<bool> polling{false};  // powTimer is (to be) running
    QElapsedTimer sinceWrite;          // age of the command waiting for its reply
};
