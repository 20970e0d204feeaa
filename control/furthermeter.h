#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>

#include "connectionkeeper.h"
#include "idevice.h"
#include "iwriter.h"
#include "logsink.h"
#include "powerdatamodel.h"
#include "readingpipeline.h"
#include "recorder.h"
#include "statistics.h"

// One meter added to a measurement beside the main one: its own connection, reading pipeline,
// statistics, series and record file. Opened at the port where the main meter's discovery
// listed it; lost, it is opened again at that port (or where discovery lists it then) until it
// answers as itself. Its log lines carry its serial number.
class FurtherMeter : public QObject {
    Q_OBJECT

public:
    enum class State { Reading, Silent, Awaited };

    // Takes the device (a QObject implementing iDevice with the MeterDevice signals). `locate`
    // tells where discovery lists a meter now (empty: not listed).
    FurtherMeter(std::unique_ptr<QObject> device, const QString& identification,
                 const QString& port, LogSink log, std::function<QString(QString)> locate,
                 iWriter* writer = nullptr);
    ~FurtherMeter() override;

    const QString& identification() const { return m_identification; }
    QString serial() const;
    const QString& port() const { return m_port; }
    // Interval between attempts to take back a lost meter, ms.
    void setRetryInterval(int ms) { m_retry.setInterval(ms); }

    // Opens the meter with its frequency (kHz) and converter state.
    bool start(double freqKHz, bool att);
    // Not opened (its port still busy): looked for as a lost meter is, without telling a loss.
    void await();
    void stop();

    State state(qint64 nowMs) const;
    double freq() const { return m_freq; }
    bool att() const { return m_att; }
    void setFreq(double freqKHz);
    void setAtt(bool att);

    ReadingPipeline& pipeline() { return m_pipeline; }
    const ReadingPipeline& pipeline() const { return m_pipeline; }
    const ConnectionKeeper& keeper() const { return m_keeper; }
    const Statistics& statistics() const { return m_stats; }
    void resetStatistics() { m_stats.reset(); }
    PowerDataModel* model() const { return m_model.get(); }
    Recorder& recorder() { return m_recorder; }
    const Recorder& recorder() const { return m_recorder; }
    // The time and level (dBm, offset and settled) of the last reading; ms 0 before any.
    qint64 lastMs() const { return m_lastMs; }

    // Starts its record file beside the main one; empty: started (or nothing to record).
    QString startRecording(const QString& mainPath);
    void stopRecording();
    // The display unit changed: the series starts again in it.
    void unitChanged(int unit);

signals:
    // A reading was taken (or none could be: NaN), after the series and the file have it.
    void reading(qint64 ms, double dBm);
    // Connection state or settings changed (for the read-out row).
    void changed();
    void alert(const QString& text);

private slots:
    void onPower();
    void onMissing();
    void onReplyLost();
    void onReplyUnusable(const QString& reply);
    void retry();

private:
    void fault(bool counted);
    void log(const QString& line) const { m_log(m_tag + line); }

    std::unique_ptr<QObject> m_object;
    iDevice* m_device = nullptr;
    QString m_identification;
    QString m_port;
    QString m_tag;  // "SN 0002: " before its log lines
    LogSink m_log;
    std::function<QString(QString)> m_locate;
    ConnectionKeeper m_keeper;
    ReadingPipeline m_pipeline;
    Statistics m_stats;
    std::unique_ptr<PowerDataModel> m_model;
    Recorder m_recorder;
    QTimer m_retry;
    double m_freq = 3000.0;
    bool m_att = false;
    qint64 m_lastMs = 0;
    bool m_trying = false;  // opened again after a loss, not yet answering as itself
};
