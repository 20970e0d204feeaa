#include <QDateTimeAxis>
#include <QLineSeries>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QValueAxis>
#include <QtTest>
#include <cmath>

#include "chartfeeder.h"
#include "powerdatamodel.h"

namespace {

PowerData reading(qint64 msecs, double dBm) {
    return PowerData(QDateTime::fromMSecsSinceEpoch(msecs), dBm, "дБм", 3000.0, "кГц");
}

// A series fed from a power model, `columns` pixel columns wide (0: every point).
struct Fed {
    PowerDataModel model;
    QLineSeries series;
    ChartFeeder feeder;
    explicit Fed(int columns = 0) {
        feeder.setSeries(&series);
        feeder.setXColumn(model.eTime());
        feeder.setYColumn(model.edBm());
        if (columns)
            feeder.setPixelColumns(columns);
        feeder.setModel(&model);
    }
};

}  // namespace

class TestChartFeeder : public QObject {
    Q_OBJECT
private slots:
    void shortSeriesStaysWhole() {
        QList<QPointF> pts;
        for (int i = 0; i < 40; ++i)
            pts.append(QPointF(i, i % 7));
        QCOMPARE(ChartFeeder::reduce(pts, 10), pts);
        QCOMPARE(ChartFeeder::reduce(pts, 0), pts);
    }

    void reductionKeepsFirstExtremesAndLastPerColumn() {
        // Two columns: x 0..99 and 100..199.
        QList<QPointF> pts;
        for (int i = 0; i < 200; ++i)
            pts.append(QPointF(i, 0.0));
        pts[10].setY(-5.0);
        pts[60].setY(7.0);
        pts[150].setY(-9.0);
        pts[120].setY(3.0);
        QCOMPARE(ChartFeeder::reduce(pts, 2),
                 QList<QPointF>(
                     {pts[0], pts[10], pts[60], pts[99], pts[100], pts[120], pts[150], pts[199]}));
        // All at one instant: one column.
        QList<QPointF> still;
        for (int i = 0; i < 50; ++i)
            still.append(QPointF(5.0, i == 20 ? -1.0 : i == 30 ? 9.0 : 2.0));
        QCOMPARE(ChartFeeder::reduce(still, 2),
                 QList<QPointF>({still[0], still[20], still[30], still[49]}));
    }

    void reductionIsBoundedOrderedAndKeepsTheRange() {
        QList<QPointF> pts;
        for (int i = 0; i < 100000; ++i)
            pts.append(QPointF(i, std::sin(i * 0.01) * 10 + (i % 13)));
        const QList<QPointF> out = ChartFeeder::reduce(pts, 800);
        QVERIFY(out.size() > 800 && out.size() <= 4 * 800);
        QCOMPARE(out.first(), pts.first());
        QCOMPARE(out.last(), pts.last());
        double lo = out.first().y(), hi = lo, loAll = lo, hiAll = lo;
        for (qsizetype i = 1; i < out.size(); ++i)
            QVERIFY(out[i - 1].x() < out[i].x());
        for (const QPointF& p : out)
            lo = std::min(lo, p.y()), hi = std::max(hi, p.y());
        for (const QPointF& p : pts)
            loAll = std::min(loAll, p.y()), hiAll = std::max(hiAll, p.y());
        QCOMPARE(lo, loAll);
        QCOMPARE(hi, hiAll);
    }

    void feedsSeriesWithoutReadingsWithoutValue() {
        Fed f;
        QCOMPARE(f.series.count(), 0);
        f.model.append(reading(1000, -40.0));
        f.model.append(reading(2000, qQNaN()));
        f.model.append(reading(3000, -42.0));
        QTRY_COMPARE(f.series.count(), 2);
        QCOMPARE(f.series.at(1), QPointF(3000, -42.0));
        f.model.clear();
        QTRY_COMPARE(f.series.count(), 0);
    }

    // The series is handed over whole, once per burst of model resets, never point by point.
    void oneReplacePerBurstOfResets() {
        Fed f;
        QSignalSpy replaced(&f.series, &QXYSeries::pointsReplaced);
        QSignalSpy added(&f.series, &QXYSeries::pointAdded);
        QSignalSpy resets(&f.model, &QAbstractItemModel::modelReset);
        for (int i = 0; i < 1000; ++i)
            f.model.append(reading(i * 1000, -50.0 + i % 10));
        QVERIFY(replaced.wait());
        QCOMPARE(replaced.count(), 1);
        f.model.append(reading(1000 * 1000, -50.0));  // at capacity: two resets
        QCOMPARE(resets.count(), 1002);
        QVERIFY(replaced.wait());
        QCOMPARE(replaced.count(), 2);
        QCOMPARE(added.count(), 0);
        QCOMPARE(f.series.count(), 1000);
        QCOMPARE(f.series.at(0).x(), 1000.0);
    }

