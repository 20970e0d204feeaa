#pragma once

#include <QFile>
#include <QTemporaryDir>
#include <QUrl>

#include <QMetaProperty>
#include <QObject>
#include <QStringList>
#include <algorithm>
#include <cmath>

#include "devicemodel.h"
#include "logsmodel.h"
#include "powerdatamodel.h"

// Stands in for the controller in the document tests: same properties, every write recorded as
// "name=value" so tests see what the window wrote, how often and in which order. The frequency
// is limited like the controller's, so write-backs can be checked.
class StandInMeterdeck : public QObject {
    Q_OBJECT
    Q_PROPERTY(double power MEMBER m_power NOTIFY powerUpdated)
    Q_PROPERTY(bool att MEMBER m_att WRITE setAtt NOTIFY attChanged)
    Q_PROPERTY(double freq MEMBER m_freq WRITE setFreq NOTIFY freqChanged)
    Q_PROPERTY(bool needWrite MEMBER m_needWrite WRITE setNeedWrite NOTIFY needWriteChanged)
    Q_PROPERTY(QString fileName MEMBER m_fileName WRITE setFileName NOTIFY fileNameChanged)
    Q_PROPERTY(double offset_dB MEMBER m_offset WRITE setOffset_dB NOTIFY offset_dBChanged)
    Q_PROPERTY(bool offsetEn MEMBER m_offsetEn WRITE setOffsetEn NOTIFY offsetEnChanged)
    Q_PROPERTY(int unit MEMBER m_unit WRITE setUnit NOTIFY unitChanged)
    Q_PROPERTY(QString unitStr MEMBER m_unitStr WRITE setUnitStr NOTIFY unitStrChanged)
    Q_PROPERTY(bool averEn MEMBER m_averEn WRITE setAverEn NOTIFY averEnChanged)
    Q_PROPERTY(int aver MEMBER m_aver WRITE setAver NOTIFY averChanged)
    Q_PROPERTY(bool isStart MEMBER m_isStart WRITE setIsStart NOTIFY isStartChanged)
    Q_PROPERTY(int error MEMBER m_error WRITE setError NOTIFY errorChanged)
    Q_PROPERTY(
        int selectedDevice MEMBER m_selected WRITE setSelectedDevice NOTIFY selectedDeviceChanged)
    Q_PROPERTY(bool reconnecting MEMBER m_reconnecting NOTIFY reconnectingChanged)
    Q_PROPERTY(QStringList writes MEMBER m_writes NOTIFY writesChanged)

public:
    void setAtt(bool v) {
        m_att = v;
        note("att", v);
        emit attChanged();
    }
    void setFreq(double v) {
        note("freq", v);
        m_freq = std::isnan(v) ? v : std::clamp(v, 300.0, 3200000.0);
        emit freqChanged();
    }
    void setNeedWrite(bool v) {
        m_needWrite = v;
        note("needWrite", v);
        emit needWriteChanged();
    }
    void setFileName(QString v) {
        m_fileName = v;
        note("fileName", v);
        emit fileNameChanged();
    }
    void setOffset_dB(double v) {
        m_offset = v;
        note("offset_dB", v);
        emit offset_dBChanged();
    }
    void setOffsetEn(bool v) {
        m_offsetEn = v;
        note("offsetEn", v);
        emit offsetEnChanged();
    }
    void setUnit(int v) {
        m_unit = v;
        note("unit", v);
        emit unitChanged();
    }
    void setUnitStr(const QString& v) {
        m_unitStr = v;
        note("unitStr", v);
        emit unitStrChanged();
    }
    void setAverEn(bool v) {
        m_averEn = v;
        note("averEn", v);
        emit averEnChanged();
    }
    void setAver(int v) {
        m_aver = v;
        note("aver", v);
        emit averChanged();
    }
    void setIsStart(bool v) {
        m_isStart = v;
        note("isStart", v);
        emit isStartChanged();
    }
    // Like the controller: every non-zero write counts one more error.
    void setError(int v) {
        note("error", v);
        if (v == 0)
            return;
        ++m_error;
        emit errorChanged();
    }

