#include "axisplanner.h"

#include <cmath>
#include <utility>

AxisPlanner::AxisPlanner(int plotWidth, TextWidth timeWidth, TextWidth valueWidth)
    : m_plotWidth(plotWidth > 0 ? plotWidth : 600),
      m_timeWidth(std::move(timeWidth)),
      m_valueWidth(std::move(valueWidth)) {}

QString AxisPlanner::valueFormat(const AxisTicks::ValueRange& r) {
    return QStringLiteral("%.") + QString::number(r.decimals) + QLatin1Char('f');
}

AxisPlanner::Plan AxisPlanner::plan(const Bounds& drawn, const ChartView& view, const Extent& bound,
                                    const Extent& shown, double now) const {
    const ChartView::Span& window = view.window();
    const ChartView::Span& setY = view.values();
    Plan p;
    const auto pick = [](double bound, double shown, double none) {
        return std::isfinite(bound) ? bound : std::isfinite(shown) ? shown : none;
    };
    // Exactly the window, so that zoom and pan move smoothly; else the points, at least a second.
    if (window.set) {
        p.xMin = window.min;
        p.xMax = window.max;
    } else {
        p.xMin = drawn.count > 0 ? drawn.xMin : pick(bound.xMin, shown.xMin, now);
        p.xMax = drawn.count > 0 ? drawn.xMax : pick(bound.xMax, shown.xMax, now + 60000.0);
        if (p.xMax - p.xMin < 1000.0) {
            const double mid = (p.xMin + p.xMax) / 2;
            p.xMin = mid - 500.0;
            p.xMax = mid + 500.0;
        }
    }
    if (setY.set)
        p.y = AxisTicks::exactRange(setY.min, setY.max, m_valueTicks);
    else if (drawn.count > 0)
        p.y = AxisTicks::valueRange(drawn.yMin, drawn.yMax, m_valueTicks);
    else if (!window.set)  // no margin around no points: a shown range stays as it is
        p.y = AxisTicks::valueRange(pick(bound.yMin, shown.yMin, 0.0),
                                    pick(bound.yMax, shown.yMax, 1.0), m_valueTicks, 0.0);
    else  // an empty window: the values stay where they were
        p.y = AxisTicks::exactRange(shown.yMin, shown.yMax, m_valueTicks);
    // The time axis runs on under the value axis: its widest label, padding and tick.
    double values = 10;
    if (p.y.step > 0) {
        const QByteArray format = valueFormat(p.y).toLatin1();
        for (double tick : {p.y.first, p.y.first + (p.y.ticks - 1) * p.y.step})
            values = std::max(values, 10 + m_valueWidth(QString::asprintf(format, tick)));
    }
    p.x = AxisTicks::timeTicks(p.xMin, p.xMax, m_plotWidth, m_plotWidth + int(values), m_timeWidth);
    return p;
}