    void bigRecordingIsThinnedModelKeepsAll() {
        Fed f(500);
        std::deque<PowerData> file;
        for (int i = 0; i < 100000; ++i)
            file.push_back(reading(qint64(i) * 1000, -60.0 + (i % 17)));
        file[77777].setPower(-99.0);
        QSignalSpy replaced(&f.series, &QXYSeries::pointsReplaced);
        f.model.replaceAll(file);
        QVERIFY(replaced.wait());
        QCOMPARE(replaced.count(), 1);
        QCOMPARE(f.model.rowCount(), 100000);
        QVERIFY(f.series.count() <= 2000);
        QCOMPARE(f.feeder.pointCount(), f.series.count());
        QVERIFY2(f.series.points().contains(QPointF(77777000, -99.0)), "a lone extreme stays");
        QCOMPARE(f.series.at(0).x(), 0.0);
        QCOMPARE(f.series.at(f.series.count() - 1).x(), 99999000.0);
        f.feeder.setPixelColumns(50);
        QTRY_VERIFY(f.series.count() <= 200);
        f.feeder.setPixelColumns(0);
        QTRY_COMPARE(f.series.count(), 100000);
    }

    void genericModelColumnsAndEdits() {
        QStandardItemModel model(3, 3);
        for (int r = 0; r < 3; ++r) {
            model.setData(model.index(r, 0), QDateTime::fromMSecsSinceEpoch(r * 10));
            model.setData(model.index(r, 2), -r * 1.5);
        }
        QLineSeries series;
        ChartFeeder feeder;
        feeder.setXColumn(0);
        feeder.setYColumn(2);
        feeder.setSeries(&series);
        feeder.setModel(&model);
        QCOMPARE(series.at(2), QPointF(20, -3.0));
        model.setData(model.index(2, 2), 4.0);
        QTRY_COMPARE(series.at(2), QPointF(20, 4.0));
    }

    // The axes as the window binds them: round ticks around the points, set with the points.
    void axesHoldThePointsOnRoundTicks() {
        Fed f(600);
        QDateTimeAxis axisX;
        QValueAxis axisY;
        f.feeder.setAxisX(&axisX);
        f.feeder.setAxisY(&axisY);
        const qint64 t0 = QDateTime(QDate(2026, 3, 1), QTime(12, 0, 0, 0)).toMSecsSinceEpoch();
        for (int i = 1; i <= 10; ++i)
            f.model.append(reading(t0 + i * 1000 + 317, -50.0 + i * 0.1));
        QTRY_COMPARE(f.series.count(), 10);
        // Both ends whole seconds outside the points; every tick a whole step apart.
        QVERIFY(axisX.min().toMSecsSinceEpoch() <= t0 + 1317);
        QVERIFY(axisX.max().toMSecsSinceEpoch() >= t0 + 10317);
        QCOMPARE(axisX.min().toMSecsSinceEpoch() % 1000, 0);
        const qint64 span = axisX.max().toMSecsSinceEpoch() - axisX.min().toMSecsSinceEpoch();
        QCOMPARE(span % ((axisX.tickCount() - 1) * 1000), 0);
        QCOMPARE(axisX.format(), QString("HH:mm:ss"));
        // A margin around -49.9 … -49.0, bounds on the tick step, labels with its decimals.
        QVERIFY(axisY.min() < -49.9 && axisY.min() > -50.2);
        QVERIFY(axisY.max() > -49.0 && axisY.max() < -48.7);
        const double step = (axisY.max() - axisY.min()) / (axisY.tickCount() - 1);
        QCOMPARE(std::round(axisY.min() / step) * step, axisY.min());
        QCOMPARE(axisY.labelFormat(), step < 0.1 ? QString("%.2f") : QString("%.1f"));

        QSignalSpy removed(&f.series, &QXYSeries::pointsRemoved);
        f.feeder.refresh();  // moves no axis: the curve stays
        QCOMPARE(removed.count(), 0);
        f.model.clear();  // nothing drawn: the axes keep their range
        QTRY_COMPARE(f.series.count(), 0);
        QVERIFY(axisY.min() < -49.9);
    }

    void valueRangesAreRoundWithAMargin() {
        const struct {
            double lo, hi;
        } cases[] = {{-10.084, -10.0001}, {0.9997, 1.0}, {-50, -50}, {0, 0},
                     {3, 1000},           {-1e-7, 2e-7}};
        for (const auto& c : cases) {
            const ChartFeeder::ValueRange r = ChartFeeder::valueRange(c.lo, c.hi, 6);
            const QString at = QString("%1 … %2").arg(c.lo).arg(c.hi);
            QVERIFY2(r.min < c.lo && r.max > c.hi, qPrintable(at));
            QVERIFY2(r.ticks >= 2 && r.ticks <= 6, qPrintable(at));
            QVERIFY2(std::abs(r.min + (r.ticks - 1) * r.step - r.max) < r.step * 1e-6,
                     qPrintable(at));
            QVERIFY2(std::abs(std::round(r.min / r.step) - r.min / r.step) < 1e-6, qPrintable(at));
            // Not a window so wide that the readings flatten into a line.
            if (c.hi > c.lo)
                QVERIFY2(r.max - r.min < 4 * (c.hi - c.lo), qPrintable(at));
            // Labels at step/10^decimals never repeat.
            QVERIFY2(r.step * std::pow(10.0, r.decimals) >= 0.999, qPrintable(at));
        }
        QCOMPARE(ChartFeeder::valueRange(0.2, 0.7, 7).decimals, 1);
        QCOMPARE(ChartFeeder::valueRange(0.0, 1.0, 7).step, 0.25);
        QCOMPARE(ChartFeeder::valueRange(0.0, 1.0, 7).decimals, 2);
    }