    void setSelectedDevice(int v) {
        m_selected = v;
        note("selectedDevice", v);
        emit selectedDeviceChanged();
    }

    Q_INVOKABLE void updateFileName(bool needLog = true) { note("updateFileName", needLog); }

    // Test controls, not part of the controller.
    Q_INVOKABLE void showPower(double v) {
        m_power = v;
        emit powerUpdated();
    }
    Q_INVOKABLE void clearWrites() {
        m_writes.clear();
        emit writesChanged();
    }
    Q_INVOKABLE int count(const QString& entry) const { return int(m_writes.count(entry)); }
    Q_INVOKABLE void reset() {
        m_power = qQNaN();
        m_att = m_needWrite = m_offsetEn = m_averEn = m_isStart = false;
        m_freq = 300.0;
        m_fileName.clear();
        m_offset = 0.0;
        m_unit = m_error = m_selected = 0;
        m_reconnecting = false;
        m_unitStr = QStringLiteral("дБм");
        m_aver = 2;
        for (int i = metaObject()->propertyOffset(); i < metaObject()->propertyCount(); ++i)
            metaObject()->property(i).notifySignal().invoke(this);
        clearWrites();
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
    void writesChanged();
    void alert(const QString& text);

private:
    template <typename T>
    void note(const char* name, const T& v) {
        m_writes.append(QStringLiteral("%1=%2").arg(QLatin1String(name)).arg(toText(v)));
        emit writesChanged();
    }
    static QString toText(bool v) { return v ? QStringLiteral("1") : QStringLiteral("0"); }
    static QString toText(int v) { return QString::number(v); }
    static QString toText(double v) { return QString::number(v, 'g', 10); }
    static QString toText(const QString& v) { return v; }

    double m_power = qQNaN();
    bool m_att = false;
    double m_freq = 300.0;
    bool m_needWrite = false;
    QString m_fileName;
    double m_offset = 0.0;
    bool m_offsetEn = false;
    int m_unit = 0;
    QString m_unitStr = QStringLiteral("дБм");
    bool m_averEn = false;
    int m_aver = 2;
    bool m_isStart = false;
    int m_error = 0;
    int m_selected = 0;
    bool m_reconnecting = false;
    QStringList m_writes;
};

// What the document tests need to drive the models the window shows.
class TestRig : public QObject {
    Q_OBJECT
public:
    TestRig(DeviceModel* devices, LogsModel* logs) : m_devices(devices), m_logs(logs) {}

    Q_INVOKABLE void setDevices(const QStringList& infos) {
        QList<DeviceItem> items;
        for (const QString& info : infos)
            items.append(DeviceItem(info));
        m_devices->setDevList(items);
    }
    Q_INVOKABLE void addLog(const QString& line) { m_logs->addLog(line); }
    Q_INVOKABLE void addLogs(int n) {
        for (int i = 0; i < n; ++i)
            m_logs->addLog(QStringLiteral("line %1").arg(i));
    }
    PowerDataModel* power = nullptr;
    Q_INVOKABLE void clearPower() { power->clear(); }
    // A recording big enough to be read in the background (about 3 MB), as a file URL.
    Q_INVOKABLE QString bigRecording() {
        const QString path = m_dir.filePath(QStringLiteral("big.csv"));
        QFile f(path);
        if (!f.exists() && f.open(QIODevice::WriteOnly)) {
            QByteArray all;
            for (int i = 0; i < 60000; ++i)
                all += QStringLiteral("01.05.2026 %1::%2::%3;3000;кГц;-%4;дБм\n")
                           .arg(10 + i / 3600)
                           .arg(i / 60 % 60, 2, 10, QLatin1Char('0'))
                           .arg(i % 60, 2, 10, QLatin1Char('0'))
                           .arg(i % 50)
                           .toUtf8();
            f.write(all);
        }
        return QUrl::fromLocalFile(path).toString();
    }

private:
    DeviceModel* m_devices;
    LogsModel* m_logs;
    QTemporaryDir m_dir;
};
