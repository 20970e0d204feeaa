#pragma once

#include <QAbstractTableModel>
#include <QDateTime>
#include <deque>

#include "powerdata.h"
#include "seriessummary.h"

// The running series of readings, oldest first; feeds the main chart.
class PowerDataModel : public QAbstractTableModel {
    Q_OBJECT
    Q_PROPERTY(int eTime READ eTime CONSTANT)
    Q_PROPERTY(int eFreq READ eFreq CONSTANT)
    Q_PROPERTY(int eFreqUnit READ eFreqUnit CONSTANT)
    Q_PROPERTY(int edBm READ edBm CONSTANT)
    Q_PROPERTY(int edBmUnit READ edBmUnit CONSTANT)
    Q_PROPERTY(QDateTime timeMin READ timeMin NOTIFY timeMinChanged)
    Q_PROPERTY(QDateTime timeMax READ timeMax NOTIFY timeMaxChanged)
    Q_PROPERTY(double powerMin READ powerMin NOTIFY powerMinChanged)
    Q_PROPERTY(double powerMax READ powerMax NOTIFY powerMaxChanged)

public:
    enum Column { ColTime = 0, ColFreq = 1, ColFreqUnit = 2, ColPower = 3, ColPowerUnit = 4 };

    PowerDataModel();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    void append(const PowerData& record);
    void clear();
    void replaceAll(std::deque<PowerData> series);
    // The same with the power bounds already known: a loader computes them in its own thread, so
    // the GUI thread does not walk millions of records once more.
    void replaceAll(std::deque<PowerData> series, double powerMin, double powerMax,
                    std::shared_ptr<const SeriesSummary> summary = nullptr);
    // The bounds replaceAll() takes: lowest and highest finite power.
    static std::pair<double, double> powerRange(const std::deque<PowerData>& series);

    // Read access for views that take the whole series at once (the chart feeder).
    const std::deque<PowerData>& series() const { return m_series; }
    // The summary of an opened recording, built with it; null for anything else (any change of
    // the series drops it).
    const SeriesSummary* summary() const { return m_summary.get(); }
    std::size_t capacity() const { return m_capacity; }
    // The series is an opened recording (replaceAll), not live readings, until clear().
    bool holdsFile() const { return m_holdsFile; }
    // The unit family (PowerUnits::Family) a view shows the records in; -1 while that of the
    // newest record. A recording stays when the display unit changes and is shown in the new one.
    int unitFamily() const { return m_unitFamily; }
    void setUnitFamily(int family);

    int eTime() const { return ColTime; }
    int eFreq() const { return ColFreq; }
    int eFreqUnit() const { return ColFreqUnit; }
    int edBm() const { return ColPower; }
    int edBmUnit() const { return ColPowerUnit; }

    QDateTime timeMin() const;
    QDateTime timeMax() const;
    double powerMin() const { return m_powerMin; }
    double powerMax() const { return m_powerMax; }

signals:
    void timeMinChanged();
    void timeMaxChanged();
    void powerMinChanged();
    void powerMaxChanged();
    void unitFamilyChanged();

private:
    void emitBounds();

    std::deque<PowerData> m_series;
    std::shared_ptr<const SeriesSummary> m_summary;
    double m_powerMin = -150.0;
    double m_powerMax = -100.0;
    bool m_rangeFromSeries = false;  // the bounds come from a value of the present series
    bool m_holdsFile = false;
    int m_unitFamily = -1;
    const std::size_t m_capacity;
};
