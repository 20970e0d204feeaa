// The chart feeder as QML binds it: coalesced hand-overs of the model's points, thinned and in one
// unit, to the series and its axes, in every view (time window, pause, value range), and the
// statistics of what is in view.
#include <QCategoryAxis>
#include <QLineSeries>
#include <QSignalSpy>
#include <QValueAxis>
#include <QtTest>
#include <cmath>
#include <memory>

#include "chartfeeder.h"
#include "chartline.h"
#include "powerdatamodel.h"

namespace {

PowerData reading(qint64 msecs, double value, const char* unit = "дБм") {
    return PowerData(QDateTime::fromMSecsSinceEpoch(msecs), value, unit, 3000.0, "кГц");
}

bool whole(double v) {
    return std::abs(v - std::round(v)) < 1e-6;
}

// A line series with its axes fed from a power model, `columns` pixel columns wide (0: every
// point).
struct Fed {
    PowerDataModel model;
    QLineSeries series;
    QCategoryAxis axisX;
    QValueAxis axisY;
    ChartFeeder feeder;
    explicit Fed(int columns = 0) {
        feeder.setSeries(&series);
        feeder.setAxisX(&axisX);
        feeder.setAxisY(&axisY);
        feeder.setXColumn(model.eTime());
        feeder.setYColumn(model.edBm());
        feeder.setPixelColumns(columns);
        feeder.setModel(&model);
    }
    void settle() { QVERIFY(QSignalSpy(&feeder, &ChartFeeder::refreshed).wait()); }
    void zoomTo(double x0, double x1, double y0 = 0, double y1 = 0) {
        feeder.zoomTo(x0, x1, y0, y1);
        settle();
    }
    void pan(double dx, double dy) {
        feeder.pan(dx, dy);
        settle();
    }
    // The value axis as a point: compared fuzzily, like doubles.
    QPointF yRange() const { return {axisY.min(), axisY.max()}; }
    // Round ticks inside the axes, none unlabelled: times on whole steps of the local clock
    // labelled in `format`; values on multiples of 1, 2, 2.5 or 5 times a power of ten, apart.
    bool roundTicks(const char* format = "HH:mm:ss") {
        const QStringList labels = axisX.categoriesLabels();
        // The first category may start left of the plot (a live view moves on), never inside it.
        if (labels.size() < 2 || axisX.startValue(labels[0]) > axisX.min())
            return false;
        const qint64 step =
            std::min(86400000LL, qint64(axisX.endValue(labels[1]) - axisX.endValue(labels[0])));
        for (const QString& label : labels) {
            const QDateTime t = QDateTime::fromMSecsSinceEpoch(qint64(axisX.endValue(label)));
            if (label != t.toString(format) || t.time().msecsSinceStartOfDay() % step != 0 ||
                t.toMSecsSinceEpoch() <= axisX.min() || t.toMSecsSinceEpoch() >= axisX.max())
                return false;
        }
        const bool anchored = axisY.tickType() == QValueAxis::TicksDynamic;
        const double by =
            anchored ? axisY.tickInterval() : (axisY.max() - axisY.min()) / (axisY.tickCount() - 1);
        const double first = anchored ? axisY.tickAnchor() : axisY.min();
        const double mantissa = by / std::pow(10.0, std::floor(std::log10(by)));
        const QByteArray f = axisY.labelFormat().toLatin1();
        return whole(first / by) &&
               QList<double>{1, 2, 2.5, 5}.contains(std::round(mantissa * 10) / 10) &&
               QString::asprintf(f, first) != QString::asprintf(f, first + by);
    }
};

// `feeder` draws `model` as a trace of the chart `leader` feeds.
void follow(ChartFeeder& feeder, PowerDataModel& model, ChartFeeder& leader) {
    feeder.setXColumn(model.eTime());
    feeder.setYColumn(model.edBm());
    feeder.setModel(&model);
    feeder.setLeader(&leader);
}

// Another meter's trace on a fed chart: its own model, following the chart's feeder.
struct Trace {
    PowerDataModel model;
    ChartFeeder feeder;
    explicit Trace(ChartFeeder& leader) { follow(feeder, model, leader); }
};

// At most four points per column of the plot's columns of two pixels over x0 … x1.
bool fourPerColumn(const QList<QPointF>& points, double x0, double x1, int pixelColumns) {
    QMap<int, int> perColumn;
    const int columns = pixelColumns / 2;
    for (const QPointF& p : points)
        if (p.x() >= x0 && p.x() <= x1 &&
            ++perColumn[std::min(columns - 1, int((p.x() - x0) / (x1 - x0) * columns))] > 4)
            return false;
    return true;
}

}  // namespace

