#pragma once

#include <QAbstractAxis>
#include <QPointer>

#include "axisplanner.h"

// A chart's axes and the plans laid onto them: the time axis a category axis whose labels stand
// at the planned ticks, the value axis with fixed or anchored ticks. Set anew only where a plan
// differs: every range change lays the whole curve out again.
class ChartAxes {
public:
    QAbstractAxis* x() const { return m_x.data(); }
    QAbstractAxis* y() const { return m_y.data(); }
    void setX(QAbstractAxis* axis) { m_x = axis; }
    void setY(QAbstractAxis* axis) { m_y = axis; }

    // A planner for a plot `plotWidth` pixels wide that measures the labels in the axes' fonts,
    // with as many value labels as `plotHeight` pixels hold apart (0 or less: seven).
    AxisPlanner planner(int plotWidth, int plotHeight = 0) const;
    // Whether the plan changes a range of the axes.
    bool moves(const AxisPlanner::Plan& plan) const;
    void apply(const AxisPlanner::Plan& plan);

private:
    QPointer<QAbstractAxis> m_x;
    QPointer<QAbstractAxis> m_y;
};
