#pragma once

#include <QObject>
#include <QString>
#include <memory>
#include <vector>

#include "connectionkeeper.h"
#include "devicemodel.h"
#include "frequencyrange.h"
#include "furthermeters.h"
#include "idevice.h"
#include "iwriter.h"
#include "logsmodel.h"
#include "meterlist.h"
#include "powerdatamodel.h"
#include "readingpipeline.h"
#include "recorder.h"
#include "statistics.h"
#include "statusline.h"

// The one object through which the user interface operates the meter: settings, the current
// reading in the display unit, connection and recording. Every change it makes is logged.
// It keeps the interface and the order of announcements; the parts it delegates to do the work.

struct DriverSettings;

class Meterdeck : public QObject {
    Q_OBJECT
    Q_PROPERTY(double power READ power NOTIFY powerUpdated FINAL)
    Q_PROPERTY(bool att READ att WRITE setAtt NOTIFY attChanged FINAL)
    Q_PROPERTY(double freq READ freq WRITE setFreq NOTIFY freqChanged FINAL)
    Q_PROPERTY(bool needWrite READ needWrite WRITE setNeedWrite NOTIFY needWriteChanged FINAL)
    Q_PROPERTY(QString fileName READ fileName WRITE setFileName NOTIFY fileNameChanged FINAL)
    Q_PROPERTY(double offset_dB READ offset_dB WRITE setOffset_dB NOTIFY offset_dBChanged FINAL)
    Q_PROPERTY(bool offsetEn READ offsetEn WRITE setOffsetEn NOTIFY offsetEnChanged FINAL)
    Q_PROPERTY(int unit READ unit WRITE setUnit NOTIFY unitChanged FINAL)
    Q_PROPERTY(QString unitStr READ unitStr WRITE setUnitStr NOTIFY unitStrChanged FINAL)
    Q_PROPERTY(bool averEn READ averEn WRITE setAverEn NOTIFY averEnChanged FINAL)
    Q_PROPERTY(int aver READ aver WRITE setAver NOTIFY averChanged FINAL)
    Q_PROPERTY(bool isStart READ isStart WRITE setIsStart NOTIFY isStartChanged FINAL)
    Q_PROPERTY(int error READ error WRITE setError NOTIFY errorChanged FINAL)
    // Row of the device list model that a connection opens; follows its meter when the list
    // changes. -1 while the list is empty.
    Q_PROPERTY(int selectedDevice READ selectedDevice WRITE setSelectedDevice NOTIFY
                   selectedDeviceChanged FINAL)
    // The connection was lost without the operator asking: the same meter is connected again as
    // soon as a discovery pass finds it. A write of isStart ends the wait.
    Q_PROPERTY(bool reconnecting READ reconnecting NOTIFY reconnectingChanged FINAL)
    // Readings of the meter since connecting (or since the operator's reset), in the display unit.
    Q_PROPERTY(QString statsText READ statsText NOTIFY statisticsChanged FINAL)
    // Relative read-out: the difference in dB from the reading taken as the reference. The log,
    // the chart's records and the record file keep absolute values.
    Q_PROPERTY(bool relative READ relative WRITE setRelative NOTIFY relativeChanged FINAL)
    Q_PROPERTY(double reference READ reference NOTIFY relativeChanged FINAL)
    Q_PROPERTY(double relativeValue READ relativeValue NOTIFY powerUpdated FINAL)
    // Lines written and writes failed since the recording started.
    Q_PROPERTY(int writtenLines READ writtenLines NOTIFY recordCountsChanged FINAL)
    Q_PROPERTY(int failedWritesTotal READ failedWritesTotal NOTIFY recordCountsChanged FINAL)
    // The meters measured beside this one: the read-out row, the chart's traces, A−B.
    Q_PROPERTY(FurtherMeters* traces READ traces CONSTANT FINAL)
    Q_PROPERTY(QString meterName READ meterName NOTIFY isStartChanged FINAL)

public:
    // Production: builds the T9rev6 and Ortix facades and a CsvWriter (defined in its own
    // source file so that everything else links without the device layer).
    Meterdeck();

