#include "chartfeeder.h"

#include <QAbstractAxis>
#include <QDateTime>
#include <QXYSeries>
#include <algorithm>
#include <cmath>
#include <limits>

#include "chart/tracegroup.h"
#include "powerdatamodel.h"
#include "statistics.h"

namespace {
int decimalsFor(double v) {
    const int digits = v == 0 || !std::isfinite(v) ? 0 : int(std::floor(std::log10(std::abs(v))));
    return std::clamp(3 - digits, 0, 6);
}
}  // namespace

ChartFeeder::ChartFeeder(QObject* parent) : QObject(parent) {}

ChartFeeder::~ChartFeeder() {
    // The leader's ranges no longer take in this trace.
    if (m_leader)
        m_leader->scheduleRefresh();
}

const SeriesReader& ChartFeeder::reader() const {
    if (m_source)
        return m_source->reader();
    if (m_leader && m_leader->m_source)
        for (const auto& twin : m_leader->m_source->m_followers)
            if (twin && twin->m_reader.model() == m_reader.model())
                return twin->reader();
    return m_reader;
}

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
            if (paused() && !m_reader.held())
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

void ChartFeeder::setPixelRows(int rows) {
    if (rows == m_pixelRows)
        return;
    m_pixelRows = rows;
    emit pixelRowsChanged();
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
    m_dataChanged = true;
    // Held still: the points drawn are those of the pause.
    if (paused())
        return;
    scheduleRefresh();
}

void ChartFeeder::setPaused(bool paused) {
    if (m_leader) {
        m_leader->setPaused(paused);
        return;
    }
    if (!m_view.setPaused(paused))
        return;
    if (!paused) {
        for (ChartFeeder* f : std::as_const(m_followers))
            if (f) {
                f->m_reader.release();
                f->m_dataChanged = true;
            }
        m_reader.release();
        m_dataChanged = true;
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
    m_dataChanged = true;
    emit sourceChanged();
    viewUpdated();
}

void ChartFeeder::setLeader(ChartFeeder* leader) {
    while (leader && leader->m_leader)
        leader = leader->m_leader;
    if (leader == m_leader || leader == this || (leader && !m_followers.isEmpty()))
        return;
    if (m_leader) {
        disconnect(m_leader, nullptr, this, nullptr);
        m_leader->m_followers.removeAll(this);
        m_leader->scheduleRefresh();
    }
    m_leader = leader;
    if (m_leader) {
        m_leader->m_followers.append(this);
        connect(m_leader, &ChartFeeder::pausedChanged, this, &ChartFeeder::pausedChanged);
        connect(m_leader, &ChartFeeder::viewChanged, this, &ChartFeeder::viewChanged);
    }
    m_dataChanged = true;
    emit leaderChanged();
    viewUpdated();
}

void ChartFeeder::viewUpdated() {
    emit viewChanged();
    scheduleRefresh();
}

QPointF ChartFeeder::valueAt(double fx, double fy) const {
    return head()->m_view.valueAt(fx, fy);
}

void ChartFeeder::zoom(double factor, double x) {
    if (m_leader)
        return m_leader->zoom(factor, x);
    if (m_view.zoom(factor, x))
        viewUpdated();
}

void ChartFeeder::zoomTo(double x0, double x1, double y0, double y1) {
    if (m_leader)
        return m_leader->zoomTo(x0, x1, y0, y1);
    if (m_view.zoomTo(x0, x1, y0, y1))
        viewUpdated();
}

void ChartFeeder::pan(double dx, double dy) {
    if (m_leader)
        return m_leader->pan(dx, dy);
    if (m_view.pan(dx, dy))
        viewUpdated();
}

void ChartFeeder::resetView() {
    if (m_leader)
        return m_leader->resetView();
    m_view.reset();
    viewUpdated();
}

bool ChartFeeder::setFixedRange(double min, double max) {
    if (m_leader)
        return m_leader->setFixedRange(min, max);
    if (!m_view.setFixedRange(min, max))
        return false;
    viewUpdated();
    return true;
}

void ChartFeeder::setAutoRange() {
    if (m_leader)
        return m_leader->setAutoRange();
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
    if (m_leader)
        return m_leader->scheduleRefresh();
    if (m_pending)
        return;
    m_pending = true;
    // One scheduled before this feeder followed: its leader was scheduled since.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_leader)
                m_pending = false;
            else
                refresh();
        },
        Qt::QueuedConnection);
}