class TestChartFeeder : public QObject {
    Q_OBJECT
private slots:
    // The series is handed over whole, once per burst of model resets, never point by point;
    // readings without a value are left out. Paused, it holds still while the model grows (and
    // drops its oldest at capacity), zoomable meanwhile; resumed, it shows what came. The curve
    // item draws the feeder's points where the axes put them: the view's corners on the plot's
    // corners (y up), nothing without a view.
    void oneReplacePerBurstPauseHoldsCurveFollows() {
        Fed f;
        QSignalSpy replaced(&f.series, &QXYSeries::pointsReplaced);
        f.model.append(reading(0, qQNaN()));
        for (int i = 1; i < 1000; ++i)
            f.model.append(reading(i * 1000, -50.0 + i % 10));
        QVERIFY(replaced.wait());
        QCOMPARE(replaced.count(), 1);
        QCOMPARE(f.series.count(), 999);
        f.model.append(reading(1000 * 1000, -42.0));  // at capacity: two resets
        QVERIFY(replaced.wait());
        QCOMPARE(replaced.count(), 2);
        QCOMPARE(f.series.count(), 1000);
        QCOMPARE(f.series.at(999), QPointF(1000 * 1000, -42.0));

        const QList<QPointF> held = f.series.points();
        QSignalSpy paused(&f.feeder, &ChartFeeder::pausedChanged);
        f.feeder.setPaused(true);
        QCOMPARE(paused.count(), 1);
        for (int i = 1001; i <= 1010; ++i)
            f.model.append(reading(i * 1000, -40.0));
        QCoreApplication::processEvents();
        QCOMPARE(replaced.count(), 2);
        f.zoomTo(500, 2500);
        QCOMPARE(f.series.points(), held.mid(0, 3));
        f.feeder.resetView();
        f.settle();
        QCOMPARE(f.series.points(), held);
        QCOMPARE(f.feeder.statsCount(), 1000);
        f.feeder.zoomTo(0, 5000, 0, 0);  // resuming runs the whole chart again
        f.feeder.setPaused(false);
        f.settle();
        QVERIFY(!f.feeder.zoomed());
        QCOMPARE(f.series.at(999), QPointF(1010000, -40.0));
        QCOMPARE(f.series.at(0).x(), 11000.0);

        QCOMPARE(f.feeder.points(), f.series.points());
        const double x0 = f.feeder.viewXMin(), x1 = f.feeder.viewXMax();
        const double y0 = f.feeder.viewYMin(), y1 = f.feeder.viewYMax();
        const QPolygonF at = ChartLine::place({{x0, y0}, {x1, y1}, {(x0 + x1) / 2, y1}},
                                              QSizeF(400, 300), x0, x1, y0, y1);
        QCOMPARE(at, QPolygonF({{0, 300}, {400, 0}, {200, 0}}));
        QVERIFY(ChartLine::place(f.feeder.points(), QSizeF(400, 300), x0, x0, y0, y1).isEmpty());
        QVERIFY(ChartLine::place(f.feeder.points(), {400, 300}, x0, x1, qQNaN(), y1).isEmpty());
    }

