#pragma once

#include "driversettings.h"
#include "idriver.h"
#include "metersession.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <QThread>

#include <atomic>

class PortDiscovery;
class QSerialPort;
class QTimer;

// Talks to meters of the main family on a worker thread of its own. While not measuring it
// probes every port each discovery interval (and once at once on construction) through
// PortDiscovery, unless told not to discover (a further meter of a measurement, opened with
// startAt); while measuring it feeds the port's bytes and the poll's and pump's ticks to a
// MeterSession and carries out what that says: writes, readings, reopening a line closed under
// it, giving up a line that answers as another device.
//
// Threads: the four timers live in the creating thread; the measuring port lives in the worker;
// the port enumeration runs in a thread of its own and each port probe in one of its own, so a
// slow enumeration or a port whose open() hangs never holds up the worker. start(), stop(),
// setAtt(), setFreq() and the destructor are called from the creating thread; start() and stop()
// reach the worker by a blocking queued call, which returns quickly because nothing slow runs
// there.
class T9Rev6_driver : public QObject, public iDriver {
    Q_OBJECT
    Q_INTERFACES(iDriver)

public:
    T9Rev6_driver();
    explicit T9Rev6_driver(const DriverSettings& settings);
    ~T9Rev6_driver() override;

    // The meters of the last complete discovery pass and their ports. Worker-owned: read them
    // only while no pass can complete.
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
    QStringList listedPorts();  // a copy of portList(), taken in the worker
    // The port where the last pass listed this meter; empty when not listed. Through the worker.
    QString portOf(const QString& identification);
    // Ports other drivers of the program measure, with their meters: never probed, their meters
    // listed while the port is enumerated. A probe holding one now is stopped before this returns.
    void holdPorts(const QStringList& ports, const QStringList& meters);
    // Creating thread: the port the last successful startMeter() opened.
    QString openedPort() const { return m_openedPort; }

public slots:
    bool start(int i);
    // Opens the meter with this identification at the port where the last pass found it.
    bool startMeter(const QString& identification);
    // Opens the meter with this identification at this port, with no discovery pass; the line
    // must still answer as that meter.
    bool startAt(const QString& identification, const QString& port);
    void stop();

signals:
    void devListUpdated(QStringList devList);
    void started();
    void stoped();
    void power(double pow);
    // The same reading with the request it answers: the frequency (kHz) and converter state
    // written in it.
    void reading(double pow, double freqKHz, bool att);
    void update_delay(int delay);
    void stop_delay();
    void stop_pow();
    void stop_update();
    void stop_proc();
    void deviceMissing();
    // A power request got no complete reply before the next poll was due.
    void replyLost();
    // A probe could not open this port for lack of rights.
    void portRefused(QString portName);
    // A probe's port answered, but too late for the meter to be listed.
    void portSlow(QString portName);
    // A reply came but carried no usable reading (no "OK", not a number, out of range).
    void replyUnusable(QByteArray reply);

private slots:
    void update();
    void getPow();
    bool openPort(int com);
    void proc();
    void read();
    void timerT9();

private:
    MeterSession::Now now() const;
    void handle(const MeterSession::Events& events);
    bool portPresent() const;
    bool openMeter(const QString& identification);
    bool openMeterAt(const QString& identification, const QString& name);
    bool announceStart(bool opened, const QString& name);
    void closePort();
    void lostPort();
    void reopenPort();
    void postToWorker(const char* slot);
    template <typename F>
    void inWorker(F&& f);

    DriverSettings cfg;

    QThread workerThread;
    PortDiscovery* discovery;  // worker-side; deleted once the worker has ended
    std::atomic<bool> att{false};
    std::atomic<double> freq{300.0};
    QTimer* updateTimer;
    QTimer* procTimer;
    QTimer* powTimer;
    QTimer* delayTimer;
    QSerialPort* port = nullptr;
    QString portName;      // name the measuring port was opened by, as enumerated
    QString m_openedPort;  // its copy for the creating thread
    QStringList* devList;
    QStringList* portNames;
    int updateInterval;

    // Worker-only state.
    MeterSession session;
    QElapsedTimer clock;  // the session's
    qint64 openedAt = 0;  // when the measured line was opened, by clock

    std::atomic<bool> polling{false};  // powTimer is (to be) running
};
