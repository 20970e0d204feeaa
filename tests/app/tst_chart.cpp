// The chart's parts without a window: thinning, clipping to a window, the view's state and the
// axes' round ticks.
#include <QDateTime>
#include <QFontMetricsF>
#include <QtTest>
#include <cmath>

#include <QRandomGenerator>

#include "chart/axisticks.h"
#include "chart/chartpass.h"
#include "chart/chartview.h"
#include "chart/pointreducer.h"
#include "chart/windowclip.h"

namespace {

bool whole(double v) {
    return std::abs(v - std::round(v)) < 1e-6;
}

QPointF range(const ChartView::Span& s) {
    return s.set ? QPointF(s.min, s.max) : QPointF(qQNaN(), qQNaN());
}

// A recording as the loader gives it: times rising with irregular gaps and repeats, levels that
// wander with spikes and flat runs, some records without a value or a known unit, and in `mixed`
// watts and volts among the dBm.
std::deque<PowerData> recording(QRandomGenerator& rnd, int records, bool mixed) {
    std::deque<PowerData> out;
    qint64 t = 1767222000000;  // 1 January 2026
    double level = -30;
    static const QString units[] = {QStringLiteral("дБм"), QStringLiteral("мВт"),
                                    QStringLiteral("мкВ"), QStringLiteral("nW")};
    for (int i = 0; i < records; ++i) {
        t += rnd.bounded(8) == 0 ? 0 : rnd.bounded(1, 3000);
        const int kind = rnd.bounded(100);
        if (kind < 3)
            level += rnd.bounded(2) ? 25 : -25;  // spike, kept
        else if (kind < 60)
            level += (rnd.generateDouble() - 0.5) * 2;  // else flat: equal levels
        level = std::clamp(level, -90.0, 20.0);
        const QString& unit = mixed ? units[rnd.bounded(4)] : units[0];
        PowerData r(QDateTime::fromMSecsSinceEpoch(t), 0, unit, 3000, QStringLiteral("кГц"));
        // As a record file holds it: six significant digits.
        r.setPower(QString::number(PowerUnits::fromDbm(level, *PowerUnits::parse(unit)), 'g', 6)
                       .toDouble());
        if (rnd.bounded(200) == 0)
            r.setPower(qQNaN());
        else if (rnd.bounded(400) == 0)
            r = PowerData(r.time(), -40, QStringLiteral("дБВт"), 3000, QStringLiteral("кГц"));
        out.push_back(r);
    }
    return out;
}

}  // namespace

class TestChart : public QObject {
    Q_OBJECT
private slots:
    // Per pixel column the first, lowest, highest and last point, in their order. Clipped to a
    // window: the points in it and one neighbour each side of every run, none twice.
    void reducerAndClip() {
        QList<QPointF> pts;
        for (int i = 0; i < 200; ++i)
            pts.append(QPointF(i, i == 10 ? -5 : i == 60 ? 7 : i == 120 ? 3 : i == 150 ? -9 : 0));
        QCOMPARE(PointReducer::reduce(pts, 2),
                 QList<QPointF>(
                     {pts[0], pts[10], pts[60], pts[99], pts[100], pts[120], pts[150], pts[199]}));
        QCOMPARE(PointReducer::reduce(pts, 50), pts);
        for (int i = 0; i < 200; ++i)
            pts[i].setY(i);  // rising: each point kept once, though first and lowest
        QCOMPARE(PointReducer::reduce(pts, 2),
                 QList<QPointF>({pts[0], pts[99], pts[100], pts[199]}));
        QList<QPointF> out;
        WindowClip clip(4, 6, [&out](double x, double y) { out.append(QPointF(x, y)); });
        for (const QPointF& p : {QPointF(0, 1), {1, 2}, {5, 3}, {20, 4}, {5, 5}, {0, 6}, {1, 7}})
            clip.push(p.x(), p.y());
        QCOMPARE(out, QList<QPointF>({{1, 2}, {5, 3}, {20, 4}, {5, 5}, {0, 6}}));
    }