    // A long recording is thinned to the plot while the model keeps all. Zoomed, the series holds
    // the real points of the window and one neighbour each side, thinned over the window only
    // where it is wider than the plot.
    void longRecordingThinnedAndZoomed() {
        Fed f(500);
        std::deque<PowerData> file;
        for (int i = 0; i < 100000; ++i)
            file.push_back(reading(qint64(i) * 1000, -60.0 + (i % 17)));
        file[60000].setPower(-99.0);
        f.model.replaceAll(file);
        f.settle();
        QVERIFY(f.series.count() > 500 && f.series.count() <= 2000);
        QCOMPARE(f.series.at(f.series.count() - 1), QPointF(99999000, -60.0 + 99999 % 17));

        f.zoomTo(50000000, 50300000);
        QCOMPARE(f.series.count(), 303);
        for (int i = 0; i < 303; ++i)
            QCOMPARE(f.series.at(i), QPointF((49999 + i) * 1000.0, -60.0 + ((49999 + i) % 17)));
        QCOMPARE(f.feeder.statsCount(), 301);
        f.zoomTo(40000000, 70000000);
        QVERIFY(f.series.count() > 500 && f.series.count() <= 2002);
        QCOMPARE(f.series.at(0).x(), 39999000.0);
        QCOMPARE(f.series.at(f.series.count() - 1).x(), 70001000.0);
        QVERIFY(f.series.points().contains(QPointF(60000000, -99.0)));
        f.feeder.setPixelColumns(50);
        QTRY_VERIFY(f.series.count() <= 200);
    }

    // The axes as the window binds them, round ticks inside in every view: the points, the window
    // zoomed and panned to, the operator's range, a zoomed rectangle over it until reset.
    void axesRoundInEveryView() {
        Fed f(600);
        f.settle();
        QVERIFY2(f.roundTicks(), "empty");
        const qint64 t0 = QDateTime(QDate(2026, 3, 1), QTime(12, 0)).toMSecsSinceEpoch();
        f.feeder.setYMin(-50.0);  // the model's range of one value, kept once it is cleared
        f.feeder.setYMax(-50.0);
        f.model.append(reading(t0, -50.0));
        f.model.append(reading(t0 + 1000, -50.0));
        f.settle();
        f.model.clear();
        f.settle();
        QVERIFY2(f.roundTicks("HH:mm:ss.zzz"), "cleared");
        for (int i = 0; i < 100; ++i)
            f.model.append(reading(t0 + i * 1000 + 317, -45.0 + i % 10 * 0.1));
        f.settle();
        QCOMPARE(QPointF(f.axisX.min(), f.axisX.max()), QPointF(t0 + 317, t0 + 99317));
        QVERIFY2(f.roundTicks(), "whole");
        f.feeder.setPixelColumns(300);  // a narrower plot: fewer labels, still apart
        QTRY_COMPARE(f.axisX.count(), 3);
        f.feeder.setPixelColumns(600);

        f.feeder.zoomTo(t0 + 10123.4, t0 + 30567.8, 0, 0);
        f.pan(0.36, 0.5);  // no value range set: the values stay automatic
        f.pan(0.01, 0);    // the same ticks
        const double shift = 0.37 * 20444.4;
        QCOMPARE(QPointF(f.axisX.min(), f.axisX.max()),
                 QPointF(t0 + 10123.4 + shift, t0 + 30567.8 + shift));
        QVERIFY2(f.roundTicks(), "panned");
        QCOMPARE(f.series.count(), 22);
        QVERIFY(f.axisY.min() < -45 && f.axisY.max() > -44.1);
        f.zoomTo(t0 + 50011, t0 + 50311);
        QVERIFY2(f.roundTicks("HH:mm:ss.zzz"), "zoomed in");

        f.feeder.resetView();
        QVERIFY(f.feeder.setFixedRange(-60, -20));
        // A rectangle: its values out to the next round ticks, panned with anchored ticks.
        f.zoomTo(t0 + 2000, t0 + 6000, -44.73, -44.12);
        QCOMPARE(f.yRange(), QPointF(-44.8, -44.0));
        f.pan(0, 0.37);
        QVERIFY2(f.roundTicks(), "values panned");
        f.feeder.resetView();
        f.settle();
        QVERIFY(!f.feeder.zoomed() && f.feeder.fixedRange());
        QCOMPARE(f.series.count(), 100);
        QCOMPARE(f.yRange(), QPointF(-60, -20));
        f.feeder.setAutoRange();
        f.settle();
        QVERIFY(f.axisY.min() >= -45.25 && f.axisY.max() <= -43.9);
        // A recording over New Year: the year on the labels.
        f.model.append(reading(t0 + 365 * 86400000LL, -40.0));
        f.settle();
        QVERIFY2(f.roundTicks("dd.MM.yyyy HH:mm"), "New Year");
    }

