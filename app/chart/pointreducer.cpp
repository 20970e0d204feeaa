#include "pointreducer.h"

#include <iterator>

PointReducer::PointReducer(double xMin, double xMax, int columns, QList<QPointF>& out)
    : m_xMin(xMin), m_span(xMax - xMin), m_columns(columns), m_out(out) {
    m_out.reserve(4 * qsizetype(columns) + 4);
}

void PointReducer::flush() {
    if (m_count == 0)
        return;
    Point keep[4] = {m_first, m_lo, m_hi, m_last};
    std::sort(std::begin(keep), std::end(keep),
              [](const Point& a, const Point& b) { return a.index < b.index; });
    for (int k = 0; k < 4; ++k)
        if (k == 0 || keep[k].index != keep[k - 1].index)
            m_out.append(QPointF(keep[k].x, keep[k].y));
    m_count = 0;
}

QList<QPointF> PointReducer::reduce(const QList<QPointF>& points, int columns) {
    if (columns <= 0 || points.size() <= 4 * qsizetype(columns))
        return points;
    double xMin = points.first().x(), xMax = xMin;
    for (const QPointF& p : points) {
        xMin = std::min(xMin, p.x());
        xMax = std::max(xMax, p.x());
    }
    QList<QPointF> out;
    PointReducer reducer(xMin, xMax, columns, out);
    for (const QPointF& p : points)
        reducer.push(p.x(), p.y());
    reducer.flush();
    return out;
}