    // Zoom and pan start from what was shown last; the window is never narrower than 100 ms nor
    // panned off the series, and widened past it follows the series again. Values move only where
    // a range is set; a zoomed rectangle takes the round ticks around it until reset.
    void viewZoomsAndPansWithinTheSeries() {
        ChartView v;
        QVERIFY(!v.zoom(0.5, 10) && !v.pan(0.5, 0));  // nothing shown yet
        v.setShown({0, 1000, -10, 10, 0, 1000});
        QCOMPARE(v.valueAt(0.25, 0.75), QPointF(250, -5));
        QVERIFY(v.zoom(0.5, 250) && v.zoomed());
        QCOMPARE(range(v.window()), QPointF(125, 625));
        QVERIFY(v.zoom(0.01, 250));
        QCOMPARE(range(v.window()), QPointF(225, 325));
        QVERIFY(v.zoom(1e6, 250) && !v.zoomed());
        QVERIFY(v.zoomTo(300, 200, 0, 0) && v.pan(1000, 0) && !v.pan(0, 0.5));
        QCOMPARE(range(v.window()), QPointF(1000, 1100));
        QVERIFY(v.pan(-1000, 0));
        QCOMPARE(range(v.window()), QPointF(-100, 0));
        QVERIFY(!v.setFixedRange(-20, -60) && !v.setFixedRange(qQNaN(), 0) && !v.fixed().set);
        QVERIFY(v.setFixedRange(-60, -20) && v.pan(0, 0.25));
        QCOMPARE(range(v.values()), QPointF(-50, -10));
        QVERIFY(v.zoomTo(2000, 6000, -44.73, -44.12));
        QCOMPARE(range(v.values()), QPointF(-44.8, -44.0));
        QVERIFY(v.pan(0, 0.37));
        QCOMPARE(range(v.values()), QPointF(-44.504, -43.704));
        v.reset();
        QVERIFY(!v.zoomed());
        QCOMPARE(range(v.values()), QPointF(-60, -20));
        v.setAutoRange();
        QVERIFY(!v.values().set);
        // Resumed, the view is the whole series again.
        QVERIFY(v.setPaused(true) && !v.setPaused(true) && v.zoomTo(0, 10, 1, 2));
        QVERIFY(v.setPaused(false) && !v.zoomed() && !v.paused());
    }

    void valueRangesAreRoundWithAMargin() {
        const double spans[][2] = {{-10.084, -10.0001}, {-50, -50}, {-1e-7, 2e-7}};
        for (const auto& [lo, hi] : spans) {
            const AxisTicks::ValueRange r = AxisTicks::valueRange(lo, hi, 6);
            const QByteArray at = QString("%1 … %2").arg(lo).arg(hi).toUtf8();
            QVERIFY2(r.min < lo && r.max > hi && r.ticks >= 2 && r.ticks <= 6, at);
            QVERIFY2(whole((r.max - r.min) / r.step) && whole(r.min / r.step), at);
            // Not so wide that the readings flatten into a line; labels never repeat.
            QVERIFY2(hi == lo || r.max - r.min < 4 * (hi - lo), at);
            QVERIFY2(r.step * std::pow(10.0, r.decimals) >= 0.999, at);
        }
        QCOMPARE(AxisTicks::valueRange(0.0, 1.0, 7).step, 0.25);
        // A fixed range as typed: a round step where one divides it, else round ticks inside, the
        // axis adding the step up from the first while it is not past the top.
        QCOMPARE(AxisTicks::exactRange(-35.0, 0.0, 7).step, 5.0);
        QCOMPARE(AxisTicks::exactRange(-60.0, -20.0, 7).step, 10.0);
        const AxisTicks::ValueRange typed = AxisTicks::exactRange(-37.0, 0.0, 7);
        QCOMPARE(QPointF(typed.first, typed.step), QPointF(-30, 10));
        const AxisTicks::ValueRange r = AxisTicks::exactRange(1.17, 1.7, 7);
        int drawn = 0;
        for (double v = r.first; v <= r.max; v += r.step)
            ++drawn;
        QVERIFY(!r.bounded && std::abs(r.max - 1.7) < 1e-9 && drawn == 6);
        QCOMPARE(QPointF(r.first, r.step), QPointF(1.2, 0.1));
    }

    // Plots 300 … 400 px wide (a chart of 400 px leaves about 330), spans from 0.1 s to 60 days, in
    // an axis' font: whole labels inside the plot, apart, none wider than the axis' share for it
    // (cut to "..." else).
    void timeLabelsFitANarrowPlot() {
        const QFontMetricsF metrics{QFont()};
        const auto width = [&metrics](const QString& s) { return metrics.horizontalAdvance(s); };
        const qint64 day = 86400000,
                     t0 = QDateTime(QDate(2026, 12, 10), QTime(8, 30, 0, 317)).toMSecsSinceEpoch();
        for (int plot = 300; plot <= 400; plot += 10)
            for (double span = 100; span < 60 * day; span *= 1.5) {
                const AxisTicks::TimeTicks t =
                    AxisTicks::timeTicks(t0, t0 + span, plot, plot, width);
                const QByteArray at = QByteArray::number(span) + " in " + QByteArray::number(plot);
                QVERIFY2(!t.at.isEmpty() && (plot < 400 || t.at.size() >= 2), at);
                for (qsizetype i = 0; i < t.at.size(); ++i) {
                    const double w = width(t.labels[i]), x = (t.at[i] - t0) * plot / span;
                    QVERIFY2(x >= w / 2 && plot - x >= w / 2, at);
                    QVERIFY2(w + 10 <= double(plot) / double(t.at.size() + 1), at);
                    if (i > 0)
                        QVERIFY2((t.at[i] - t.at[i - 1]) * plot / span >= w + 8, at);
                }
            }
    }

