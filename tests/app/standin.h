#pragma once

#include <QDateTime>
#include <QObject>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <limits>

#include "devicemodel.h"
#include "logsmodel.h"
#include "powerdatamodel.h"

// Stands in for the controller in the document tests: same properties, and every write is
// recorded as "name=value" so that tests can see what the window wrote, how often and in which
// order. The frequency is limited like the controller's, so write-backs can be checked.
class StandInMeterdeck : public QObject {
    Q_OBJECT
    Q_PROPERTY(double power READ power NOTIFY powerUpdated)
    Q_PROPERTY(bool att READ att WRITE setAtt NOTIFY attChanged)
    Q_PROPERTY(double freq READ freq WRITE setFreq NOTIFY freqChanged)
    Q_PROPERTY(bool needWrite READ needWrite WRITE setNeedWrite NOTIFY needWriteChanged)
    Q_PROPERTY(QString fileName READ fileName WRITE setFileName NOTIFY fileNameChanged)
    Q_PROPERTY(double offset_dB READ offset_dB WRITE setOffset_dB NOTIFY offset_dBChanged)
    Q_PROPERTY(bool offsetEn READ offsetEn WRITE setOffsetEn NOTIFY offsetEnChanged)
    Q_PROPERTY(int unit READ unit WRITE setUnit NOTIFY unitChanged)
    Q_PROPERTY(QString unitStr READ unitStr WRITE setUnitStr NOTIFY unitStrChanged)
    Q_PROPERTY(bool averEn READ averEn WRITE setAverEn NOTIFY averEnChanged)
    Q_PROPERTY(int aver READ aver WRITE setAver NOTIFY averChanged)
    Q_PROPERTY(bool isStart READ isStart WRITE setIsStart NOTIFY isStartChanged)
    Q_PROPERTY(int error READ error WRITE setError NOTIFY errorChanged)
    Q_PROPERTY(QStringList writes READ writes NOTIFY writesChanged)

public:
    double power() const { return m_power; }
    bool att() const { return m_att; }
    double freq() const { return m_freq; }
    bool needWrite() const { return m_needWrite; }
    QString fileName() const { return m_fileName; }
    double offset_dB() const { return m_offset; }
    bool offsetEn() const { return m_offsetEn; }
    int unit() const { return m_unit; }
    QString unitStr() const { return m_unitStr; }
    bool averEn() const { return m_averEn; }
    int aver() const { return m_aver; }
    bool isStart() const { return m_isStart; }
    int error() const { return m_error; }
    QStringList writes() const { return m_writes; }

    void setAtt(bool v) { m_att = v; note("att", v); emit attChanged(); }
    void setFreq(double v) {
        note("freq", v);
        m_freq = std::isnan(v) ? v : std::clamp(v, 300.0, 3200000.0);
        emit freqChanged();
    }
    void setNeedWrite(bool v) { m_needWrite = v; note("needWrite", v); emit needWriteChanged(); }
    void setFileName(const QString& v) { m_fileName = v; note("fileName", v); emit fileNameChanged(); }
    void setOffset_dB(double v) { m_offset = v; note("offset_dB", v); emit offset_dBChanged(); }
    void setOffsetEn(bool v) { m_offsetEn = v; note("offsetEn", v); emit offsetEnChanged(); }
    void setUnit(int v) { m_unit = v; note("unit", v); emit unitChanged(); }
    void setUnitStr(const QString& v) { m_unitStr = v; note("unitStr", v); emit unitStrChanged(); }
    void setAverEn(bool v) { m_averEn = v; note("averEn", v); emit averEnChanged(); }
    void setAver(int v) { m_aver = v; note("aver", v); emit averChanged(); }
    void setIsStart(bool v) { m_isStart = v; note("isStart", v); emit isStartChanged(); }
    void setError(int v) {
        note("error", v);
        if (v == 0) return;
        ++m_error;
        emit errorChanged();
    }

    Q_INVOKABLE void updateFileName(bool needLog = true) { note("updateFileName", needLog); }

    // Test controls, not part of the controller.
    Q_INVOKABLE void showPower(double v) { m_power = v; emit powerUpdated(); }
    Q_INVOKABLE void clearWrites() { m_writes.clear(); emit writesChanged(); }
    Q_INVOKABLE int count(const QString& entry) const { return int(m_writes.count(entry)); }
    Q_INVOKABLE void reset() {
        m_power = std::numeric_limits<double>::quiet_NaN();
        m_att = m_needWrite = m_offsetEn = m_averEn = m_isStart = false;
        m_freq = 300.0;
        m_fileName.clear();
        m_offset = 0.0;
        m_unit = 0;
        m_unitStr = QStringLiteral("дБм");
        m_aver = 2;
        m_error = 0;
        emit powerUpdated(); emit attChanged(); emit freqChanged(); emit needWriteChanged();
        emit fileNameChanged(); emit offset_dBChanged(); emit offsetEnChanged(); emit unitChanged();
        emit unitStrChanged(); emit averEnChanged(); emit averChanged(); emit isStartChanged();
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
    void writesChanged();

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

    double m_power = std::numeric_limits<double>::quiet_NaN();
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
    QStringList m_writes;
};

// What the document tests need to drive the models the window shows.
class TestRig : public QObject {
    Q_OBJECT
public:
    TestRig(DeviceModel* devices, LogsModel* logs, PowerDataModel* power)
        : m_devices(devices), m_logs(logs), m_power(power) {}

    Q_INVOKABLE void setDevices(const QStringList& infos) {
        QList<DeviceItem> items;
        for (const QString& info : infos) items.append(DeviceItem(info));
        m_devices->setDevList(items);
    }
    Q_INVOKABLE void addLog(const QString& line) { m_logs->addLog(line); }
    Q_INVOKABLE void addLogs(int n) {
        for (int i = 0; i < n; ++i) m_logs->addLog(QStringLiteral("line %1").arg(i));
    }
    // A reading `secondsAgo` before now.
    Q_INVOKABLE void appendPower(double value, int secondsAgo) {
        m_power->append(PowerData(QDateTime::currentDateTime().addSecs(-secondsAgo), value,
                                  QStringLiteral("дБм"), 3000.0, QStringLiteral("кГц")));
    }
    Q_INVOKABLE void clearPower() { m_power->clear(); }

private:
    DeviceModel* m_devices;
    LogsModel* m_logs;
    PowerDataModel* m_power;
};