    // Devices supplied by the caller: each must be a QObject implementing iDevice, declaring the
    // iDevice signals; the first one is the current device. The writer defaults to a CsvWriter.
    // The caller keeps ownership of the devices and of a writer it passes in.
    explicit Meterdeck(const std::vector<iDevice*>& devices, iWriter* writer = nullptr);

    ~Meterdeck() override;

    static constexpr double freqMin = FrequencyRange::min;
    static constexpr double freqMax = FrequencyRange::max;
    static constexpr double offsetLimit = ReadingPipeline::offsetLimit;  // dB either way
    static constexpr qint64 staleMs = StatusLine::staleMs;  // a reading older is not current

    // Read of `power`: the last reading converted to the display unit; in watt and volt mode with
    // the prefix that keeps it under 1000 at `aver` decimals, published through `unitStr`.
    double power();
    bool att() const { return m_att; }
    double freq() const { return m_freq; }
    bool needWrite() const { return m_recorder->on(); }
    QString fileName() const { return m_recorder->fileName(); }
    double offset_dB() const { return m_pipeline->offset_dB(); }
    bool offsetEn() const { return m_pipeline->offsetEn(); }
    int unit() const { return m_pipeline->unit(); }
    QString unitStr() const { return m_pipeline->unitName(); }
    bool averEn() const { return m_pipeline->averEn(); }
    // Doubles as the read-out's number of decimals: 2 while averaging is off.
    int aver() const { return m_pipeline->decimals(); }
    bool isStart() const { return m_keeper->connected(); }
    int error() const { return m_error; }
    int selectedDevice() const { return m_meters->row(); }
    bool reconnecting() const { return m_keeper->reconnecting(); }
    const Statistics& statistics() const { return m_stats; }
    QString statsText() const;
    bool relative() const { return m_pipeline->relative(); }
    double reference() const { return m_pipeline->reference(); }
    double relativeValue() const { return m_pipeline->relativeValue(); }
    int writtenLines() const { return m_recorder->writtenLines(); }
    int failedWritesTotal() const { return m_recorder->failedTotal(); }

    void setAtt(bool att);
    void setFreq(double freq);
    void setNeedWrite(bool needWrite);
    void setFileName(const QString& url);
    void setOffset_dB(double offset);
    void setOffsetEn(bool offsetEn);
    void setUnit(int unit);
    void setUnitStr(const QString& unitStr);
    void setAverEn(bool averEn);
    void setAver(int aver);
    void setIsStart(bool isStart);
    void setError(int error);
    void setSelectedDevice(int row);
    void setRelative(bool relative);

    // Adds the meter of this device list row to the measurement, or takes it out again. Only
    // while connected, never the meter of the connection.
    Q_INVOKABLE bool addMeter(int row) { return addFurther(row, false); }
    Q_INVOKABLE void removeMeter(int row);
    // Makes the added meter of this row of `traces` the connected one (A), the others and the
    // former A measured beside it: the measurement starts again (chart, statistics). Refused
    // while recording, whose files belong to their meters.
    Q_INVOKABLE bool makeMain(int furtherRow);
    FurtherMeters* traces() const { return m_further.get(); }
    // The meter of the connection (or the one awaited); empty before the first.
    QString meterName() const { return m_keeper->meter(); }
    // How further meters are made (each a QObject implementing iDevice); none: none can be added.
    void setFurtherDevices(FurtherMeters::DeviceMaker maker) { m_further->setDeviceMaker(maker); }
    // Further meters of the main family: drivers like the main one's (the same port enumeration
    // and poll clock), without discovery of their own.
    static FurtherMeters::DeviceMaker furtherMeters(const DriverSettings& mainSettings);

