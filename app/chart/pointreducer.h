#pragma once

#include <QList>
#include <QPointF>
#include <algorithm>
#include <cmath>

// Thinning as the points come: per pixel column of xMin … xMax the first, lowest, highest and
// last point of each run of points in that column, in their original order. Kept apart from the
// series, so that a long recording is thinned while it is read, never copied whole.
class PointReducer {
public:
    PointReducer(double xMin, double xMax, int columns, QList<QPointF>& out);

    // Inline: called once per point of the model.
    void push(double x, double y) {
        const int col = columnOf(x);
        if (m_count > 0 && col != m_col)
            flush();
        const Point p{x, y, m_index++};
        if (m_count == 0) {
            m_col = col;
            m_first = m_lo = m_hi = p;
        } else {
            if (y < m_lo.y)
                m_lo = p;
            if (y > m_hi.y)
                m_hi = p;
        }
        m_last = p;
        ++m_count;
    }
    // Hands over the column in progress; call once after the last point.
    void flush();

    // At most four points per pixel column between the first and the last x. Short series come
    // back as they are.
    static QList<QPointF> reduce(const QList<QPointF>& points, int columns);

    // All points at one x fall into a single column; those beyond the range (the neighbours of
    // a window) into one column each side. Never falls as x rises.
    int columnOf(double x) const {
        if (x < m_xMin)
            return -1;
        if (x > m_xMin + m_span)
            return m_columns;
        if (!(m_span > 0))
            return 0;
        return std::min(m_columns - 1, int(std::floor((x - m_xMin) / m_span * m_columns)));
    }

private:
    struct Point {
        double x, y;
        qint64 index;
    };
    double m_xMin, m_span;
    int m_columns;
    QList<QPointF>& m_out;
    qint64 m_index = 0;
    qint64 m_count = 0;
    int m_col = 0;
    Point m_first{}, m_lo{}, m_hi{}, m_last{};
};