    // A recording read from its summary gives the points, bounds and statistics of a walk over
    // every record: whole, zoomed to windows from a few records to most of it, inside and beyond
    // the series, thinned to many plot widths, in every unit family (records in several units
    // are walked in watts and volts: there equal levels may differ in their last bit).
    void summaryReadsAsTheWalk() {
        QRandomGenerator rnd(20261207);
        for (int round = 0; round < 6; ++round) {
            const bool mixed = round % 2;
            PowerDataModel model;
            auto series = recording(rnd, round < 2 ? 3000 : 40000, mixed);
            auto summary = SeriesSummary::build(series);
            QVERIFY(summary);
            const auto [lo, hi] = PowerDataModel::powerRange(series);
            model.replaceAll(std::move(series), lo, hi, summary);
            static const int families[] = {0, 0, 2, 0, 1, -1};
            model.setUnitFamily(families[round]);
            SeriesReader reader;
            reader.setModel(&model);
            reader.setYColumn(PowerDataModel::ColPower);
            QVERIFY(reader.summarised());
            const double t0 = double(model.series().front().msecsSinceEpoch()),
                         t1 = double(model.series().back().msecsSinceEpoch());
            for (int view = 0; view < 40; ++view) {
                ChartView::Span window;
                if (view > 0) {
                    const double span = (t1 - t0) * std::pow(10.0, -rnd.generateDouble() * 5);
                    window.set = true;
                    window.min = t0 - span / 4 + rnd.generateDouble() * (t1 - t0);
                    window.max = window.min + span;
                }
                const int columns = view % 5 == 0 ? 0 : rnd.bounded(50, 1900);
                const ChartPass quick = ChartPass::run(reader, window, columns);
                const ChartPass walked = ChartPass::walk(reader, window, columns);
                const QByteArray at = QByteArray::number(round) + "/" + QByteArray::number(view);
                QVERIFY2(quick.points == walked.points, at);
                QCOMPARE(quick.unit, walked.unit);
                QCOMPARE(quick.dataMin, walked.dataMin);
                QCOMPARE(quick.dataMax, walked.dataMax);
                const auto& a = quick.bounds;
                const auto& b = walked.bounds;
                QVERIFY2(a.count == b.count && a.xMin == b.xMin && a.xMax == b.xMax, at);
                QVERIFY2(a.count == 0 || (a.yMin == b.yMin && a.yMax == b.yMax), at);
                QCOMPARE(quick.stats.count(), walked.stats.count());
                if (a.count > 0) {
                    QVERIFY2(qAbs(quick.stats.min() - walked.stats.min()) < 1e-9, at);
                    QVERIFY2(qAbs(quick.stats.max() - walked.stats.max()) < 1e-9, at);
                    QVERIFY2(qAbs(quick.stats.mean() - walked.stats.mean()) < 1e-9, at);
                    QVERIFY2(qAbs(quick.stats.stdDev() - walked.stats.stdDev()) < 1e-9, at);
                }
            }
        }
    }

    // No summary where it could not stand in for every record: then the records are walked.
    void summaryOnlyWhereExact() {
        const auto record = [](qint64 t, double power, const char* unit) {
            return PowerData(QDateTime::fromMSecsSinceEpoch(t), power, QString::fromUtf8(unit),
                             3000, QStringLiteral("кГц"));
        };
        const std::deque<PowerData> fine{record(1000, -20, "дБм"), record(1000, qQNaN(), "дБм"),
                                         record(2000, 1.5, "мВт"), record(3000, 2, "xВт")};
        QVERIFY(SeriesSummary::build(fine));
        QVERIFY(SeriesSummary::build({}));
        const std::deque<PowerData> faults[] = {
            {record(2000, -20, "дБм"), record(1000, -20, "дБм")},  // time goes back
            {record(1000, -20, "дБм"), PowerData()},               // no time
            {record(1000, 0, "мВт")},                              // drawn in W, no level
            {record(1000, -1, "мкВ")},
            {record(1000, 5000, "дБм")},  // overflows in watts
            {record(1000, qInf(), "дБм")},
        };
        for (const auto& f : faults)
            QVERIFY2(!SeriesSummary::build(f), qPrintable(f.back().powerUnit()));
        std::deque<PowerData> shownAgain{record(1000, -20, "дБм")};
        shownAgain.back().setRepeat(true);
        QVERIFY(!SeriesSummary::build(shownAgain));
        // Any change of the series drops the summary.
        PowerDataModel model;
        model.replaceAll(fine, -20, 1.76, SeriesSummary::build(fine));
        QVERIFY(model.summary());
        model.append(record(4000, -10, "дБм"));
        QVERIFY(!model.summary());
        model.replaceAll(fine, -20, 1.76, SeriesSummary::build(fine));
        model.setData(model.index(0, PowerDataModel::ColPower), -30);
        QVERIFY(!model.summary());
    }
};

QTEST_MAIN(TestChart)
#include "tst_chart.moc"
