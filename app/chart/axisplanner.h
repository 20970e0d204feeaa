#pragma once

#include <QString>
#include <algorithm>
#include <functional>

#include "axisticks.h"
#include "chartview.h"

// What a chart's axes are to show for the points in view: the time axis spans the points (at
// least a second) or exactly the window, the value axis a small margin around the points or
// exactly the range set; round ticks on both, the time labels fitted to the plot's width.
// Arithmetic only: the labels are measured by the functions it is given.
class AxisPlanner {
public:
    using TextWidth = std::function<double(const QString&)>;
    static constexpr double kNaN = ChartView::kNaN;

    // Extent of the drawable points.
    struct Bounds {
        qint64 count = 0;
        double xMin = 0, xMax = 0, yMin = 0, yMax = 0;
        void add(double x, double y) {
            if (count++ == 0) {
                xMin = xMax = x;
                yMin = yMax = y;
                return;
            }
            xMin = std::min(xMin, x);
            xMax = std::max(xMax, x);
            yMin = std::min(yMin, y);
            yMax = std::max(yMax, y);
        }
    };
    // A range of the axes; NaN where there is none.
    struct Extent {
        double xMin = kNaN, xMax = kNaN, yMin = kNaN, yMax = kNaN;
    };
    // The time range (NaN: as it is) and its ticks, the values and theirs (no step: as they are).
    struct Plan {
        double xMin = kNaN, xMax = kNaN;
        AxisTicks::TimeTicks x;
        AxisTicks::ValueRange y;
    };

    // A plot `plotWidth` pixels wide (0 or less: 600) with labels measured by those functions.
    AxisPlanner(int plotWidth, TextWidth timeWidth, TextWidth valueWidth);

    // At most this many value labels (7 unless set): a short plot takes fewer, or Qt Charts
    // shortens every label to "...".
    void setValueTicks(int ticks) { m_valueTicks = ticks; }

    // With nothing drawn the axes stay around `bound` (set from outside), else `shown` (the last
    // plan), else around `now` (ms since the epoch) for the coming minute.
    Plan plan(const Bounds& drawn, const ChartView& view, const Extent& bound, const Extent& shown,
              double now) const;

    // printf's fixed notation with the range's decimals, as the value axis takes it.
    static QString valueFormat(const AxisTicks::ValueRange& r);

private:
    int m_plotWidth;
    int m_valueTicks = 7;
    TextWidth m_timeWidth, m_valueWidth;
};
