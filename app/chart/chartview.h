#pragma once

#include <QPointF>
#include <limits>

// The state of a chart's view: the time window zoomed and panned to, the value range zoomed into
// or fixed by the operator, whether it is held still, and what the last refresh showed (zoom and
// pan start from there). The calls that change it say so; the owner then draws again.
class ChartView {
public:
    static constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    // The narrowest time window: a few ticks of milliseconds.
    static constexpr double kMinSpanMs = 100.0;

    struct Span {
        bool set = false;
        double min = 0, max = 0;
    };
    // What the axes show (x in ms since the epoch) and the time extent of all points, zoomed or
    // not; NaN before any refresh.
    struct Shown {
        double xMin = kNaN, xMax = kNaN, yMin = kNaN, yMax = kNaN;
        double dataMin = kNaN, dataMax = kNaN;
    };

    const Span& window() const { return m_window; }
    // The values zoomed into, else those fixed; unset, the axis follows the points.
    const Span& values() const { return m_zoomY.set ? m_zoomY : m_fixedY; }
    const Span& fixed() const { return m_fixedY; }
    bool zoomed() const { return m_window.set || m_zoomY.set; }
    bool paused() const { return m_paused; }
    const Shown& shown() const { return m_shown; }
    void setShown(const Shown& shown) { m_shown = shown; }

    // True if it changed; resumed, the view returns to the whole series.
    bool setPaused(bool paused);
    // The point in value space at fractions of the plot's width (from the left) and height (from
    // the top).
    QPointF valueAt(double fx, double fy) const;
    // The calls below return whether the view changed.
    // Narrows (factor < 1) or widens the window around x; widened past the whole series it follows
    // the series again.
    bool zoom(double factor, double x);
    // x0 … x1, at least the narrowest window; with y0 != y1 also the values, out to round ticks.
    bool zoomTo(double x0, double x1, double y0, double y1);
    // By fractions of the view's width and height; some of the series stays in view, and values
    // move only where a range is set.
    bool pan(double dx, double dy);
    // The whole series, with the operator's value range.
    void reset();
    // Not unless min < max, both finite.
    bool setFixedRange(double min, double max);
    void setAutoRange();

private:
    static void setSpan(Span& span, double min, double max);

    Span m_window;  // time window
    Span m_zoomY;   // values zoomed into
    Span m_fixedY;  // values the operator fixed
    bool m_paused = false;
    Shown m_shown;
};
