#pragma once

#include <QAbstractItemModel>
#include <QList>
#include <QObject>
#include <QPointF>
#include <QPointer>
#include <algorithm>

#include <QtQml/qqmlregistration.h>
#include <QVariant>
#include <limits>
#include <optional>
#include <vector>

#include "axisticks.h"
#include "powerunits.h"

QT_BEGIN_NAMESPACE
class QAbstractAxis;
class QXYSeries;
QT_END_NAMESPACE

// Feeds an XY series of the chart from two columns of a table model. Model resets hand the whole
// series over with one QXYSeries::replace(), at most once per pass of the event loop (an append
// at capacity makes two resets in a row); a series wider than the plot is thinned to the first,
// lowest, highest and last point of every column of two pixels, while the model keeps all.
// Power records are drawn in one unit (`yUnit`: the family the model asks for, else that of the
// newest record) whatever prefix or unit each was stored with (one that is no unit: not drawn), and
// the axes get round ticks in every view: the value axis a small margin around the points, the time
// axis spans the points (or the window) with ticks on whole steps of the local clock inside it, its
// labels made here (a category axis with its labels on the values), no two alike.
// The view can be held still (`paused`: the series stays while the model grows), narrowed to a
// time window (zoom, pan; the points and statistics then come from that window only, thinned over
// it) and given a fixed value range; a second feeder with `source` set draws the same view.
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
    // The held view: model changes are not drawn until it is resumed.
    Q_PROPERTY(bool paused READ paused WRITE setPaused NOTIFY pausedChanged)
    // A time window or a zoomed value range is set (reset returns to the whole series).
    Q_PROPERTY(bool zoomed READ zoomed NOTIFY viewChanged)
    // A value range the operator fixed, in the chart's unit.
    Q_PROPERTY(bool fixedRange READ fixedRange NOTIFY viewChanged)
    Q_PROPERTY(double fixedMin READ fixedMin NOTIFY viewChanged)
    Q_PROPERTY(double fixedMax READ fixedMax NOTIFY viewChanged)
    // What the axes show after the last refresh (x in ms since the epoch); NaN before any.
    Q_PROPERTY(double viewXMin READ viewXMin NOTIFY refreshed)
    Q_PROPERTY(double viewXMax READ viewXMax NOTIFY refreshed)
    Q_PROPERTY(double viewYMin READ viewYMin NOTIFY refreshed)
    Q_PROPERTY(double viewYMax READ viewYMax NOTIFY refreshed)
    // Statistics of the readings in the visible time range, taken in the same pass as the points.
    Q_PROPERTY(QString statsText READ statsText NOTIFY refreshed)
    Q_PROPERTY(int statsCount READ statsCount NOTIFY refreshed)
    // Another feeder whose data and view this one draws (a larger copy of the chart).
    Q_PROPERTY(ChartFeeder* source READ source WRITE setSource NOTIFY sourceChanged)

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
    // Width of the plot area in pixels, which the time labels are fitted to; 0 or less draws every
    // point (and takes 600 px for the labels).
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

    bool paused() const { return m_paused; }
    void setPaused(bool paused);
    bool zoomed() const { return view().m_window.set || view().m_zoomY.set; }
    bool fixedRange() const { return view().m_fixedY.set; }
    double fixedMin() const { return view().m_fixedY.set ? view().m_fixedY.min : kNaN; }
    double fixedMax() const { return view().m_fixedY.set ? view().m_fixedY.max : kNaN; }
    double viewXMin() const { return m_shown.xMin; }
    double viewXMax() const { return m_shown.xMax; }
    double viewYMin() const { return m_shown.yMin; }
    double viewYMax() const { return m_shown.yMax; }
    QString statsText() const { return m_statsText; }
    int statsCount() const { return m_statsCount; }
    ChartFeeder* source() const { return m_source.data(); }
    void setSource(ChartFeeder* source);

    // The point in value space at a place of the plot, given as fractions of its width (from the
    // left) and height (from the top).
    Q_INVOKABLE QPointF valueAt(double fx, double fy) const;
    // Narrows (factor < 1) or widens the time window around time x; widened past the whole
    // series it follows the series again.
    Q_INVOKABLE void zoom(double factor, double x);
    // Shows x0 … x1; with y0 != y1 also the values y0 … y1, widened to round ticks (until reset).
    Q_INVOKABLE void zoomTo(double x0, double x1, double y0, double y1);
    // Moves the view by fractions of its width and height (positive: later, higher values); the
    // values only where a range is fixed or zoomed.
    Q_INVOKABLE void pan(double dx, double dy);
    // The whole series again, with the operator's value range.
    Q_INVOKABLE void resetView();
    // Fixes the value range (false, and nothing changes, unless min < max, both finite).
    Q_INVOKABLE bool setFixedRange(double min, double max);
    Q_INVOKABLE void setAutoRange();
    // A bound for the range fields: about four significant digits, no unit; empty for NaN.
    Q_INVOKABLE static QString numberText(double value);

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
    void pausedChanged();
    void viewChanged();
    void sourceChanged();

private:
    static constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    struct Span {
        bool set = false;
        double min = 0, max = 0;
    };
    // The feeder whose data and view are drawn: the source, or this one.
    const ChartFeeder& view() const { return m_source ? *m_source : *this; }
    void setSpan(Span& span, double min, double max);
    void onModelChanged();
    void freeze();
    void setBound(QVariant& bound, const QVariant& v);
    // What the axes are to show for a set of points: the time range (NaN: as it is) and its ticks,
    // the values and theirs (no step: as they are).
    struct AxisPlan {
        double xMin = kNaN, xMax = kNaN;
        AxisTicks::TimeTicks x;
        AxisTicks::ValueRange y;
    };
    // A date as ms since the epoch, or a number; NaN for anything else (an empty model's null
    // time).
    static double toAxisValue(const QVariant& v);
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
    // Hands every drawable point, in model order (or the held copy of them), to keep(x, y,
    // counted): power records in one unit, given in `unit` before the first point (none for a
    // model without units or nothing to draw); `counted` is false for a reading shown again.
    template <class Keep>
    void visit(Keep&& keep, std::optional<PowerUnits::Unit>& unit) const;
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

    bool m_paused = false;
    // The points as they were when the model first changed after the pause.
    bool m_frozen = false;
    QList<QPointF> m_frozenPoints;
    std::vector<bool> m_frozenCounted;
    std::optional<PowerUnits::Unit> m_frozenUnit;
    Span m_window;  // time window
    Span m_zoomY;   // values zoomed into
    Span m_fixedY;  // values the operator fixed
    QPointer<ChartFeeder> m_source;
    struct Shown {
        double xMin = kNaN, xMax = kNaN, yMin = kNaN, yMax = kNaN;
        // Time extent of all points, zoomed or not.
        double dataMin = kNaN, dataMax = kNaN;
    } m_shown;
    QString m_statsText;
    int m_statsCount = 0;
};
