#include "chartpass.h"

#include <algorithm>
#include <array>

#include "pointreducer.h"
#include "windowclip.h"

namespace {
constexpr double kInf = std::numeric_limits<double>::infinity();

// Columns two pixels wide: a dense band looks the same, and Qt's raster engine draws each of its
// tall strokes with a hand-over to worker threads, half of them saved.
int reducerColumns(int pixelColumns) {
    return std::max(1, pixelColumns / 2);
}

bool thinnedAt(int pixelColumns, qint64 count) {
    return pixelColumns > 0 && count > 4 * qint64(pixelColumns);
}
}  // namespace

ChartPass ChartPass::run(const SeriesReader& data, const ChartView::Span& window,
                         int pixelColumns) {
    if (const PowerDataModel* power = data.summarised()) {
        ChartPass pass;
        pass.unit = SeriesReader::displayUnit(*power);
        if (pass.unit &&
            (pass.unit->family == PowerUnits::Family::Dbm || power->summary()->oneUnit())) {
            pass.summarised(*power, window, pixelColumns);
            return pass;
        }
    }
    return walk(data, window, pixelColumns);
}

ChartPass ChartPass::walk(const SeriesReader& data, const ChartView::Span& window,
                          int pixelColumns) {
    ChartPass pass;
    const double lo = window.set ? window.min : -kInf, hi = window.set ? window.max : kInf;
    // One pass for the bounds and statistics of what is in view; then either every point in view,
    // or (more than the plot is wide) the thinned points straight from the model, never a list
    // of millions.
    data.visit(
        [&](double x, double y, bool counted) {
            pass.dataMin = std::min(pass.dataMin, x);
            pass.dataMax = std::max(pass.dataMax, x);
            if (x < lo || x > hi)
                return;
            pass.bounds.add(x, y);
            if (counted)
                pass.stats.add(pass.unit ? PowerUnits::toDbm(y, *pass.unit) : y);
        },
        pass.unit);
    std::optional<PowerUnits::Unit> unit;
    QList<QPointF>& points = pass.points;
    pass.thinned = thinnedAt(pixelColumns, pass.bounds.count);
    if (!pass.thinned) {
        points.reserve(pass.bounds.count + 2);
        WindowClip clip(lo, hi, [&points](double x, double y) { points.append(QPointF(x, y)); });
        data.visit([&clip](double x, double y, bool) { clip.push(x, y); }, unit);
    } else {
        PointReducer reducer(window.set ? lo : pass.bounds.xMin, window.set ? hi : pass.bounds.xMax,
                             reducerColumns(pixelColumns), points);
        WindowClip clip(lo, hi, [&reducer](double x, double y) { reducer.push(x, y); });
        data.visit([&clip](double x, double y, bool) { clip.push(x, y); }, unit);
        reducer.flush();
    }
    return pass;
}

void ChartPass::summarised(const PowerDataModel& power, const ChartView::Span& window,
                           int pixelColumns) {
    const SeriesSummary& summary = *power.summary();
    const SeriesSummary::Series& series = power.series();
    const qsizetype n = qsizetype(series.size());
    const auto x = [&series](qsizetype i) { return double(series[size_t(i)].msecsSinceEpoch()); };
    // The value as the walk gives it, to the bit.
    RecordUnits units;
    const auto y = [&](qsizetype i) {
        const PowerData& r = series[size_t(i)];
        const PowerUnits::Unit from = *units.of(r);  // drawn records have a unit
        return from == *unit ? r.power() : PowerUnits::convert(r.power(), from, *unit);
    };
    const qsizetype first = SeriesSummary::firstDrawn(series, 0);
    if (first < 0)
        return;
    dataMin = x(first);
    dataMax = x(SeriesSummary::lastDrawn(series, n));
    const qsizetype i0 = window.set ? SeriesSummary::lowerBound(series, window.min) : 0;
    const qsizetype i1 = window.set ? SeriesSummary::upperBound(series, window.max) : n;
    const SeriesSummary::Extremes inside = summary.extremes(series, i0, i1);
    if (inside.count == 0)
        return;
    bounds.count = inside.count;
    bounds.xMin = x(inside.first);
    bounds.xMax = x(inside.last);
    bounds.yMin = y(inside.lowAt);
    bounds.yMax = y(inside.highAt);
    stats = summary.statistics(series, i0, i1);
    const qsizetype before = SeriesSummary::lastDrawn(series, i0);
    const qsizetype after = SeriesSummary::firstDrawn(series, i1);
    const auto add = [&](QList<QPointF>& out, qsizetype i) { out.append(QPointF(x(i), y(i))); };
    thinned = thinnedAt(pixelColumns, bounds.count);
    if (!thinned) {
        points.reserve(bounds.count + 2);
        if (before >= 0)
            add(points, before);
        for (qsizetype i = i0; i < i1; ++i)
            if (!std::isnan(units.level(series[size_t(i)])))
                add(points, i);
        if (after >= 0)
            add(points, after);
        return;
    }
    // The reducer is handed the first, lowest, highest and last record of each column: what it
    // would keep of all of them.
    PointReducer reducer(window.set ? window.min : bounds.xMin,
                         window.set ? window.max : bounds.xMax, reducerColumns(pixelColumns),
                         points);
    const auto push = [&](qsizetype i) { reducer.push(x(i), y(i)); };
    if (before >= 0)
        push(before);
    for (qsizetype a = i0; a < i1;) {
        const int column = reducer.columnOf(x(a));
        // The column's records: its times are one run of the sorted series.
        const auto end =
            std::partition_point(series.begin() + a, series.begin() + i1, [&](const PowerData& r) {
                return reducer.columnOf(double(r.msecsSinceEpoch())) <= column;
            });
        const qsizetype b = qsizetype(end - series.begin());
        const SeriesSummary::Extremes e = summary.extremes(series, a, b);
        if (e.count > 0) {
            std::array<qsizetype, 4> keep{e.first, e.lowAt, e.highAt, e.last};
            std::sort(keep.begin(), keep.end());
            for (size_t k = 0; k < keep.size(); ++k)
                if (k == 0 || keep[k] != keep[k - 1])
                    push(keep[k]);
        }
        a = b;
    }
    if (after >= 0)
        push(after);
    reducer.flush();
}
