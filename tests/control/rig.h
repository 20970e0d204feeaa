#pragma once

#include <QTemporaryDir>
#include <memory>
#include <utility>

#include "../support/fakedevice.h"
#include "../support/lines.h"
#include "meterdeck.h"

// A controller on two scripted devices and a recording writer, with its log, alerts and signals
// at hand.
struct Rig {
    FakeDevice dev0;
    FakeDevice dev1;
    FakeWriter writer;
    QTemporaryDir dir;  // record files are named in it, never at a fixed place
    std::unique_ptr<Meterdeck> md;
    QStringList signalLog;
    QStringList alerts;
    int logMark = 0;

    Rig() : md(std::make_unique<Meterdeck>(std::vector<iDevice*>{&dev0, &dev1}, &writer)) {
        using M = Meterdeck;
        const std::pair<const char*, void (M::*)()> notifies[] = {
            {"power", &M::powerUpdated},       {"att", &M::attChanged},
            {"freq", &M::freqChanged},         {"needWrite", &M::needWriteChanged},
            {"fileName", &M::fileNameChanged}, {"offset_dB", &M::offset_dBChanged},
            {"offsetEn", &M::offsetEnChanged}, {"unit", &M::unitChanged},
            {"unitStr", &M::unitStrChanged},   {"averEn", &M::averEnChanged},
            {"aver", &M::averChanged},         {"isStart", &M::isStartChanged},
            {"error", &M::errorChanged}};
        for (const auto& [name, signal] : notifies)
            QObject::connect(md.get(), signal, [this, n = name] { signalLog.append(n); });
        QObject::connect(md.get(), &M::alert, [this](const QString& text) { alerts.append(text); });
    }

    QStringList logs() const { return logLines(md->logsModel()); }
    // Log lines, signals and meter commands from here on only.
    void mark() {
        logMark = md->logsModel()->rowCount();
        signalLog.clear();
        dev0.calls.clear();
    }
    QStringList newLogs() const { return logs().mid(logMark); }
    void connectTo(const QString& info) {
        dev0.getDevList({info});
        md->setIsStart(true);
    }
    void record(const QString& name) {
        md->setFileName(dir.filePath(name));
        md->setNeedWrite(true);
    }
};
