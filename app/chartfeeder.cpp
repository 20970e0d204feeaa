#include "chartfeeder.h"

#include <QAbstractAxis>
#include <QXYSeries>
#include <algorithm>
#include <cmath>

#include "powerdatamodel.h"
#include "statistics.h"

namespace {
// The narrowest time window: a few ticks of milliseconds.
constexpr double kMinSpanMs = 100.0;
constexpr double kInf = std::numeric_limits<double>::infinity();
}  // namespace

ChartFeeder::ChartFeeder(QObject* parent) : QObject(parent) {}

void ChartFeeder::setModel(QAbstractItemModel* model) {
    if (model == m_model)
        return;
    if (m_model)
        disconnect(m_model, nullptr, this, nullptr);
    m_model = model;
    if (m_model) {
        // Resets are the model's only bulk notification; the finer ones are rare and cheap to
        // answer the same way.
        connect(m_model, &QAbstractItemModel::modelReset, this, &ChartFeeder::onModelChanged);
        connect(m_model, &QAbstractItemModel::rowsInserted, this, &ChartFeeder::onModelChanged);
        connect(m_model, &QAbstractItemModel::rowsRemoved, this, &ChartFeeder::onModelChanged);
        connect(m_model, &QAbstractItemModel::rowsMoved, this, &ChartFeeder::onModelChanged);
        connect(m_model, &QAbstractItemModel::layoutChanged, this, &ChartFeeder::onModelChanged);
        connect(m_model, &QAbstractItemModel::dataChanged, this, &ChartFeeder::onModelChanged);
        // A paused view copies the points only once the model is about to change, so a paused
        // recording that stays as it is costs nothing.
        const auto hold = [this] {
            if (m_paused && !m_frozen)
                freeze();
        };
        connect(m_model, &QAbstractItemModel::modelAboutToBeReset, this, hold);
        connect(m_model, &QAbstractItemModel::rowsAboutToBeInserted, this, hold);
        connect(m_model, &QAbstractItemModel::rowsAboutToBeRemoved, this, hold);
        connect(m_model, &QAbstractItemModel::rowsAboutToBeMoved, this, hold);
        connect(m_model, &QAbstractItemModel::layoutAboutToBeChanged, this, hold);
        if (auto* power = qobject_cast<PowerDataModel*>(m_model.data()))
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
    return m_axisX.data();
}
QObject* ChartFeeder::axisY() const {
    return m_axisY.data();
}

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

void ChartFeeder::setXColumn(int column) {
    if (column == m_xColumn)
        return;
    m_xColumn = column;
    emit xColumnChanged();
    scheduleRefresh();
}

void ChartFeeder::setYColumn(int column) {
    if (column == m_yColumn)
        return;
    m_yColumn = column;
    emit yColumnChanged();
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
    if (m_paused)
        return;
    scheduleRefresh();
}

void ChartFeeder::freeze() {
    QList<QPointF> points;
    std::vector<bool> counted;
    points.reserve(m_model ? m_model->rowCount() : 0);
    visit(
        [&](double x, double y, bool c) {
            points.append(QPointF(x, y));
            counted.push_back(c);
        },
        m_frozenUnit);
    m_frozenPoints = std::move(points);
    m_frozenCounted = std::move(counted);
    m_frozen = true;
}

void ChartFeeder::setPaused(bool paused) {
    if (paused == m_paused)
        return;
    m_paused = paused;
    if (!paused) {
        // Back to the running chart: the readings that came meanwhile, the whole series.
        m_frozen = false;
        m_frozenPoints = {};
        m_frozenCounted = {};
        m_frozenUnit.reset();
        m_window.set = false;
        m_zoomY.set = false;
        emit viewChanged();
        scheduleRefresh();
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
    emit viewChanged();
    scheduleRefresh();
}

void ChartFeeder::setSpan(Span& span, double min, double max) {
    span = {true, std::min(min, max), std::max(min, max)};
    emit viewChanged();
    scheduleRefresh();
}

QPointF ChartFeeder::valueAt(double fx, double fy) const {
    return QPointF(m_shown.xMin + fx * (m_shown.xMax - m_shown.xMin),
                   m_shown.yMax - fy * (m_shown.yMax - m_shown.yMin));
}

void ChartFeeder::zoom(double factor, double x) {
    // Based on the window asked for last, so that steps between two refreshes add up.
    const double lo = m_window.set ? m_window.min : m_shown.xMin;
    const double hi = m_window.set ? m_window.max : m_shown.xMax;
    if (!(factor > 0) || !std::isfinite(x) || !std::isfinite(lo) || !(hi > lo))
        return;
    const double at = std::clamp((x - lo) / (hi - lo), 0.0, 1.0);
    const double span = std::max((hi - lo) * factor, kMinSpanMs);
    const double newLo = x - at * span;
    if (factor > 1 && newLo <= m_shown.dataMin && newLo + span >= m_shown.dataMax) {
        m_window.set = false;
        emit viewChanged();
        scheduleRefresh();
        return;
    }
    setSpan(m_window, newLo, newLo + span);
}

void ChartFeeder::zoomTo(double x0, double x1, double y0, double y1) {
    if (!std::isfinite(x0) || !std::isfinite(x1))
        return;
    const double mid = (x0 + x1) / 2, half = std::max(std::abs(x1 - x0), kMinSpanMs) / 2;
    setSpan(m_window, mid - half, mid + half);
    // The values on the round ticks just around the rectangle: a dragged edge is never exact.
    if (std::isfinite(y0) && std::isfinite(y1) && y0 != y1) {
        const AxisTicks::ValueRange r = AxisTicks::valueRange(y0, y1, 7, 0.0);
        setSpan(m_zoomY, r.min, r.max);
    }
}

void ChartFeeder::pan(double dx, double dy) {
    double lo = m_window.set ? m_window.min : m_shown.xMin;
    double hi = m_window.set ? m_window.max : m_shown.xMax;
    if (dx != 0 && std::isfinite(dx) && std::isfinite(lo) && hi > lo) {
        double shift = dx * (hi - lo);
        // Some of the series stays in view.
        if (lo + shift > m_shown.dataMax)
            shift = m_shown.dataMax - lo;
        if (hi + shift < m_shown.dataMin)
            shift = m_shown.dataMin - hi;
        setSpan(m_window, lo + shift, hi + shift);
    }
    // Values move only where a range is set: an automatic range would follow the points back.
    const Span& y = m_zoomY.set ? m_zoomY : m_fixedY;
    if (dy != 0 && std::isfinite(dy) && y.set) {
        const double shift = dy * (y.max - y.min);
        setSpan(m_zoomY, y.min + shift, y.max + shift);
    }
}

void ChartFeeder::resetView() {
    m_window.set = false;
    m_zoomY.set = false;
    emit viewChanged();
    scheduleRefresh();
}

bool ChartFeeder::setFixedRange(double min, double max) {
    if (!std::isfinite(min) || !std::isfinite(max) || !(min < max))
        return false;
    m_zoomY.set = false;
    setSpan(m_fixedY, min, max);
    return true;
}

void ChartFeeder::setAutoRange() {
    m_fixedY.set = false;
    m_zoomY.set = false;
    emit viewChanged();
    scheduleRefresh();
}

template <class Keep>
void ChartFeeder::visit(Keep&& keep, std::optional<PowerUnits::Unit>& unit) const {
    using namespace PowerUnits;
    unit.reset();
    if (m_source)
        return m_source->visit(std::forward<Keep>(keep), unit);
    if (m_frozen) {
        unit = m_frozenUnit;
        for (qsizetype i = 0; i < m_frozenPoints.size(); ++i)
            keep(m_frozenPoints[i].x(), m_frozenPoints[i].y(), bool(m_frozenCounted[size_t(i)]));
        return;
    }
    if (!m_model)
        return;
    const auto keepFinite = [&keep](double x, double y, bool counted) {
        if (std::isfinite(x) && std::isfinite(y))
            keep(x, y, counted);
    };
    // The power model hands its records over directly: no variant per cell.
    if (auto* power = qobject_cast<PowerDataModel*>(m_model.data());
        power && m_xColumn == power->eTime() && m_yColumn == power->edBm()) {
        const auto& series = power->series();
        // Records in the model mostly share a handful of unit texts: parse each text once.
        quint16 lastId = 0;
        std::optional<Unit> lastUnit;
        const auto unitOf = [&](const PowerData& r) {
            if (r.powerUnitId() != lastId) {
                lastId = r.powerUnitId();
                lastUnit = parse(r.powerUnit());
            }
            return lastUnit;
        };
        // The family asked for, else the newest reading's; the prefix that keeps the largest
        // value below 1000.
        for (auto it = series.crbegin(); it != series.crend() && !unit; ++it)
            if (std::isfinite(it->power()))
                unit = unitOf(*it);
        if (!unit)
            return;
        if (power->unitFamily() >= 0)
            unit = Unit{Family(power->unitFamily()), 0};
        if (unit->family != Family::Dbm) {
            const Unit nano{unit->family, MinDisplayStep};
            double largest = 0.0;
            for (const PowerData& r : series)
                if (const auto from = unitOf(r); from && std::isfinite(r.power()))
                    largest = std::max(largest, std::abs(convert(r.power(), *from, nano)));
            unit->step = MinDisplayStep;
            while (unit->step < MaxStep && largest >= std::pow(1000.0, unit->step - nano.step + 1))
                ++unit->step;
        }
        for (const PowerData& r : series) {
            const auto from = unitOf(r);
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

QList<QPointF> ChartFeeder::collect(QString* unit) const {
    QList<QPointF> points;
    points.reserve(m_model ? m_model->rowCount() : 0);
    std::optional<PowerUnits::Unit> drawn;
    visit([&points](double x, double y, bool) { points.append(QPointF(x, y)); }, drawn);
    if (unit)
        *unit = drawn ? PowerUnits::text(*drawn) : QString();
    return points;
}

namespace {
// Thinning as the points come: per pixel column of xMin … xMax the first, lowest, highest and
// last point of each run of points in that column, in their original order.
class Reducer {
public:
    Reducer(double xMin, double xMax, int columns, QList<QPointF>& out)
        : m_xMin(xMin), m_span(xMax - xMin), m_columns(columns), m_out(out) {
        m_out.reserve(4 * qsizetype(columns) + 4);
    }
    void push(double x, double y) {
        const int col = columnOf(x);
        if (m_count > 0 && col != m_col)
            flush();
        const Point p{x, y, m_index++};
        if (m_count == 0) {
            m_col = col;
            m_first = m_lo = m_hi = p;
        } else {
            if (y < m_lo.y)
                m_lo = p;
            if (y > m_hi.y)
                m_hi = p;
        }
        m_last = p;
        ++m_count;
    }
    void flush() {
        if (m_count == 0)
            return;
        Point keep[4] = {m_first, m_lo, m_hi, m_last};
        std::sort(std::begin(keep), std::end(keep),
                  [](const Point& a, const Point& b) { return a.index < b.index; });
        for (int k = 0; k < 4; ++k)
            if (k == 0 || keep[k].index != keep[k - 1].index)
                m_out.append(QPointF(keep[k].x, keep[k].y));
        m_count = 0;
    }

private:
    struct Point {
        double x, y;
        qint64 index;
    };
    // All points at one x fall into a single column; those beyond the range (the neighbours of
    // a window) into one column each side.
    int columnOf(double x) const {
        if (x < m_xMin)
            return -1;
        if (x > m_xMin + m_span)
            return m_columns;
        if (!(m_span > 0))
            return 0;
        return std::min(m_columns - 1, int(std::floor((x - m_xMin) / m_span * m_columns)));
    }

    double m_xMin, m_span;
    int m_columns;
    QList<QPointF>& m_out;
    qint64 m_index = 0;
    qint64 m_count = 0;
    int m_col = 0;
    Point m_first{}, m_lo{}, m_hi{}, m_last{};
};

// Passes on the points inside lo … hi and, so that the line runs on to the plot's edge, the point
// before and the point after each run of them (in model order).
template <class Out>
class Clip {
public:
    Clip(double lo, double hi, Out out) : m_lo(lo), m_hi(hi), m_out(std::move(out)) {}
    void push(double x, double y) {
        const bool inside = x >= m_lo && x <= m_hi;
        bool passed = inside;
        if (inside) {
            if (m_hasPrev && !m_prevInside && !m_prevPassed)
                m_out(m_prevX, m_prevY);
            m_out(x, y);
        } else if (m_hasPrev && m_prevInside) {
            m_out(x, y);
            passed = true;
        }
        m_hasPrev = true;
        m_prevInside = inside;
        m_prevPassed = passed;
        m_prevX = x;
        m_prevY = y;
    }

private:
    double m_lo, m_hi;
    Out m_out;
    bool m_hasPrev = false, m_prevInside = false, m_prevPassed = false;
    double m_prevX = 0, m_prevY = 0;
};

int decimalsFor(double v) {
    const int digits = v == 0 || !std::isfinite(v) ? 0 : int(std::floor(std::log10(std::abs(v))));
    return std::clamp(3 - digits, 0, 6);
}
}  // namespace

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

QList<QPointF> ChartFeeder::reduce(const QList<QPointF>& points, int columns) {
    if (columns <= 0 || points.size() <= 4 * qsizetype(columns))
        return points;
    double xMin = points.first().x(), xMax = xMin;
    for (const QPointF& p : points) {
        xMin = std::min(xMin, p.x());
        xMax = std::max(xMax, p.x());
    }
    QList<QPointF> out;
    Reducer reducer(xMin, xMax, columns, out);
    for (const QPointF& p : points)
        reducer.push(p.x(), p.y());
    reducer.flush();
    return out;
}

void ChartFeeder::scheduleRefresh() {
    if (m_pending)
        return;
    m_pending = true;
    QMetaObject::invokeMethod(this, &ChartFeeder::refresh, Qt::QueuedConnection);
}

void ChartFeeder::refresh() {
    m_pending = false;
    const ChartFeeder& v = view();
    const bool windowed = v.m_window.set;
    const double lo = windowed ? v.m_window.min : -kInf, hi = windowed ? v.m_window.max : kInf;
    // One pass for the bounds and statistics of what is in view; then either every point in view,
    // or (more than the plot is wide) the thinned points straight from the model, never a list
    // of millions. Either with the neighbours just outside the window.
    Bounds bounds;
    Statistics stats;
    std::optional<PowerUnits::Unit> unit;
    double dataMin = kInf, dataMax = -kInf;
    visit(
        [&](double x, double y, bool counted) {
            dataMin = std::min(dataMin, x);
            dataMax = std::max(dataMax, x);
            if (x < lo || x > hi)
                return;
            bounds.add(x, y);
            if (counted)
                stats.add(unit ? PowerUnits::toDbm(y, *unit) : y);
        },
        unit);
    m_yUnit = unit ? PowerUnits::text(*unit) : QString();
    const AxisPlan axes = plan(bounds);
    QList<QPointF> points;
    if (m_pixelColumns <= 0 || bounds.count <= 4 * qint64(m_pixelColumns)) {
        points.reserve(bounds.count + 2);
        Clip clip(lo, hi, [&points](double x, double y) { points.append(QPointF(x, y)); });
        visit([&clip](double x, double y, bool) { clip.push(x, y); }, unit);
    } else {
        // Columns two pixels wide: a dense band looks the same, and Qt's raster engine draws
        // each of its tall strokes with a hand-over to worker threads, half of them saved.
        Reducer reducer(windowed ? lo : bounds.xMin, windowed ? hi : bounds.xMax,
                        std::max(1, m_pixelColumns / 2), points);
        Clip clip(lo, hi, [&reducer](double x, double y) { reducer.push(x, y); });
        visit([&clip](double x, double y, bool) { clip.push(x, y); }, unit);
        reducer.flush();
    }
    m_pointCount = int(points.size());
    m_shown.dataMin = dataMin <= dataMax ? dataMin : kNaN;
    m_shown.dataMax = dataMin <= dataMax ? dataMax : kNaN;
    m_shown.xMin = axes.xMin;
    m_shown.xMax = axes.xMax;
    if (axes.y.step > 0) {
        m_shown.yMin = axes.y.min;
        m_shown.yMax = axes.y.max;
    }
    m_statsCount = int(stats.count());
    m_statsText = stats.text(unit ? unit->family : PowerUnits::Family::Dbm);
    // A range change lays the whole curve out again, and so does replace(). Emptied first, the
    // series is laid out once, with its new points (a live reading moves the time axis each time).
    if (m_series && m_series->count() > 0 && moves(axes))
        m_series->clear();
    apply(axes);
    if (m_series)
        m_series->replace(points);
    emit refreshed();
}
