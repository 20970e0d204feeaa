#pragma once

#include <QString>

#include "connectionkeeper.h"
#include "readingpipeline.h"
#include "recorder.h"

// The status line and a chart picture's caption, read from the controller's parts at the moment
// asked.
class StatusLine {
public:
    static constexpr qint64 staleMs = 3000;  // a reading older than this is not current

    StatusLine(const ConnectionKeeper& connection, const Recorder& recorder,
               const ReadingPipeline& reading)
        : connection(connection), recorder(recorder), reading(reading) {}

    // Connected (or awaiting a lost meter), and no reading for staleMs or longer.
    bool stale(qint64 nowMs) const;
    // Port and meter, the age of the last reading, the record file.
    QString place(qint64 nowMs) const;
    // The record counts with the separator before them; empty while nothing is recorded and no
    // write failed.
    QString counts() const;
    // Date and time, the meter, the frequency in kHz, the offset and the reference when on, the
    // display unit.
    QString caption(qint64 nowMs, double freq) const;

private:
    const ConnectionKeeper& connection;
    const Recorder& recorder;
    const ReadingPipeline& reading;
};