    Q_INVOKABLE void updateFileName(bool needLog = true);
    Q_INVOKABLE void resetStatistics();
    // The status line at the moment `nowMs` (ms since the epoch): port and meter, the age of the
    // last reading, the record file with its counts.
    Q_INVOKABLE QString statusText(qint64 nowMs) const;
    // The same in two parts: where and what (may be shortened to fit), and the record counts with
    // the separator before them (never shortened: a failure must always show). Empty counts
    // while nothing is recorded and no write failed.
    Q_INVOKABLE QString statusPlace(qint64 nowMs) const;
    Q_INVOKABLE QString statusCounts() const;
    // Connected, and no reading for staleMs or longer.
    Q_INVOKABLE bool stale(qint64 nowMs) const;
    // The caption of a chart picture taken at `nowMs`: date and time, the meter, the frequency,
    // the offset and the Δ reference when on, the display unit.
    Q_INVOKABLE QString pictureCaption(qint64 nowMs) const;

    DeviceModel* deviceModel() const { return m_deviceModel; }
    PowerDataModel* powerModel() const { return m_powerModel; }
    LogsModel* logsModel() const { return m_logsModel; }

    // The record-file stem made from a meter's identification string: safe as a file name.
    static QString fileStem(const QString& identification) {
        return Recorder::fileStem(identification);
    }
    // Why a recording into this file could not write, in the log's words; empty when it can.
    static QString recordFileProblem(const QString& path) {
        return Recorder::recordFileProblem(path);
    }

signals:
    void powerUpdated();
    void attChanged();
    void freqChanged();
    void needWriteChanged();
    void fileNameChanged();
    void offset_dBChanged();
    void offsetEnChanged();
    void unitChanged();
    void unitStrChanged();
    void averEnChanged();
    void averChanged();
    void isStartChanged();
    void errorChanged();
    void selectedDeviceChanged();
    void reconnectingChanged();
    void statisticsChanged();
    void relativeChanged();
    void recordCountsChanged();
    // Something the operator must see now, not only in the log: the window shows it in a message
    // box. Once per event: a lost meter, the first failed write of a run, a refused recording.
    void alert(const QString& text);

public slots:
    void slot_updatePower();
    void slot_updateDevList();
    void slot_deviceMissing();
    void slot_replyLost();
    void slot_portRefused(const QString& portName);
    void slot_portSlow(const QString& portName);
    void slot_replyUnusable(const QString& reply);

private slots:
    void slot_offsetSwitched();

private:
    void setUp(iWriter* suppliedWriter);
    void attach(const std::vector<iDevice*>& list);
    void readingCycle(bool fromMeter);
    bool openConnection(bool resume = false);
    void closeConnection();
    void showNoValue();
    void setUpFurther(iWriter* writer);
    void holdFurtherPorts();
    bool addFurther(int row, bool awaitIfClosed);
    void faultyReply(bool counted);
    StatusLine statusLine() const { return StatusLine(*m_keeper, *m_recorder, *m_pipeline); }
    void log(const QString& line) { m_logsModel->addLog(line); }

    std::vector<iDevice*> devices;
    iDevice* currentDevice = nullptr;
    DeviceModel* m_deviceModel = nullptr;
    PowerDataModel* m_powerModel = nullptr;
    LogsModel* m_logsModel = nullptr;

    // The driver starts at these too, so the first connection always sends its row's frequency.
    double m_freq = freqMin;
    bool m_att = false;
    int m_error = 0;
    Statistics m_stats;

    std::unique_ptr<ReadingPipeline> m_pipeline;
    std::unique_ptr<ConnectionKeeper> m_keeper;
    std::unique_ptr<MeterList> m_meters;
    std::unique_ptr<Recorder> m_recorder;
    std::unique_ptr<FurtherMeters> m_further;
    // Devices this controller created itself and therefore releases.
    std::vector<std::unique_ptr<QObject>> m_ownedDevices;
};