bool ChartFeeder::readPass(const ChartView::Span& window, bool whole, int columns) {
    const Cached& c = m_cache;
    // Another feeder's data (a copy's) changes without telling this one.
    if (c.valid && !m_dataChanged && &reader() == &m_reader && c.columns == columns &&
        c.whole == whole &&
        (whole ||
         (c.window.set == window.set && c.window.min == window.min && c.window.max == window.max)))
        return false;
    m_cache = {ChartPass::run(reader(), window, columns), window, whole, columns, true};
    m_dataChanged = false;
    return true;
}

bool ChartFeeder::spanPass(const ChartView::Span& extent, int columns) {
    const Cached& c = m_cache;
    const double from = c.window.set ? c.window.min : c.pass.bounds.xMin;
    const double to = c.window.set ? c.window.max : c.pass.bounds.xMax;
    // Thinned over its own extent, a trace's columns would not be the leader's.
    if (!c.whole || !c.pass.thinned || !extent.set || (from == extent.min && to == extent.max))
        return false;
    m_cache = {ChartPass::run(reader(), extent, columns), extent, true, columns, true};
    return true;
}

void ChartFeeder::refresh() {
    if (m_leader)
        return m_leader->refresh();
    m_pending = false;
    m_followers.removeAll(nullptr);
    std::vector<ChartFeeder*> traces{this};
    for (ChartFeeder* f : std::as_const(m_followers))
        traces.push_back(f);
    // Every trace in the same window and columns; with no window, thinned over the time range
    // of all of them.
    const ChartView::Span window = view().window();
    std::vector<bool> read;
    std::vector<const ChartPass*> passes;
    for (ChartFeeder* f : traces) {
        read.push_back(f->readPass(window, !window.set, m_pixelColumns));
        passes.push_back(&f->m_cache.pass);
    }
    const ChartView::Span extent = TraceGroup::extent(passes);
    if (!window.set)
        for (size_t i = 0; i < traces.size(); ++i)
            read[i] = traces[i]->spanPass(extent, m_pixelColumns) || read[i];
    const std::optional<PowerUnits::Unit> unit = TraceGroup::sharedUnit(passes);
    std::vector<ChartPass> drawn;
    drawn.reserve(passes.size());
    for (const ChartPass* p : passes)
        drawn.push_back(TraceGroup::inUnit(*p, unit));
    std::vector<const ChartPass*> drawnPasses;
    for (const ChartPass& p : drawn)
        drawnPasses.push_back(&p);
    const AxisPlanner::Bounds bounds = TraceGroup::bounds(drawnPasses);
    ChartPass& pass = drawn.front();

    m_yUnit = unit ? PowerUnits::text(*unit) : QString();
    ChartView::Shown shown = m_view.shown();
    const ChartView::Shown before = shown;
    const AxisPlanner::Extent bound{
        SeriesReader::toAxisValue(m_xMin), SeriesReader::toAxisValue(m_xMax),
        SeriesReader::toAxisValue(m_yMin), SeriesReader::toAxisValue(m_yMax)};
    const AxisPlanner::Plan axes =
        m_axes.planner(m_pixelColumns, m_pixelRows)
            .plan(bounds, view(), bound, {shown.xMin, shown.xMax, shown.yMin, shown.yMax},
                  double(QDateTime::currentMSecsSinceEpoch()));
    m_pointCount = int(pass.points.size());
    shown.dataMin = extent.set ? extent.min : ChartView::kNaN;
    shown.dataMax = extent.set ? extent.max : ChartView::kNaN;
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
    // A trace whose points stay where they were is not drawn again.
    const bool moved = shown.xMin != before.xMin || shown.xMax != before.xMax ||
                       shown.yMin != before.yMin || shown.yMax != before.yMax;
    for (size_t i = 1; i < traces.size(); ++i)
        traces[i]->showFollowed(drawn[i], m_yUnit, read[i] || moved);
    emit refreshed();
}

void ChartFeeder::showFollowed(const ChartPass& pass, const QString& unit, bool changed) {
    m_yUnit = unit;
    m_pointCount = int(pass.points.size());
    m_statsCount = int(pass.stats.count());
    m_statsText = pass.stats.text(pass.unit ? pass.unit->family : PowerUnits::Family::Dbm);
    m_points = pass.points;
    if (m_series)
        m_series->replace(m_points);
    if (changed)
        emit refreshed();
}
