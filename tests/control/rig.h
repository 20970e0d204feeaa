#pragma once

#include <QDateTime>
#include <QRegularExpression>
#include <QStringList>
#include <memory>

#include "fakes.h"
#include "meterdeck.h"

// A controller on two scripted devices and a recording writer, with its log and signals at hand.
struct Rig {
    FakeDevice dev0;
    FakeDevice dev1;
    FakeWriter writer;
    std::unique_ptr<Meterdeck> md;
    QStringList signalLog;

    Rig() : md(std::make_unique<Meterdeck>(std::vector<iDevice*>{&dev0, &dev1}, &writer)) {
        Meterdeck* m = md.get();
        auto rec = [this](const char* name) { return [this, name] { signalLog.append(name); }; };
        QObject::connect(m, &Meterdeck::powerUpdated, rec("power"));
        QObject::connect(m, &Meterdeck::attChanged, rec("att"));
        QObject::connect(m, &Meterdeck::freqChanged, rec("freq"));
        QObject::connect(m, &Meterdeck::needWriteChanged, rec("needWrite"));
        QObject::connect(m, &Meterdeck::fileNameChanged, rec("fileName"));
        QObject::connect(m, &Meterdeck::offset_dBChanged, rec("offset_dB"));
        QObject::connect(m, &Meterdeck::offsetEnChanged, rec("offsetEn"));
        QObject::connect(m, &Meterdeck::unitChanged, rec("unit"));
        QObject::connect(m, &Meterdeck::unitStrChanged, rec("unitStr"));
        QObject::connect(m, &Meterdeck::averEnChanged, rec("averEn"));
        QObject::connect(m, &Meterdeck::averChanged, rec("aver"));
        QObject::connect(m, &Meterdeck::isStartChanged, rec("isStart"));
        QObject::connect(m, &Meterdeck::errorChanged, rec("error"));
    }

    QStringList logs() const {
        QStringList out;
        LogsModel* l = md->logsModel();
        for (int r = 0; r < l->rowCount(); ++r)
            out.append(l->data(l->index(r), LogsModel::eLog).toString());
        return out;
    }

    // Log lines and signals from here on only.
    void mark() {
        logMark = md->logsModel()->rowCount();
        signalLog.clear();
    }
    QStringList newLogs() const { return logs().mid(logMark); }

    const PowerData& lastRecord() const { return md->powerModel()->series().back(); }

    // Meter list shown and connected through the switch.
    void connectTo(const QString& info) {
        dev0.getDevList({info});
        md->setIsStart(true);
    }

    int logMark = 0;
};

// "dd.MM.yy HH:mm:ss" stamp of a reading line, for times taken around the call.
inline QRegularExpression readingLine(const QString& rest) {
    return QRegularExpression(QStringLiteral("^\\d\\d\\.\\d\\d\\.\\d\\d \\d\\d:\\d\\d:\\d\\d") +
                              QRegularExpression::escape(rest) + QLatin1Char('$'));
}
