#pragma once

#include <QAbstractItemModel>
#include <QList>
#include <QPointF>
#include <QPointer>
#include <QVariant>
#include <cmath>
#include <optional>
#include <vector>

#include "powerdatamodel.h"
#include "powerunits.h"
#include "recordunits.h"

// Reads the drawable points of two columns of a table model. Power records are read in one unit
// (the family the model asks for, else that of the newest record; the prefix that keeps the
// largest value below 1000) whatever prefix or unit each was stored with; a value of no known
// unit, or without a time, is left out. A held copy stands in for the model while it changes
// under a paused chart.
class SeriesReader {
public:
    QAbstractItemModel* model() const { return m_model.data(); }
    void setModel(QAbstractItemModel* model) { m_model = model; }
    int xColumn() const { return m_xColumn; }
    void setXColumn(int column) { m_xColumn = column; }
    int yColumn() const { return m_yColumn; }
    void setYColumn(int column) { m_yColumn = column; }

    // Hands every drawable point, in model order (or the held copy of them), to keep(x, y,
    // counted): power records in one unit, given in `unit` before the first point (none for a
    // model without units or nothing to draw); `counted` is false for a reading shown again.
    // x is in ms since the epoch for date-times; rows whose x or y is not finite are left out.
    template <class Keep>
    void visit(Keep&& keep, std::optional<PowerUnits::Unit>& unit) const;
    // All of them at once, their unit's text in `unit`.
    QList<QPointF> collect(QString* unit = nullptr) const;

    // The power model's records and their summary, where the columns are its time and power, a
    // summary was built and nothing is held; else null.
    const PowerDataModel* summarised() const;
    // The unit the power model's records are drawn in; none for nothing to draw.
    static std::optional<PowerUnits::Unit> displayUnit(const PowerDataModel& power);

    // Copies the points as they are now; they are read instead of the model until released.
    void hold();
    void release();
    bool held() const { return m_held; }

    // A date as ms since the epoch, or a number; NaN for anything else (an empty model's null
    // time).
    static double toAxisValue(const QVariant& v);

private:
    // The power model, read by its records, if the columns are its time and power.
    const PowerDataModel* powerRecords() const;

    QPointer<QAbstractItemModel> m_model;
    int m_xColumn = 0;
    int m_yColumn = 1;
    bool m_held = false;
    QList<QPointF> m_heldPoints;
    std::vector<bool> m_heldCounted;
    std::optional<PowerUnits::Unit> m_heldUnit;
};

template <class Keep>
void SeriesReader::visit(Keep&& keep, std::optional<PowerUnits::Unit>& unit) const {
    unit.reset();
    if (m_held) {
        unit = m_heldUnit;
        for (qsizetype i = 0; i < m_heldPoints.size(); ++i)
            keep(m_heldPoints[i].x(), m_heldPoints[i].y(), bool(m_heldCounted[size_t(i)]));
        return;
    }
    if (!m_model)
        return;
    const auto keepFinite = [&keep](double x, double y, bool counted) {
        if (std::isfinite(x) && std::isfinite(y))
            keep(x, y, counted);
    };
    // The power model hands its records over directly: no variant per cell.
    if (const PowerDataModel* power = powerRecords()) {
        unit = displayUnit(*power);
        if (!unit)
            return;
        RecordUnits units;
        for (const PowerData& r : power->series()) {
            const auto from = units.of(r);
            if (!r.hasTime() || !from)
                continue;
            const double y = *from == *unit ? r.power() : convert(r.power(), *from, *unit);
            keepFinite(double(r.msecsSinceEpoch()), y, !r.repeat());
        }
        return;
    }
    const int rows = m_model->rowCount();
    for (int row = 0; row < rows; ++row)
        keepFinite(toAxisValue(m_model->data(m_model->index(row, m_xColumn))),
                   toAxisValue(m_model->data(m_model->index(row, m_yColumn))), true);
}
