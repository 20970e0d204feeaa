#pragma once

#include <QString>
#include <optional>

#include "iwriter.h"
#include "logsink.h"
#include "meterdifference.h"
#include "recorder.h"
#include "statistics.h"

// A−B as the operator meets it: the value of the last same-cycle pair (kept until a cycle passes
// without one), its text in dB or as the power ratio, a log line per value, its statistics and,
// while recording, its file beside the main one. The pairing itself is MeterDifference's.
class DifferenceReadout {
public:
    DifferenceReadout(LogSink log, qint64 pollMs, iWriter* writer);

    // Readings of A and B (dBm; not finite: none), with A's frequency; true when what is shown
    // changed.
    bool readingA(qint64 ms, double dBm, double freqKHz);
    bool readingB(qint64 ms, double dBm);
    // Another B: nothing of the old pair is kept.
    void restart();
    void resetStatistics() { m_stats.reset(); }
    void setRatio(bool ratio) { m_ratio = ratio; }

    double dB() const { return m_dB; }
    QString text() const;  // "15.02", "31.6" as a ratio, "—" for none
    QString label() const { return MeterDifference::label(m_ratio); }
    QString statistics() const;

    // "run.csv": the values into "run A-B.csv" from now on; empty: recording stops. Returns
    // why it could not start, empty when it did (or stopped).
    QString record(const QString& mainPath);
    // The first failed write of a run, for the operator; empty otherwise.
    QString takeAlert() { return std::exchange(m_alert, {}); }

private:
    bool took(const std::optional<MeterDifference::Value>& value, qint64 ms, double dBm);

    LogSink m_log;
    MeterDifference m_pairs;
    qint64 m_pollMs;
    double m_dB;
    qint64 m_ms = 0;
    double m_freqA = 0.0;
    bool m_ratio = false;
    Statistics m_stats;
    Recorder m_file;
    QString m_alert;
};
