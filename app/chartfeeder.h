#pragma once

#include <QAbstractItemModel>
#include <QList>
#include <QObject>
#include <QPointF>
#include <QPointer>
#include <algorithm>

#include <QtQml/qqmlregistration.h>
#include <QVariant>

QT_BEGIN_NAMESPACE
class QAbstractAxis;
class QXYSeries;
QT_END_NAMESPACE

// Feeds an XY series of the chart from two columns of a table model. Model resets hand the whole
// series over with one QXYSeries::replace(), at most once per pass of the event loop (an append
// at capacity makes two resets in a row); a series wider than the plot is thinned to the first,
// lowest, highest and last point of every pixel column, while the model keeps all.
// Power records are drawn in one unit (`yUnit`) whatever prefix or unit each was stored with, and
// the axes get round ticks: the value axis a small margin around the points, the time axis whole
// steps of seconds, minutes or hours, so that no two time labels read the same.
class ChartFeeder : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QAbstractItemModel* model READ model WRITE setModel NOTIFY modelChanged)
    Q_PROPERTY(QObject* series READ series WRITE setSeries NOTIFY seriesChanged)
    Q_PROPERTY(int xColumn READ xColumn WRITE setXColumn NOTIFY xColumnChanged)
    Q_PROPERTY(int yColumn READ yColumn WRITE setYColumn NOTIFY yColumnChanged)
    Q_PROPERTY(int pixelColumns READ pixelColumns WRITE setPixelColumns NOTIFY pixelColumnsChanged)
    Q_PROPERTY(int pointCount READ pointCount NOTIFY refreshed)
    // Axis ranges, applied with the points: one range change per axis and pass instead of one
    // per bound and signal (every range change lays the whole curve out again).
    Q_PROPERTY(QObject* axisX READ axisX WRITE setAxisX NOTIFY axesChanged)
    Q_PROPERTY(QObject* axisY READ axisY WRITE setAxisY NOTIFY axesChanged)
    Q_PROPERTY(QVariant xMin READ xMin WRITE setXMin NOTIFY rangeChanged)
    Q_PROPERTY(QVariant xMax READ xMax WRITE setXMax NOTIFY rangeChanged)
    Q_PROPERTY(QVariant yMin READ yMin WRITE setYMin NOTIFY rangeChanged)
    Q_PROPERTY(QVariant yMax READ yMax WRITE setYMax NOTIFY rangeChanged)
    // The unit of the drawn values ("мВт", "дБм"); empty for a model without units.
    Q_PROPERTY(QString yUnit READ yUnit NOTIFY refreshed)

public:
    explicit ChartFeeder(QObject* parent = nullptr);

    QAbstractItemModel* model() const { return m_model; }
    void setModel(QAbstractItemModel* model);
    QObject* series() const;
    void setSeries(QObject* series);
    int xColumn() const { return m_xColumn; }
    void setXColumn(int column);
    int yColumn() const { return m_yColumn; }
    void setYColumn(int column);
    // Width of the plot area in pixels; 0 or less draws every point.
    int pixelColumns() const { return m_pixelColumns; }
    void setPixelColumns(int columns);
    // Points handed to the series by the last refresh.
    int pointCount() const { return m_pointCount; }
    QObject* axisX() const;
    void setAxisX(QObject* axis);
    QObject* axisY() const;
    void setAxisY(QObject* axis);
    QVariant xMin() const { return m_xMin; }
    QVariant xMax() const { return m_xMax; }
    QVariant yMin() const { return m_yMin; }
    QVariant yMax() const { return m_yMax; }
    void setXMin(const QVariant& v) { setBound(m_xMin, v); }
    void setXMax(const QVariant& v) { setBound(m_xMax, v); }
    void setYMin(const QVariant& v) { setBound(m_yMin, v); }
    void setYMax(const QVariant& v) { setBound(m_yMax, v); }
    QString yUnit() const { return m_yUnit; }

    // A unit text as family (0 none or unknown, 1 watt, 2 volt) and prefix step (0 nano … 6 giga).
    struct Unit {
        int family = 0;
        int step = 0;
    };
    static Unit parseUnit(const QString& text);
    static QString unitText(Unit unit);
    // `value` in `from` expressed in `to` (a dBm value where `to` has no family).
    static double convert(double value, Unit from, Unit to);

    // A value axis range around lo..hi: a margin of 5 % each side, bounds on multiples of a round
    // step (1, 2, 2.5 or 5 times a power of ten) with at most maxTicks ticks.
    struct ValueRange {
        double min = 0, max = 0, step = 0;
        int ticks = 0;
        int decimals = 0;
    };
    static ValueRange valueRange(double lo, double hi, int maxTicks);
    // A time axis range around lo..hi (ms since the epoch): bounds on whole steps of local time
    // (1 s … 1 day), at most maxTicks ticks, so every label differs.
    struct TimeRange {
        qint64 min = 0, max = 0, step = 0;
        int ticks = 0;
    };
    static TimeRange timeRange(qint64 lo, qint64 hi, int maxTicks);

    // Points of the model, x as milliseconds since the epoch for date-times; rows whose x or y
    // is not a finite number are left out (a reading without a value cannot be drawn). Power
    // records come in one unit, given in `unit` (that of the newest record, its prefix chosen
    // for the largest value).
    QList<QPointF> collect(QString* unit = nullptr) const;
    // At most four points per pixel column between the first and the last x: the first, lowest,
    // highest and last of the column, in their original order. Short series come back as they are.
    static QList<QPointF> reduce(const QList<QPointF>& points, int columns);

public slots:
    // Hands the series over now.
    void refresh();
    // Hands it over once the current burst of model notifications is through.
    void scheduleRefresh();

signals:
    void modelChanged();
    void seriesChanged();
    void xColumnChanged();
    void yColumnChanged();
    void pixelColumnsChanged();
    void refreshed();
    void axesChanged();
    void rangeChanged();

private:
    void setBound(QVariant& bound, const QVariant& v);
    // What the axes are to show for a set of points.
    struct AxisPlan {
        QVariant xMin, xMax, yMin, yMax;
        int xTicks = 0, yTicks = 0;
        QString xFormat, yFormat;
    };
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
    AxisPlan plan(const Bounds& bounds) const;
    template <class Keep>
    QString visit(Keep&& keep) const;
    bool moves(const AxisPlan& plan) const;
    void apply(const AxisPlan& plan);

    QPointer<QAbstractItemModel> m_model;
    QPointer<QXYSeries> m_series;
    int m_xColumn = 0;
    int m_yColumn = 1;
    int m_pixelColumns = 0;
    int m_pointCount = 0;
    bool m_pending = false;
    QPointer<QAbstractAxis> m_axisX;
    QPointer<QAbstractAxis> m_axisY;
    QVariant m_xMin, m_xMax, m_yMin, m_yMax;
    QString m_yUnit;
};
