#include "chartline.h"

#include <QPainter>
#include <cmath>

ChartLine::ChartLine(QQuickItem* parent) : QQuickPaintedItem(parent) {
    setFlag(ItemHasContents, true);
}

ChartFeeder* ChartLine::feeder() const {
    return m_feeder.data();
}

void ChartLine::setFeeder(ChartFeeder* feeder) {
    if (feeder == m_feeder)
        return;
    if (m_feeder)
        disconnect(m_feeder, nullptr, this, nullptr);
    m_feeder = feeder;
    if (m_feeder)
        connect(m_feeder, &ChartFeeder::refreshed, this, [this] { update(); });
    emit feederChanged();
    update();
}

void ChartLine::setColor(const QColor& color) {
    if (color == m_color)
        return;
    m_color = color;
    emit styleChanged();
    update();
}

void ChartLine::setLineWidth(double width) {
    if (width == m_width)
        return;
    m_width = width;
    emit styleChanged();
    update();
}

void ChartLine::setSmoothed(bool smoothed) {
    if (smoothed == m_smoothed)
        return;
    m_smoothed = smoothed;
    emit styleChanged();
    update();
}

QPolygonF ChartLine::place(const QList<QPointF>& points, const QSizeF& size, double x0, double x1,
                           double y0, double y1) {
    QPolygonF placed;
    if (!(x1 > x0) || !(y1 > y0) || !std::isfinite(x0 + x1 + y0 + y1))
        return placed;
    const double sx = size.width() / (x1 - x0), sy = size.height() / (y1 - y0);
    placed.reserve(points.size());
    for (const QPointF& p : points)
        placed.append(QPointF((p.x() - x0) * sx, size.height() - (p.y() - y0) * sy));
    return placed;
}

void ChartLine::paint(QPainter* painter) {
    if (!m_feeder || m_feeder->points().isEmpty())
        return;
    const QPolygonF line = place(m_feeder->points(), size(), m_feeder->viewXMin(),
                                 m_feeder->viewXMax(), m_feeder->viewYMin(), m_feeder->viewYMax());
    if (line.isEmpty())
        return;
    // As Qt Charts clips its curve: half a pixel beyond the plot, so that a line on its edge shows.
    painter->setClipRect(boundingRect().adjusted(-0.5, -0.5, 0.5, 0.5));
    painter->setRenderHint(QPainter::Antialiasing, m_smoothed);
    QPen pen(m_color, m_width);
    pen.setCapStyle(Qt::SquareCap);
    pen.setJoinStyle(Qt::BevelJoin);
    painter->setPen(pen);
    painter->drawPolyline(line);
}
