#pragma once

#include <QColor>
#include <QPointer>
#include <QQuickPaintedItem>

#include <QtQml/qqmlregistration.h>

#include "chartfeeder.h"

// The curve of a chart, drawn over its plot area from the feeder's points and view. Qt Charts
// draws its scene into an image without premultiplied alpha, where each of a dense curve's
// strokes costs a blend through worker threads (a full band of a long recording took some
// 40 ms a frame); drawn here, into the item's own image, the same points take a tenth of that.
class ChartLine : public QQuickPaintedItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(ChartFeeder* feeder READ feeder WRITE setFeeder NOTIFY feederChanged)
    Q_PROPERTY(QColor color READ color WRITE setColor NOTIFY styleChanged)
    Q_PROPERTY(double lineWidth READ lineWidth WRITE setLineWidth NOTIFY styleChanged)
    // Smoothed edges (a sparse curve); a dense one is drawn without.
    Q_PROPERTY(bool smoothed READ smoothed WRITE setSmoothed NOTIFY styleChanged)

public:
    explicit ChartLine(QQuickItem* parent = nullptr);

    ChartFeeder* feeder() const;
    void setFeeder(ChartFeeder* feeder);
    QColor color() const { return m_color; }
    void setColor(const QColor& color);
    double lineWidth() const { return m_width; }
    void setLineWidth(double width);
    bool smoothed() const { return m_smoothed; }
    void setSmoothed(bool smoothed);

    void paint(QPainter* painter) override;

    // The points in item coordinates, for a plot of `size` showing x0 … x1 and y0 … y1 (bottom
    // to top): where Qt Charts would place them.
    static QPolygonF place(const QList<QPointF>& points, const QSizeF& size, double x0, double x1,
                           double y0, double y1);

signals:
    void feederChanged();
    void styleChanged();

private:
    QPointer<ChartFeeder> m_feeder;
    QColor m_color = Qt::white;
    double m_width = 1.0;
    bool m_smoothed = false;
};
