#include "chartview.h"

#include <algorithm>
#include <cmath>

#include "axisticks.h"

void ChartView::setSpan(Span& span, double min, double max) {
    span = {true, std::min(min, max), std::max(min, max)};
}

bool ChartView::setPaused(bool paused) {
    if (paused == m_paused)
        return false;
    m_paused = paused;
    // Back to the running chart: the readings that came meanwhile, the whole series.
    if (!paused)
        reset();
    return true;
}

QPointF ChartView::valueAt(double fx, double fy) const {
    return QPointF(m_shown.xMin + fx * (m_shown.xMax - m_shown.xMin),
                   m_shown.yMax - fy * (m_shown.yMax - m_shown.yMin));
}

bool ChartView::zoom(double factor, double x) {
    // Based on the window asked for last, so that steps between two refreshes add up.
    const double lo = m_window.set ? m_window.min : m_shown.xMin;
    const double hi = m_window.set ? m_window.max : m_shown.xMax;
    if (!(factor > 0) || !std::isfinite(x) || !std::isfinite(lo) || !(hi > lo))
        return false;
    const double at = std::clamp((x - lo) / (hi - lo), 0.0, 1.0);
    const double span = std::max((hi - lo) * factor, kMinSpanMs);
    const double newLo = x - at * span;
    if (factor > 1 && newLo <= m_shown.dataMin && newLo + span >= m_shown.dataMax)
        m_window.set = false;
    else
        setSpan(m_window, newLo, newLo + span);
    return true;
}

bool ChartView::zoomTo(double x0, double x1, double y0, double y1) {
    if (!std::isfinite(x0) || !std::isfinite(x1))
        return false;
    const double mid = (x0 + x1) / 2, half = std::max(std::abs(x1 - x0), kMinSpanMs) / 2;
    setSpan(m_window, mid - half, mid + half);
    // The values on the round ticks just around the rectangle: a dragged edge is never exact.
    if (std::isfinite(y0) && std::isfinite(y1) && y0 != y1) {
        const AxisTicks::ValueRange r = AxisTicks::valueRange(y0, y1, 7, 0.0);
        setSpan(m_zoomY, r.min, r.max);
    }
    return true;
}

bool ChartView::pan(double dx, double dy) {
    bool changed = false;
    const double lo = m_window.set ? m_window.min : m_shown.xMin;
    const double hi = m_window.set ? m_window.max : m_shown.xMax;
    if (dx != 0 && std::isfinite(dx) && std::isfinite(lo) && hi > lo) {
        double shift = dx * (hi - lo);
        if (lo + shift > m_shown.dataMax)
            shift = m_shown.dataMax - lo;
        if (hi + shift < m_shown.dataMin)
            shift = m_shown.dataMin - hi;
        setSpan(m_window, lo + shift, hi + shift);
        changed = true;
    }
    // An automatic range would follow the points back.
    const Span y = values();
    if (dy != 0 && std::isfinite(dy) && y.set) {
        const double shift = dy * (y.max - y.min);
        setSpan(m_zoomY, y.min + shift, y.max + shift);
        changed = true;
    }
    return changed;
}

void ChartView::reset() {
    m_window.set = false;
    m_zoomY.set = false;
}

bool ChartView::setFixedRange(double min, double max) {
    if (!std::isfinite(min) || !std::isfinite(max) || !(min < max))
        return false;
    m_zoomY.set = false;
    setSpan(m_fixedY, min, max);
    return true;
}

void ChartView::setAutoRange() {
    m_fixedY.set = false;
    m_zoomY.set = false;
}
