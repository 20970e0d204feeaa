#pragma once

#include <QAbstractItemModel>
#include <QList>
#include <QObject>
#include <QPointF>
#include <QPointer>

#include <QtQml/qqmlregistration.h>
#include <QVariant>

#include "chart/chartaxes.h"
#include "chart/chartpass.h"
#include "chart/chartview.h"
#include "chart/pointreducer.h"
#include "chart/seriesreader.h"

QT_BEGIN_NAMESPACE
class QXYSeries;
QT_END_NAMESPACE

// The chart as QML binds it: feeds an XY series and its axes from two columns of a table model.
// Model changes hand the whole series over with one QXYSeries::replace(), at most once per pass
// of the event loop (an append at capacity makes two resets in a row), with the statistics of
// what is in view taken in the same pass. The parts it is made of: SeriesReader (the points, in
// one unit), PointReducer (thinning to the plot), ChartView (window, pause, value range),
// AxisPlanner and ChartAxes (round ticks and their labels). A second feeder with `source` set
// draws the same data and view. Further meters are drawn by feeders with `leader` set: each
// draws its own model in the leader's view, and the leader refreshes them all in its pass.
class ChartFeeder : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QAbstractItemModel* model READ model WRITE setModel NOTIFY modelChanged)
    Q_PROPERTY(QObject* series READ series WRITE setSeries NOTIFY seriesChanged)
    Q_PROPERTY(int xColumn READ xColumn WRITE setXColumn NOTIFY xColumnChanged)
    Q_PROPERTY(int yColumn READ yColumn WRITE setYColumn NOTIFY yColumnChanged)
    Q_PROPERTY(int pixelColumns READ pixelColumns WRITE setPixelColumns NOTIFY pixelColumnsChanged)
    // Height of the plot area in pixels, which the value labels are fitted to; 0: seven labels.
    Q_PROPERTY(int pixelRows READ pixelRows WRITE setPixelRows NOTIFY pixelRowsChanged)
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
    // The feeder whose chart this one draws its own model on (another meter's trace): its time
    // window, pixel columns, value axis and pause. The leader's automatic ranges take in its
    // followers' points; view calls on a follower go to its leader.
    Q_PROPERTY(ChartFeeder* leader READ leader WRITE setLeader NOTIFY leaderChanged)

public:
    explicit ChartFeeder(QObject* parent = nullptr);
    ~ChartFeeder() override;

    QAbstractItemModel* model() const { return m_reader.model(); }
    void setModel(QAbstractItemModel* model);
    QObject* series() const;
    void setSeries(QObject* series);
    int xColumn() const { return m_reader.xColumn(); }
    void setXColumn(int column);
    int yColumn() const { return m_reader.yColumn(); }
    void setYColumn(int column);
    // Width of the plot area in pixels, which the time labels are fitted to; 0 or less draws every
    // point (and takes 600 px for the labels).
    int pixelColumns() const { return m_pixelColumns; }
    void setPixelColumns(int columns);
    int pixelRows() const { return m_pixelRows; }
    void setPixelRows(int rows);
    // Points handed to the series by the last refresh.
    int pointCount() const { return m_pointCount; }
    // Those points (for a curve drawn by other means than the series).
    const QList<QPointF>& points() const { return m_points; }
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

    bool paused() const { return head()->m_view.paused(); }
    void setPaused(bool paused);
    bool zoomed() const { return view().zoomed(); }
    bool fixedRange() const { return view().fixed().set; }
    double fixedMin() const { return fixedRange() ? view().fixed().min : ChartView::kNaN; }
    double fixedMax() const { return fixedRange() ? view().fixed().max : ChartView::kNaN; }
    double viewXMin() const { return head()->m_view.shown().xMin; }
    double viewXMax() const { return head()->m_view.shown().xMax; }
    double viewYMin() const { return head()->m_view.shown().yMin; }
    double viewYMax() const { return head()->m_view.shown().yMax; }
    QString statsText() const { return m_statsText; }
    int statsCount() const { return m_statsCount; }
    ChartFeeder* source() const { return m_source.data(); }
    void setSource(ChartFeeder* source);
    ChartFeeder* leader() const { return m_leader.data(); }
    // A leader's leader is followed instead; a feeder that leads follows none.
    void setLeader(ChartFeeder* leader);

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

    // The drawable points of the model (or the source), power records in one unit, given in
    // `unit`.
    QList<QPointF> collect(QString* unit = nullptr) const { return reader().collect(unit); }
    // At most four points per pixel column; see PointReducer.
    static QList<QPointF> reduce(const QList<QPointF>& points, int columns) {
        return PointReducer::reduce(points, columns);
    }

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
    void pixelRowsChanged();
    void refreshed();
    void axesChanged();
    void rangeChanged();
    void pausedChanged();
    void viewChanged();
    void sourceChanged();
    void leaderChanged();

private:
    // A pass kept while nothing it reads changes: a reading of one meter leaves the others'.
    struct Cached {
        ChartPass pass;
        ChartView::Span window;  // as given; a whole series may be given its extent
        bool whole = false;      // of the whole series
        int columns = 0;
        bool valid = false;
    };

    // The data drawn: the source's; a follower of a copy, the source's follower of the same
    // model (held alike); else this one's.
    const SeriesReader& reader() const;
    // The view drawn: the leader's, the source's, or this one's.
    const ChartView& view() const {
        return m_leader ? m_leader->view() : m_source ? m_source->m_view : m_view;
    }
    // The feeder that refreshes this one and keeps its pause and axes.
    const ChartFeeder* head() const { return m_leader ? m_leader.data() : this; }
    ChartFeeder* head() { return m_leader ? m_leader.data() : this; }
    // Reads the data for the window, unless the kept pass is of it; true if read.
    bool readPass(const ChartView::Span& window, bool whole, int columns);
    // A whole series thinned over `extent` (the time range of all traces) if it is not yet.
    bool spanPass(const ChartView::Span& extent, int columns);
    // Shows a follower's part of the leader's pass.
    void showFollowed(const ChartPass& pass, const QString& unit, bool changed);
    // Draws again after a change of the view.
    void viewUpdated();
    void onModelChanged();
    void setBound(QVariant& bound, const QVariant& v);
    void setColumn(int column, int current, void (SeriesReader::*set)(int),
                   void (ChartFeeder::*changed)());

    SeriesReader m_reader;
    ChartView m_view;
    ChartAxes m_axes;
    QPointer<QXYSeries> m_series;
    int m_pixelColumns = 0;
    int m_pixelRows = 0;
    int m_pointCount = 0;
    QList<QPointF> m_points;
    bool m_pending = false;
    QVariant m_xMin, m_xMax, m_yMin, m_yMax;
    QString m_yUnit;
    QPointer<ChartFeeder> m_source;
    QPointer<ChartFeeder> m_leader;
    QList<QPointer<ChartFeeder>> m_followers;
    Cached m_cache;
    bool m_dataChanged = true;
    QString m_statsText;
    int m_statsCount = 0;
};
