#include "chartfeeder.h"

#include <QAbstractAxis>
#include <QDateTime>
#include <QXYSeries>
#include <algorithm>
#include <cmath>
#include <limits>

#include "chart/chartpass.h"
#include "powerdatamodel.h"
#include "statistics.h"

namespace {
int decimalsFor(double v) {
    const int digits = v == 0 || !std::isfinite(v) ? 0 : int(std::floor(std::log10(std::abs(v))));
    return std::clamp(3 - digits, 0, 6);
}
}  // namespace

ChartFeeder::ChartFeeder(QObject* parent) : QObject(parent) {}

void ChartFeeder::setModel(QAbstractItemModel* model) {
    if (model == m_reader.model())
        return;
    if (m_reader.model())
        disconnect(m_reader.model(), nullptr, this, nullptr);
    m_reader.setModel(model);
    if (auto* m = m_reader.model()) {
        // Resets are the model's only bulk notification; the finer ones are rare and cheap to
        // answer the same way.
        connect(m, &QAbstractItemModel::modelReset, this, &ChartFeeder::onModelChanged);
        connect(m, &QAbstractItemModel::rowsInserted, this, &ChartFeeder::onModelChanged);
        connect(m, &QAbstractItemModel::rowsRemoved, this, &ChartFeeder::onModelChanged);
        connect(m, &QAbstractItemModel::rowsMoved, this, &ChartFeeder::onModelChanged);
        connect(m, &QAbstractItemModel::layoutChanged, this, &ChartFeeder::onModelChanged);
        connect(m, &QAbstractItemModel::dataChanged, this, &ChartFeeder::onModelChanged);
        // A paused view copies the points only once the model is about to change, so a paused
        // recording that stays as it is costs nothing.
        const auto hold = [this] {
            if (m_view.paused() && !m_reader.held())
                m_reader.hold();
        };
        connect(m, &QAbstractItemModel::modelAboutToBeReset, this, hold);
        connect(m, &QAbstractItemModel::rowsAboutToBeInserted, this, hold);
        connect(m, &QAbstractItemModel::rowsAboutToBeRemoved, this, hold);
        connect(m, &QAbstractItemModel::rowsAboutToBeMoved, this, hold);
        connect(m, &QAbstractItemModel::layoutAboutToBeChanged, this, hold);
        if (auto* power = qobject_cast<PowerDataModel*>(m))
            connect(power, &PowerDataModel::unitFamilyChanged, this, &ChartFeeder::onModelChanged);
    }
    emit modelChanged();
    // Later in the pass: a chart made while the model is long (the picture's copy) gets its
    // columns and source first, instead of a pass over the model for each of them.
    scheduleRefresh();
}

QObject* ChartFeeder::series() const {
    return m_series.data();
}

void ChartFeeder::setSeries(QObject* series) {
    auto* xy = qobject_cast<QXYSeries*>(series);
    if (xy == m_series)
        return;
    m_series = xy;
    emit seriesChanged();
    scheduleRefresh();
}

QObject* ChartFeeder::axisX() const {
    return m_axes.x();
}
QObject* ChartFeeder::axisY() const {
    return m_axes.y();
}

void ChartFeeder::setAxisX(QObject* axis) {
    m_axes.setX(qobject_cast<QAbstractAxis*>(axis));
    emit axesChanged();
    scheduleRefresh();
}

void ChartFeeder::setAxisY(QObject* axis) {
    m_axes.setY(qobject_cast<QAbstractAxis*>(axis));
    emit axesChanged();
    scheduleRefresh();
}

void ChartFeeder::setBound(QVariant& bound, const QVariant& v) {
    bound = v;
    emit rangeChanged();
    scheduleRefresh();
}

void ChartFeeder::setXColumn(int column) {
    setColumn(column, m_reader.xColumn(), &SeriesReader::setXColumn, &ChartFeeder::xColumnChanged);
}

void ChartFeeder::setYColumn(int column) {
    setColumn(column, m_reader.yColumn(), &SeriesReader::setYColumn, &ChartFeeder::yColumnChanged);
}

void ChartFeeder::setColumn(int column, int current, void (SeriesReader::*set)(int),
                            void (ChartFeeder::*changed)()) {
    if (column == current)
        return;
    (m_reader.*set)(column);
    emit(this->*changed)();
    scheduleRefresh();
}

void ChartFeeder::setPixelColumns(int columns) {
    if (columns == m_pixelColumns)
        return;
    m_pixelColumns = columns;
    emit pixelColumnsChanged();
    // The time labels fit the width, and a long series its thinning. Later in the pass, with
    // whatever else changed: new value labels change the plot's width.
    scheduleRefresh();
}