    // Readings on both sides of a decade are drawn in one unit: the newest record's, with the
    // prefix of the largest value, and a further meter's trace far below in the chart's prefix;
    // an empty window has no statistics. (Their figures: the pipeline's tests.)
    void oneUnitAndStatisticsInView() {
        Fed f;
        Trace trace(f.feeder);
        f.model.append(reading(1000, 999.7, "мкВт"));
        f.model.append(reading(2000, 2.00, "мВт"));
        trace.model.append(reading(1000, 20.0, "мкВт"));
        f.settle();
        QCOMPARE(f.feeder.yUnit(), QString("мВт"));
        QCOMPARE(f.series.at(0).y(), 0.9997);
        QCOMPARE(f.series.at(1).y(), 2.0);
        QCOMPARE(trace.feeder.yUnit(), QString("мВт"));
        QCOMPARE(trace.feeder.points().first(), QPointF(1000, 0.02));
        QVERIFY(f.axisY.min() <= 0.02 && f.axisY.max() >= 2.0);
        // After a switch to volts the older watt and dBm records are drawn in volts too.
        f.model.clear();
        f.model.append(reading(1000, 0.0, "дБм"));  // 223.607 mV
        f.model.append(reading(2000, 1.0, "мВт"));  // the same power
        f.model.append(reading(3000, 223.607, "мВ"));
        QTRY_COMPARE(f.feeder.yUnit(), QString("мВ"));
        for (int i = 0; i < 3; ++i)
            QVERIFY2(std::abs(f.series.at(i).y() - 223.607) < 0.001, QByteArray::number(i));
        // And back: the newest in dBm puts all in dBm; a value of no known unit is not drawn.
        f.model.append(reading(4000, -10.0, "дБм"));
        f.model.append(reading(5000, 5.0, "xВт"));
        QTRY_COMPARE(f.feeder.yUnit(), QString("дБм"));
        QCOMPARE(f.feeder.collect().size(), 4);
        QVERIFY(std::abs(f.series.at(0).y()) < 1e-9 && std::abs(f.series.at(2).y()) < 1e-4);
        f.zoomTo(50000, 60000);
        QCOMPARE(f.feeder.statsText(), QString("нет показаний"));
    }

