#pragma once

#include "driversettings.h"
#include "idriver.h"
#include "lineledger.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QThread>

#include <atomic>
#include <optional>

class PortEnumerator;
class QJsonObject;
class ProbeThread;
class QSerialPort;
class QTimer;

// Talks to meters of the main family on a worker thread of its own. While not measuring it
// probes every port each discovery interval (and once at once on construction); while
// measuring it first checks that the opened port still carries the meter it was chosen as,
// then polls power once per poll interval, one command outstanding at a time. Which request a
// reply answers follows from the order of questions and replies alone (LineLedger): after a lost
// reply the next command is the resync query, and no reading is taken until its answer came.
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
    // Creating thread: the port the last successful startMeter() opened.
    QString openedPort() const { return m_openedPort; }

public slots:
    bool start(int i);
    // Opens the meter with this identification at the port where the last pass found it.
    bool startMeter(const QString& identification);
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
    void procInfo(QByteArray info, QString portName);
    void getPow();
    bool openPort(int com);
    void proc();
    void read();
    void timerT9();
    void enumerated(QStringList names);
    void probeReported(QByteArray info, QString portName, int pass);

private:
    enum Command { NoCmd = 0, NameCmd = 1, SerialCmd = 2 };  // power: MeterProtocol::PowerCmd

    static LineLedger::Kind kindOf(int cmd);
    bool sendCommand(int cmd);
    void queueNext();
    void answered(const QByteArray& text, const QJsonObject& reply, const QByteArray& raw);
    void checkIdentity(LineLedger::Kind kind, const QByteArray& text);
    void identityMismatch();
    void unusable(const QByteArray& raw);
    bool portPresent();
    bool openMeter(const QString& identification);
    void closePort();
    void lostPort();
    void reopenPort();
    void requestEnumeration();
    void beginPass(const QStringList& ports);
    void finishPass(int pass);
    void cancelPass();
    void abortProbe(const QString& portName);
    void releaseProbes(int waitMs);
    void verifyIdentity();
    void postToWorker(const char* slot);
    template <typename F>
    void inWorker(F&& f);

    DriverSettings cfg;

    QThread workerThread;
    QThread* enumThread;  // not waited for beyond a bound if an enumeration hangs at exit
    PortEnumerator* enumerator = nullptr;
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
    QString portName;      // name the measuring port was opened by, as enumerated
    QString m_openedPort;  // its copy for the creating thread
    QList<ProbeThread*> probes;
    QStringList* devList;
    QStringList* portNames;
    int updateInterval;

    // Worker-only state.
    int pass = 0;             // id of the discovery pass under way or last finished
    bool passOpen = false;    // its probes' reports still count
    bool passWanted = false;  // a pass starts when the enumeration under way returns
    bool enumerating = false;
    QStringList foundInfo, foundPorts;  // the pass under way
    QStringList knownPorts;             // the last enumeration
    QTimer* passTimer = nullptr;        // closes a pass whose probes have not all reported
    QString expectedId;                 // identification the measuring port must answer with
    QByteArray idName, idSerial;        // halves of the identification, as the line answered
    bool verified = false;
    int idMismatches = 0;
    LineLedger line;                             // the measuring port's questions
    LineLedger::Kind marker = LineLedger::Name;  // the resync query, once verified
    bool resyncing = false;                      // no reading until the resync query is answered
    QHash<QString, LineLedger> ledgers;          // what each port may still answer, between uses
    QElapsedTimer sinceWrite;                    // age of the command waiting for its reply

    std::atomic<bool> polling{false};  // powTimer is (to be) running
};
