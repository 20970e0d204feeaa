#pragma once

#include <QDateTime>
#include <QString>
#include <memory>

#include "iwriter.h"
#include "logsink.h"
#include "powerdata.h"

class CsvWriter;

// The record file: its name, whether the meter's readings go into it, and how the writes fare.
// A run of failed writes is told once, and its end gives the count.
class Recorder {
public:
    // The writer defaults to a CsvWriter; one passed in stays the caller's.
    Recorder(iWriter* writer, LogSink log);
    ~Recorder();

    bool on() const { return m_on; }
    const QString& fileName() const { return m_fileName; }
    int writtenLines() const { return m_writtenLines; }
    int failedTotal() const { return m_failedTotal; }

    // A file URL or a plain path; anything else leaves no file chosen.
    void setFileName(const QString& url);
    // A fresh name for the meter's readings from `now` on.
    void nameFor(const QString& identification, const QDateTime& now);

    // Why the recording cannot start, in the log's words; empty when it started, counts reset.
    QString start();
    void stop() {
        m_on = false;
        writer->release();
    }
    // Writes one reading and logs the outcome. Returns the line the operator must see now: the
    // first failure of a run; empty otherwise.
    QString write(const PowerData& record);
    // Ends a run of failed writes, giving its count after `prefix`.
    void endFailedRun(const QString& prefix);

    // "06.12.26 14:05:09 Мощность = -12.3457 дБм": the reading's log line, also the start of the
    // line that says it was written.
    static QString readingLine(const PowerData& record);
    // The record-file stem made from a meter's identification string: safe as a file name.
    static QString fileStem(const QString& identification);
    // The record file of a further meter of the same measurement: beside `mainPath`, its serial
    // number in the name ("run.csv" and "0002": "run SN 0002.csv"); empty without a serial.
    static QString besideName(const QString& mainPath, const QString& serial);
    // The file of the A−B values beside it ("run.csv": "run A-B.csv").
    static QString differenceName(const QString& mainPath);
    // Why a recording into this file could not write, in the log's words; empty when it can.
    static QString recordFileProblem(const QString& path);

private:
    static QString withSuffix(const QString& mainPath, const QString& suffix);

    LogSink log;
    iWriter* writer = nullptr;
    std::unique_ptr<CsvWriter> m_ownedWriter;
    bool m_on = false;
    QString m_fileName;
    int m_failedRun = 0;  // readings of the present run of failed writes
    int m_writtenLines = 0;
    int m_failedTotal = 0;
};