    // A further meter's trace is drawn in the chart's view: its window and value axis, which
    // take in its readings (15 dB below, running on later), one refresh for both; zoomed from
    // either, both are; paused, both hold; removed, the ranges are the chart's own again.
    void followerSharesTheView() {
        Fed f(600);
        auto trace = std::make_unique<Trace>(f.feeder);
        ChartFeeder& follower = trace->feeder;
        QCOMPARE(follower.leader(), &f.feeder);
        QSignalSpy refreshed(&f.feeder, &ChartFeeder::refreshed);
        for (int i = 0; i < 100; ++i) {
            f.model.append(reading(i * 1000, -20.0 + i % 3));
            trace->model.append(reading(i * 1000 + 500, -35.0 - i % 3));
        }
        trace->model.append(reading(110000, -36.0));
        QVERIFY(refreshed.wait());
        QCoreApplication::processEvents();
        QCOMPARE(refreshed.count(), 1);
        QVERIFY2(f.axisY.min() <= -37 && f.axisY.max() >= -18, "both traces in view");
        QCOMPARE(QPointF(f.axisX.min(), f.axisX.max()), QPointF(0, 110000));
        const auto view = [](const ChartFeeder& c) {
            return QRectF(QPointF(c.viewXMin(), c.viewYMin()), QPointF(c.viewXMax(), c.viewYMax()));
        };
        QCOMPARE(view(follower), view(f.feeder));
        QCOMPARE(follower.pointCount(), 101);
        QCOMPARE(follower.points().last(), QPointF(110000, -36.0));
        QCOMPARE(f.series.count(), 100);
        QCOMPARE(follower.yUnit(), QString("дБм"));

        follower.zoomTo(10000, 20000, 0, 0);
        f.settle();
        QVERIFY(f.feeder.zoomed() && follower.zoomed());
        QCOMPARE(QPointF(f.axisX.min(), f.axisX.max()), QPointF(10000, 20000));
        QCOMPARE(follower.pointCount(), 12);  // ten inside, a neighbour each side
        QCOMPARE(follower.statsCount(), 10);
        QCOMPARE(f.feeder.statsCount(), 11);
        QVERIFY(follower.statsText() != f.feeder.statsText());
        f.feeder.resetView();
        f.settle();

        follower.setPaused(true);
        QVERIFY(f.feeder.paused() && follower.paused());
        f.model.append(reading(120000, -10.0));
        trace->model.append(reading(120000, -60.0));
        QCoreApplication::processEvents();
        f.zoomTo(0, 200000);
        QCOMPARE(follower.points().last().x(), 110000.0);
        QCOMPARE(f.series.points().last().x(), 99000.0);
        QVERIFY(f.axisY.min() > -50);
        {
            // A larger copy of the chart (`source`, for its picture) draws the trace as the chart
            // does: the held points, in the same view, and what came once resumed.
            Fed copy(1200);
            ChartFeeder copied;
            follow(copied, trace->model, copy.feeder);
            copy.feeder.setSource(&f.feeder);
            copy.settle();
            QCOMPARE(copied.points(), follower.points());
            QCOMPARE(copy.yRange(), f.yRange());
            f.feeder.setPaused(false);
            f.settle();
            QVERIFY(!follower.paused() && !follower.zoomed());
            QCOMPARE(follower.points().last(), QPointF(120000, -60.0));
            QVERIFY(f.axisY.min() <= -60 && f.axisY.max() >= -10);
            QTRY_COMPARE(copied.points().last(), QPointF(120000, -60.0));
            QTRY_COMPARE(copy.yRange(), f.yRange());
        }

        trace.reset();
        f.settle();
        QVERIFY2(f.axisY.min() > -30, "the removed trace left the value axis");
        QCOMPARE(f.axisX.max(), 120000.0);
    }

    // Traces of long recordings are thinned in the chart's columns: over the time range of all
    // of them, zoomed or not.
    void followerThinnedInTheChartsColumns() {
        Fed f(500);
        Trace trace(f.feeder);
        std::deque<PowerData> a, b;
        for (int i = 0; i < 100000; ++i) {
            a.push_back(reading(qint64(i) * 1000, -60.0 + (i % 17)));
            b.push_back(reading(qint64(i + 50000) * 1000, -70.0 + (i * 7 % 23)));
        }
        f.model.replaceAll(a);
        trace.model.replaceAll(b);
        f.settle();
        const QList<QPointF>& points = trace.feeder.points();
        QCOMPARE(QPointF(f.axisX.min(), f.axisX.max()), QPointF(0, 149999000));
        QVERIFY(points.size() > 250 && points.size() <= 1000);
        QVERIFY(fourPerColumn(points, 0, 149999000, 500));
        QVERIFY(fourPerColumn(f.feeder.points(), 0, 149999000, 500));
        QCOMPARE(points.first(), QPointF(50000000, -70.0));
        f.zoomTo(90000000, 120000000);
        QVERIFY(fourPerColumn(trace.feeder.points(), 90000000, 120000000, 500));
        QCOMPARE(trace.feeder.points().first().x(), 89999000.0);
    }
};

QTEST_MAIN(TestChartFeeder)
#include "tst_chartfeeder.moc"
