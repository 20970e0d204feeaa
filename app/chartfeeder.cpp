#include "chartfeeder.h"

#include <QDateTime>
#include <QAbstractAxis>
#include <QXYSeries>
#include <algorithm>
#include <cmath>

#include "powerdatamodel.h"

ChartFeeder::ChartFeeder(QObject* parent) : QObject(parent) {}

void ChartFeeder::setModel(QAbstractItemModel* model) {
    if (model == m_model) return;
    if (m_model) disconnect(m_model, nullptr, this, nullptr);
    m_model = model;
    if (m_model) {
        // Resets are the model's only bulk notification; the finer ones are rare and cheap to
        // answer the same way.
        connect(m_model, &QAbstractItemModel::modelReset, this, &ChartFeeder::scheduleRefresh);
        connect(m_model, &QAbstractItemModel::rowsInserted, this, &ChartFeeder::scheduleRefresh);
        connect(m_model, &QAbstractItemModel::rowsRemoved, this, &ChartFeeder::scheduleRefresh);
        connect(m_model, &QAbstractItemModel::rowsMoved, this, &ChartFeeder::scheduleRefresh);
        connect(m_model, &QAbstractItemModel::layoutChanged, this, &ChartFeeder::scheduleRefresh);
        connect(m_model, &QAbstractItemModel::dataChanged, this, &ChartFeeder::scheduleRefresh);
    }
    emit modelChanged();
    refresh();
}

QObject* ChartFeeder::series() const { return m_series.data(); }

void ChartFeeder::setSeries(QObject* series) {
    auto* xy = qobject_cast<QXYSeries*>(series);
    if (xy == m_series) return;
    m_series = xy;
    emit seriesChanged();
    refresh();
}

QObject* ChartFeeder::axisX() const { return m_axisX.data(); }
QObject* ChartFeeder::axisY() const { return m_axisY.data(); }

void ChartFeeder::setAxisX(QObject* axis) {
    m_axisX = qobject_cast<QAbstractAxis*>(axis);
    emit axesChanged();
    scheduleRefresh();
}

void ChartFeeder::setAxisY(QObject* axis) {
    m_axisY = qobject_cast<QAbstractAxis*>(axis);
    emit axesChanged();
    scheduleRefresh();
}

void ChartFeeder::setBound(QVariant& bound, const QVariant& v) {
    bound = v;
    emit rangeChanged();
    scheduleRefresh();
}

// A bound that is no date or number (an empty series' null time, a NaN) leaves the range as is.
static bool usable(const QVariant& v) {
    if (v.metaType().id() == QMetaType::QDateTime) return v.toDateTime().isValid();
    bool ok = false;
    const double d = v.toDouble(&ok);
    return ok && std::isfinite(d);
}

// Whether applying the bounds would change an axis range.
static bool moves(const QAbstractAxis* axis, const QVariant& min, const QVariant& max) {
    return axis && usable(min) && usable(max)
           && (axis->property("min") != min || axis->property("max") != max);
}

bool ChartFeeder::rangesMove() const {
    return moves(m_axisX, m_xMin, m_xMax) || moves(m_axisY, m_yMin, m_yMax);
}

void ChartFeeder::applyRanges() {
    if (m_axisX && usable(m_xMin) && usable(m_xMax)) m_axisX->setRange(m_xMin, m_xMax);
    if (m_axisY && usable(m_yMin) && usable(m_yMax)) m_axisY->setRange(m_yMin, m_yMax);
}

void ChartFeeder::setXColumn(int column) {
    if (column == m_xColumn) return;
    m_xColumn = column;
    emit xColumnChanged();
    refresh();
}

void ChartFeeder::setYColumn(int column) {
    if (column == m_yColumn) return;
    m_yColumn = column;
    emit yColumnChanged();
    refresh();
}

void ChartFeeder::setPixelColumns(int columns) {
    if (columns == m_pixelColumns) return;
    const bool affects = m_model && m_model->rowCount() > 4 * std::min(columns, m_pixelColumns);
    m_pixelColumns = columns;
    emit pixelColumnsChanged();
    if (affects) refresh();
}

static double toAxisValue(const QVariant& v) {
    if (v.metaType().id() == QMetaType::QDateTime) {
        const QDateTime t = v.toDateTime();
        return t.isValid() ? double(t.toMSecsSinceEpoch()) : std::nan("");
    }
    bool ok = false;
    const double d = v.toDouble(&ok);
    return ok ? d : std::nan("");
}

QList<QPointF> ChartFeeder::collect() const {
    QList<QPointF> points;
    if (!m_model) return points;
    const auto keep = [&points](double x, double y) {
        if (std::isfinite(x) && std::isfinite(y)) points.append(QPointF(x, y));
    };
    // The power model hands its records over directly: no variant per cell.
    if (auto* power = qobject_cast<PowerDataModel*>(m_model.data());
        power && m_xColumn == power->eTime() && m_yColumn == power->edBm()) {
        const auto& series = power->series();
        points.reserve(qsizetype(series.size()));
        for (const PowerData& r : series) {
            const QDateTime& t = r.time();
            keep(t.isValid() ? double(t.toMSecsSinceEpoch()) : std::nan(""), r.power());
        }
        return points;
    }
    const int rows = m_model->rowCount();
    points.reserve(rows);
    for (int row = 0; row < rows; ++row)
        keep(toAxisValue(m_model->data(m_model->index(row, m_xColumn))),
             toAxisValue(m_model->data(m_model->index(row, m_yColumn))));
    return points;
}

QList<QPointF> ChartFeeder::reduce(const QList<QPointF>& points, int columns) {
    if (columns <= 0 || points.size() <= 4 * qsizetype(columns)) return points;
    double xMin = points.first().x(), xMax = xMin;
    for (const QPointF& p : points) {
        xMin = std::min(xMin, p.x());
        xMax = std::max(xMax, p.x());
    }
    const double span = xMax - xMin;
    // All points at one x fall into a single column.
    const auto columnOf = [&](double x) {
        if (!(span > 0)) return 0;
        return std::min(columns - 1, int(std::floor((x - xMin) / span * columns)));
    };

    QList<QPointF> out;
    out.reserve(4 * qsizetype(columns) + 4);
    qsizetype first = 0;
    while (first < points.size()) {
        const int col = columnOf(points[first].x());
        qsizetype lo = first, hi = first, last = first;
        qsizetype i = first + 1;
        for (; i < points.size() && columnOf(points[i].x()) == col; ++i) {
            if (points[i].y() < points[lo].y()) lo = i;
            if (points[i].y() > points[hi].y()) hi = i;
            last = i;
        }
        qsizetype keep[4] = {first, lo, hi, last};
        std::sort(std::begin(keep), std::end(keep));
        for (int k = 0; k < 4; ++k)
            if (k == 0 || keep[k] != keep[k - 1]) out.append(points[keep[k]]);
        first = i;
    }
    return out;
}

void ChartFeeder::scheduleRefresh() {
    if (m_pending) return;
    m_pending = true;
    QMetaObject::invokeMethod(this, &ChartFeeder::refresh, Qt::QueuedConnection);
}

void ChartFeeder::refresh() {
    m_pending = false;
    const QList<QPointF> points = reduce(collect(), m_pixelColumns);
    m_pointCount = int(points.size());
    // A range change lays the whole curve out again, and so does replace(). Emptied first, the
    // series is laid out once, with its new points (a live reading moves the time axis each time).
    if (m_series && m_series->count() > 0 && rangesMove()) m_series->clear();
    applyRanges();
    if (m_series) m_series->replace(points);
    emit refreshed();
}
