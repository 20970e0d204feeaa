#pragma once

#include <QList>
#include <QPointF>
#include <limits>
#include <optional>

#include "axisplanner.h"
#include "chartview.h"
#include "powerunits.h"
#include "seriesreader.h"
#include "statistics.h"

// One refresh's reading of the data: the bounds and statistics of what is in the time window,
// the time extent of all points, and the points to draw, with the neighbours just outside the
// window and thinned to the plot's columns where there are more. An opened recording with a
// summary is read from it (a few thousand records whatever its length); anything else is walked
// record by record. Both give the same points.
struct ChartPass {
    AxisPlanner::Bounds bounds;
    Statistics stats;
    std::optional<PowerUnits::Unit> unit;
    double dataMin = std::numeric_limits<double>::infinity();
    double dataMax = -std::numeric_limits<double>::infinity();
    QList<QPointF> points;
    // The points are thinned over the window (or, with none, the time range in view).
    bool thinned = false;

    // `pixelColumns` 0 or less: every point in the window.
    static ChartPass run(const SeriesReader& data, const ChartView::Span& window, int pixelColumns);
    // The record by record reading, whatever the data holds (for comparison).
    static ChartPass walk(const SeriesReader& data, const ChartView::Span& window,
                          int pixelColumns);

private:
    void summarised(const PowerDataModel& power, const ChartView::Span& window, int pixelColumns);
};
