// The chart feeder's axes: what they are to show for the points in view, and setting them.
#include <QCategoryAxis>
#include <QDateTime>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QValueAxis>
#include <cmath>

#include "chartfeeder.h"

namespace {
// printf's fixed notation with the range's decimals, as the value axis takes it.
QString valueFormat(const AxisTicks::ValueRange& r) {
    return QStringLiteral("%.") + QString::number(r.decimals) + QLatin1Char('f');
}

// The width of a label of the axis in pixels (its item adds a margin of half a pixel each side);
// without an axis or fonts (no GUI) about that of a digit a character.
std::function<double(const QString&)> labelWidth(const QAbstractAxis* axis) {
    if (!axis || !qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return [](const QString& text) { return 7.0 * double(text.size()); };
    return [metrics = QFontMetricsF(axis->labelsFont())](const QString& text) {
        return metrics.horizontalAdvance(text) + 1.0;
    };
}
}  // namespace

double ChartFeeder::toAxisValue(const QVariant& v) {
    if (v.metaType().id() == QMetaType::QDateTime) {
        const QDateTime t = v.toDateTime();
        return t.isValid() ? double(t.toMSecsSinceEpoch()) : kNaN;
    }
    bool ok = false;
    const double d = v.toDouble(&ok);
    return ok ? d : kNaN;
}

ChartFeeder::AxisPlan ChartFeeder::plan(const Bounds& drawn) const {
    const ChartFeeder& v = view();
    const Span& setY = v.m_zoomY.set ? v.m_zoomY : v.m_fixedY;
    AxisPlan p;
    // Nothing drawn: around the bounds bound from outside, else those shown last (a cleared
    // chart), else the coming minute.
    const auto pick = [](const QVariant& bound, double shown, double none) {
        const double value = toAxisValue(bound);
        return std::isfinite(value) ? value : std::isfinite(shown) ? shown : none;
    };
    // Exactly the window, so that zoom and pan move smoothly; else the points, at least a second.
    if (v.m_window.set) {
        p.xMin = v.m_window.min;
        p.xMax = v.m_window.max;
    } else {
        const double now = double(QDateTime::currentMSecsSinceEpoch());
        p.xMin = drawn.count > 0 ? drawn.xMin : pick(m_xMin, m_shown.xMin, now);
        p.xMax = drawn.count > 0 ? drawn.xMax : pick(m_xMax, m_shown.xMax, now + 60000.0);
        if (p.xMax - p.xMin < 1000.0) {
            const double mid = (p.xMin + p.xMax) / 2;
            p.xMin = mid - 500.0;
            p.xMax = mid + 500.0;
        }
    }
    if (setY.set)
        p.y = AxisTicks::exactRange(setY.min, setY.max, 7);
    else if (drawn.count > 0)
        p.y = AxisTicks::valueRange(drawn.yMin, drawn.yMax, 7);
    else if (!v.m_window.set)  // no margin around no points: a shown range stays as it is
        p.y = AxisTicks::valueRange(pick(m_yMin, m_shown.yMin, 0.0),
                                    pick(m_yMax, m_shown.yMax, 1.0), 7, 0.0);
    else  // an empty window: the values stay where they were
        p.y = AxisTicks::exactRange(m_shown.yMin, m_shown.yMax, 7);
    // The time axis runs on under the value axis: its widest label, padding and tick.
    const int plot = m_pixelColumns > 0 ? m_pixelColumns : 600;
    double values = 10;
    if (p.y.step > 0) {
        const auto width = labelWidth(m_axisY);
        const QByteArray format = valueFormat(p.y).toLatin1();
        for (double tick : {p.y.first, p.y.first + (p.y.ticks - 1) * p.y.step})
            values = std::max(values, 10 + width(QString::asprintf(format, tick)));
    }
    p.x = AxisTicks::timeTicks(p.xMin, p.xMax, plot, plot + int(values), labelWidth(m_axisX));
    return p;
}

bool ChartFeeder::moves(const AxisPlan& p) const {
    const auto* x = qobject_cast<const QValueAxis*>(m_axisX.data());
    const auto* y = qobject_cast<const QValueAxis*>(m_axisY.data());
    return (x && std::isfinite(p.xMin) && (x->min() != p.xMin || x->max() != p.xMax)) ||
           (y && p.y.step > 0 && (y->min() != p.y.min || y->max() != p.y.max));
}

void ChartFeeder::apply(const AxisPlan& p) {
    auto* x = qobject_cast<QValueAxis*>(m_axisX.data());
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
        } else if (c && !p.x.labels.isEmpty() && c->startValue(p.x.labels.first()) != p.xMin) {
            c->setStartValue(p.xMin);
        }
        x->setRange(p.xMin, p.xMax);
    }
    auto* y = qobject_cast<QValueAxis*>(m_axisY.data());
    if (y && p.y.step > 0) {
        y->setLabelFormat(valueFormat(p.y));
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