// ---- view ----

void ChartFeeder::onModelChanged() {
    // Held still: the points drawn are those of the pause.
    if (m_view.paused())
        return;
    scheduleRefresh();
}

void ChartFeeder::setPaused(bool paused) {
    if (!m_view.setPaused(paused))
        return;
    if (!paused) {
        m_reader.release();
        viewUpdated();
    }
    emit pausedChanged();
}

void ChartFeeder::setSource(ChartFeeder* source) {
    for (ChartFeeder* s = source; s; s = s->m_source)
        if (s == this)
            return;  // a loop would never end
    if (source == m_source)
        return;
    if (m_source)
        disconnect(m_source, nullptr, this, nullptr);
    m_source = source;
    if (m_source) {
        connect(m_source, &ChartFeeder::refreshed, this, &ChartFeeder::scheduleRefresh);
        connect(m_source, &ChartFeeder::viewChanged, this, &ChartFeeder::viewChanged);
    }
    emit sourceChanged();
    viewUpdated();
}

void ChartFeeder::viewUpdated() {
    emit viewChanged();
    scheduleRefresh();
}

QPointF ChartFeeder::valueAt(double fx, double fy) const {
    return m_view.valueAt(fx, fy);
}

void ChartFeeder::zoom(double factor, double x) {
    if (m_view.zoom(factor, x))
        viewUpdated();
}

void ChartFeeder::zoomTo(double x0, double x1, double y0, double y1) {
    if (m_view.zoomTo(x0, x1, y0, y1))
        viewUpdated();
}

void ChartFeeder::pan(double dx, double dy) {
    if (m_view.pan(dx, dy))
        viewUpdated();
}

void ChartFeeder::resetView() {
    m_view.reset();
    viewUpdated();
}

bool ChartFeeder::setFixedRange(double min, double max) {
    if (!m_view.setFixedRange(min, max))
        return false;
    viewUpdated();
    return true;
}

void ChartFeeder::setAutoRange() {
    m_view.setAutoRange();
    viewUpdated();
}

QString ChartFeeder::numberText(double value) {
    if (!std::isfinite(value))
        return {};
    // Trailing zeros say nothing in a field the operator edits.
    QString text = QString::number(value, 'f', decimalsFor(value));
    if (text.contains(QLatin1Char('.'))) {
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(QLatin1Char('.')))
            text.chop(1);
    }
    return text;
}

void ChartFeeder::scheduleRefresh() {
    if (m_pending)
        return;
    m_pending = true;
    QMetaObject::invokeMethod(this, &ChartFeeder::refresh, Qt::QueuedConnection);
}

void ChartFeeder::refresh() {
    m_pending = false;
    ChartPass pass = ChartPass::run(reader(), view().window(), m_pixelColumns);
    m_yUnit = pass.unit ? PowerUnits::text(*pass.unit) : QString();
    ChartView::Shown shown = m_view.shown();
    const AxisPlanner::Extent bound{
        SeriesReader::toAxisValue(m_xMin), SeriesReader::toAxisValue(m_xMax),
        SeriesReader::toAxisValue(m_yMin), SeriesReader::toAxisValue(m_yMax)};
    const AxisPlanner::Plan axes =
        m_axes.planner(m_pixelColumns)
            .plan(pass.bounds, view(), bound, {shown.xMin, shown.xMax, shown.yMin, shown.yMax},
                  double(QDateTime::currentMSecsSinceEpoch()));
    m_pointCount = int(pass.points.size());
    const bool any = pass.dataMin <= pass.dataMax;
    shown.dataMin = any ? pass.dataMin : ChartView::kNaN;
    shown.dataMax = any ? pass.dataMax : ChartView::kNaN;
    shown.xMin = axes.xMin;
    shown.xMax = axes.xMax;
    if (axes.y.step > 0) {
        shown.yMin = axes.y.min;
        shown.yMax = axes.y.max;
    }
    m_view.setShown(shown);
    m_statsCount = int(pass.stats.count());
    m_statsText = pass.stats.text(pass.unit ? pass.unit->family : PowerUnits::Family::Dbm);
    // A range change lays the whole curve out again, and so does replace(). Emptied first, the
    // series is laid out once, with its new points (a live reading moves the time axis each time).
    if (m_series && m_series->count() > 0 && m_axes.moves(axes))
        m_series->clear();
    m_axes.apply(axes);
    m_points = std::move(pass.points);
    if (m_series)
        m_series->replace(m_points);
    emit refreshed();
}