    // Short spans never give two labels of the same second; long ones stay within the ticks.
    void timeRangesStepWholeSecondsOrMore() {
        const qint64 t0 = QDateTime(QDate(2026, 7, 1), QTime(9, 59, 58, 250)).toMSecsSinceEpoch();
        for (qint64 span : {0LL, 1500LL, 3000LL, 47000LL, 3600000LL, 1000000LL, 200000000LL}) {
            for (int maxTicks : {2, 5, 8}) {
                const ChartFeeder::TimeRange r = ChartFeeder::timeRange(t0, t0 + span, maxTicks);
                const QString at = QString("span %1 ms, %2 ticks").arg(span).arg(maxTicks);
                QVERIFY2(r.min <= t0 && r.max >= t0 + span && r.max > r.min, qPrintable(at));
                QVERIFY2(r.step >= 1000 && r.step % 1000 == 0, qPrintable(at));
                QVERIFY2(r.ticks >= 2 && r.ticks <= maxTicks, qPrintable(at));
                QCOMPARE(r.max - r.min, (r.ticks - 1) * r.step);
                // On the local clock's whole steps.
                const QTime start = QDateTime::fromMSecsSinceEpoch(r.min).time();
                QVERIFY2((start.msec() == 0 && start.msecsSinceStartOfDay() % r.step == 0) ||
                             r.step > 86400000,
                         qPrintable(at));
            }
        }
    }

    // Readings on both sides of a decade are drawn in one unit, with the newest record's unit.
    void pointsShareOneUnit() {
        Fed f;
        const auto add = [&](qint64 ms, double value, const char* unit) {
            f.model.append(
                PowerData(QDateTime::fromMSecsSinceEpoch(ms), value, unit, 3000.0, "кГц"));
        };
        add(1000, 999.7, "мкВт");
        add(2000, 1.00, "мВт");
        add(3000, 1.25, "мВт");
        QTRY_COMPARE(f.series.count(), 3);
        QCOMPARE(f.feeder.yUnit(), QString("мВт"));
        QCOMPARE(f.series.at(0).y(), 0.9997);
        QCOMPARE(f.series.at(1).y(), 1.0);

        // After a switch to volts the older watt and dBm records are drawn in volts too.
        f.model.clear();
        add(1000, 0.0, "дБм");  // 223.607 mV
        add(2000, 1.0, "мВт");  // the same power
        add(3000, 223.607, "мВ");
        QTRY_COMPARE(f.feeder.yUnit(), QString("мВ"));
        QCOMPARE(f.series.count(), 3);
        for (int i = 0; i < 3; ++i)
            QVERIFY2(std::abs(f.series.at(i).y() - 223.607) < 0.001,
                     qPrintable(QString::number(i)));

        // And back: the newest in dBm puts all in dBm.
        add(4000, -10.0, "дБм");
        QTRY_COMPARE(f.feeder.yUnit(), QString("дБм"));
        QVERIFY(std::abs(f.series.at(0).y()) < 1e-9);
        QVERIFY(std::abs(f.series.at(2).y()) < 1e-4);
        QCOMPARE(f.series.at(3).y(), -10.0);

        // Prefix follows the largest value: a kilowatt among watts.
        f.model.clear();
        add(1000, 500.0, "Вт");
        add(2000, 1.5, "кВт");
        QTRY_COMPARE(f.feeder.yUnit(), QString("кВт"));
        QCOMPARE(f.series.at(0).y(), 0.5);
    }

    void unitTextsRoundTrip() {
        for (int family = 1; family <= 2; ++family)
            for (int step = 0; step <= 6; ++step) {
                const ChartFeeder::Unit u{family, step};
                const ChartFeeder::Unit back = ChartFeeder::parseUnit(ChartFeeder::unitText(u));
                QCOMPARE(back.family, family);
                QCOMPARE(back.step, step);
            }
        QCOMPARE(ChartFeeder::parseUnit("Ватт").family, 1);
        QCOMPARE(ChartFeeder::parseUnit("Ватт").step, 3);
        QCOMPARE(ChartFeeder::parseUnit("дБм").family, 0);
        QCOMPARE(ChartFeeder::parseUnit("xВт").family, 0);
        QCOMPARE(ChartFeeder::convert(1.0, {1, 3}, {0, 0}), 30.0);
        QVERIFY(std::abs(ChartFeeder::convert(0.0, {0, 0}, {2, 2}) - 223.6068) < 1e-3);
    }
};

QTEST_MAIN(TestChartFeeder)
#include "tst_chartfeeder.moc"
