#pragma once

#include <QAbstractListModel>
#include <QStringList>
#include <QTimer>
#include <QVariantMap>
#include <functional>
#include <memory>
#include <vector>

#include "differencereadout.h"
#include "furthermeter.h"
#include "logsink.h"

// The meters added to the measurement beside the main one, as the read-out row and the chart's
// traces show them: one row each, in the order added, each with its own colour, and the one of
// them taken as B of A−B (DifferenceReadout).
class FurtherMeters : public QAbstractListModel {
    Q_OBJECT
    // Identifications of the added meters, for the device list's marks.
    Q_PROPERTY(QStringList identifications READ identifications NOTIFY membersChanged FINAL)
    Q_PROPERTY(int count READ count NOTIFY membersChanged FINAL)
    // Row of the meter taken as B; -1 with none added.
    Q_PROPERTY(int partner READ partner WRITE setPartner NOTIFY differenceChanged FINAL)
    // A−B of the last same-cycle pair: "−15.02" (dB) or the power ratio in a watt read-out; "—"
    // for none. The label says which.
    Q_PROPERTY(QString differenceText READ differenceText NOTIFY differenceChanged FINAL)
    Q_PROPERTY(QString differenceLabel READ differenceLabel NOTIFY differenceChanged FINAL)
    // Statistics of the A−B values since B was chosen (or the statistics were reset), in dB.
    Q_PROPERTY(QString differenceStats READ differenceStats NOTIFY differenceChanged FINAL)

public:
    enum Roles {
        NameRole = Qt::UserRole + 1,  // "SN 0002": the legend's text
        SerialRole,
        TraceColorRole,
        SeriesRole,     // its PowerDataModel
        ValueRole,      // the reading in the display unit, "—" for none
        UnitRole,       // its unit text with prefix
        StateRole,      // 0 reading, 1 silent, 2 awaited
        StateTextRole,  // "показания", "молчит", "нет связи"
        FreqRole,
        AttRole,
        OffsetRole,
        OffsetEnRole,
        AverEnRole,
        AverRole,
        StatsRole,  // its statistics line
        PartnerRole,
    };

    using DeviceMaker = std::function<std::unique_ptr<QObject>()>;
    using Locator = std::function<QString(QString)>;

    // The writer (of every record file of the further meters and A−B) defaults to CSV files.
    FurtherMeters(LogSink log, qint64 pollMs, iWriter* writer = nullptr);
    ~FurtherMeters() override;

    void setDeviceMaker(DeviceMaker maker) { m_maker = std::move(maker); }
    void setLocator(Locator locate) { m_locate = std::move(locate); }
    void setRetryInterval(int ms) { m_retryMs = ms; }
    bool canAdd() const { return bool(m_maker); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

    int count() const { return int(m_meters.size()); }
    QStringList identifications() const;
    FurtherMeter* at(int row) const;
    int partner() const { return m_partner; }
    void setPartner(int row);
    QString differenceText() const { return m_difference.text(); }
    QString differenceLabel() const { return m_difference.label(); }
    double difference_dB() const { return m_difference.dB(); }
    QString differenceStats() const { return m_difference.statistics(); }

    // Adds the meter at this port with the main meter's display settings; false when it could not
    // be opened (it is then not added, unless `awaitIfClosed`: then it is awaited as a lost one
    // is). Logged either way.
    bool add(const QString& identification, const QString& port, double freqKHz, bool att, int unit,
             const QString& recordPath, bool awaitIfClosed = false);
    Q_INVOKABLE void remove(int row);
    void clear();
    // One row's settings for its editor: name, freq, att, offset, offsetEn, averEn, aver, partner.
    Q_INVOKABLE QVariantMap settings(int row) const;

    // Settings of one added meter, from its tile.
    Q_INVOKABLE void setFreq(int row, double freqKHz);
    Q_INVOKABLE void setAtt(int row, bool att);
    Q_INVOKABLE void setOffset(int row, double dB, bool on);
    Q_INVOKABLE void setAveraging(int row, bool on, int step);

    // The main meter's reading (dBm; NaN: none) for A−B, and the frequency it was asked at.
    void mainReading(qint64 ms, double dBm, double freqKHz = 0.0);
    void setUnit(int unit);
    // Record files beside the main one, and the A−B values in one of their own (empty path:
    // recording stops). Returns the first refusal.
    QString setRecording(const QString& mainPath);
    void resetStatistics();
    // Ports and meters being measured, for discovery to leave alone.
    QStringList ports() const;

signals:
    void membersChanged();
    // A meter's frequency or converter changed: the device list keeps them for its identification.
    void settingsKept(const QString& identification, double freqKHz, bool att);
    void differenceChanged();
    void alert(const QString& text);

private:
    void meterChanged(FurtherMeter* meter);
    void partnerReading(FurtherMeter* meter, qint64 ms, double dBm);
    void differenceTaken(bool changed);
    int rowOf(const FurtherMeter* meter) const;

    LogSink m_log;
    DeviceMaker m_maker;
    Locator m_locate;
    iWriter* m_writer = nullptr;
    int m_retryMs = 6000;
    int m_unit = 0;
    std::vector<std::unique_ptr<FurtherMeter>> m_meters;
    std::vector<QString> m_colors;  // per row
    int m_nextColor = 0;
    int m_partner = -1;
    DifferenceReadout m_difference;
    QTimer m_states;  // the rows' states age without readings
    std::vector<int> m_shownStates;
};
