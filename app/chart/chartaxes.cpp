#include "chartaxes.h"

#include <QCategoryAxis>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

namespace {
// The width of a label of the axis in pixels (its item adds a margin of half a pixel each side);
// without an axis or fonts (no GUI) about that of a digit a character.
AxisPlanner::TextWidth labelWidth(const QAbstractAxis* axis) {
    if (!axis || !qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return [](const QString& text) { return 7.0 * double(text.size()); };
    return [metrics = QFontMetricsF(axis->labelsFont())](const QString& text) {
        return metrics.horizontalAdvance(text) + 1.0;
    };
}
}  // namespace

AxisPlanner ChartAxes::planner(int plotWidth, int plotHeight) const {
    AxisPlanner planner(plotWidth, labelWidth(m_x), labelWidth(m_y));
    if (plotHeight > 0) {
        // A label and half its height again between labels.
        const bool fonts = m_y && qobject_cast<QGuiApplication*>(QCoreApplication::instance());
        const double line = fonts ? QFontMetricsF(m_y->labelsFont()).height() : 14.0;
        planner.setValueTicks(std::clamp(int(plotHeight / (1.5 * line)) + 1, 2, 7));
    }
    return planner;
}

bool ChartAxes::moves(const AxisPlanner::Plan& p) const {
    const auto* x = qobject_cast<const QValueAxis*>(m_x.data());
    const auto* y = qobject_cast<const QValueAxis*>(m_y.data());
    return (x && std::isfinite(p.xMin) && (x->min() != p.xMin || x->max() != p.xMax)) ||
           (y && p.y.step > 0 && (y->min() != p.y.min || y->max() != p.y.max));
}

void ChartAxes::apply(const AxisPlanner::Plan& p) {
    auto* x = qobject_cast<QValueAxis*>(m_x.data());
    if (x && std::isfinite(p.xMin) && p.xMax > p.xMin) {
        // A category ends at each tick, its label there; set anew only when they change. The
        // first starts at the left edge: its tick would stand inside the plot, unlabelled.
        auto* c = qobject_cast<QCategoryAxis*>(x);
        bool same = c && c->categoriesLabels() == p.x.labels;
        for (qsizetype i = 0; same && i < p.x.at.size(); ++i)
            same = c->endValue(p.x.labels[i]) == p.x.at[i];
        if (c && !same) {
            for (const QString& label : c->categoriesLabels())
                c->remove(label);
            c->setStartValue(p.xMin);
            for (qsizetype i = 0; i < p.x.at.size(); ++i)
                c->append(p.x.labels[i], p.x.at[i]);
        } else if (c && !p.x.labels.isEmpty() && c->startValue(p.x.labels.first()) > p.xMin) {
            // Left of the plot it draws nothing: a live view that moves on keeps its labels
            // (each change lays all of them out again).
            c->setStartValue(p.xMin);
        }
        x->setRange(p.xMin, p.xMax);
    }
    auto* y = qobject_cast<QValueAxis*>(m_y.data());
    if (y && p.y.step > 0) {
        // The axis lays its labels out again on every call, changed or not.
        if (const QString format = AxisPlanner::valueFormat(p.y); y->labelFormat() != format)
            y->setLabelFormat(format);
        // Ticks on both bounds evenly laid out; else from an anchor, the bounds between ticks.
        if (p.y.bounded) {
            y->setTickType(QValueAxis::TicksFixed);
            y->setTickCount(p.y.ticks);
        } else {
            y->setTickAnchor(p.y.first);
            y->setTickInterval(p.y.step);
            y->setTickType(QValueAxis::TicksDynamic);
        }
        y->setRange(p.y.min, p.y.max);
    }
}
