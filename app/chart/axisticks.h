#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

// Round ticks for the chart's axes: values on 1, 2, 2.5 or 5 times a power of ten, times on whole
// steps of the local clock. Plain arithmetic; the axis planner lays them out.
namespace AxisTicks {

// Ticks of a value axis from min to max: `ticks` of them, `step` apart from `first`, labelled
// with `decimals`. `bounded`: the first tick is min and the last max, so the axis can lay them out
// evenly; else they are anchored at `first`.
struct ValueRange {
    double min = 0, max = 0, step = 0, first = 0;
    int ticks = 0;
    int decimals = 0;
    bool bounded = false;
};
// A range around lo..hi: a margin (a share of the span) each side, bounds on multiples of a
// round step with at most maxTicks ticks.
ValueRange valueRange(double lo, double hi, int maxTicks, double margin = 0.05);
// Exactly lo..hi (a typed or zoomed range): ticks on the round multiples inside it, at most
// maxTicks steps of them, a step that divides the range where one does.
ValueRange exactRange(double lo, double hi, int maxTicks);

// Ticks of a time axis shown exactly from lo to hi (ms since the epoch), on whole steps of the
// local clock, and their labels: to the millisecond below a second, with the date where the range
// spans a day or more, with the year where it crosses New Year; no two alike.
struct TimeTicks {
    qint64 step = 0;
    QList<double> at;
    QStringList labels;
};
// As many ticks as leave room between their labels on a plot `width` pixels wide, whole labels
// inside the plot, none the axis would shorten: it shares out its own width evenly among its
// labels, and it runs on under the value labels (`axisWidth`, at least the plot's); textWidth
// measures a label in pixels.
TimeTicks timeTicks(double lo, double hi, int width, int axisWidth,
                    const std::function<double(const QString&)>& textWidth);

}  // namespace AxisTicks
