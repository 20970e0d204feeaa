#include <cmath>

#include "fed.h"

class TestChartFeeder : public QObject {
    Q_OBJECT
private slots:
    // Per pixel column the first, lowest, highest and last point, in their order.
    void reduceKeepsFirstExtremesAndLastPerColumn() {
        QList<QPointF> pts;
        for (int i = 0; i < 200; ++i)
            pts.append(QPointF(i, i == 10 ? -5 : i == 60 ? 7 : i == 120 ? 3 : i == 150 ? -9 : 0));
        QCOMPARE(ChartFeeder::reduce(pts.mid(0, 40), 10), pts.mid(0, 40));  // short: whole
        QCOMPARE(ChartFeeder::reduce(pts, 0), pts);
        QCOMPARE(ChartFeeder::reduce(pts, 2),
                 QList<QPointF>(
                     {pts[0], pts[10], pts[60], pts[99], pts[100], pts[120], pts[150], pts[199]}));
        // All at one instant: one column.
        for (QPointF& p : pts)
            p.setX(5.0);
        QCOMPARE(ChartFeeder::reduce(pts, 2),
                 QList<QPointF>({pts[0], pts[60], pts[150], pts[199]}));
    }

    // The series is handed over whole, once per burst of model resets, never point by point;
    // readings without a value are left out.
    void oneReplacePerBurstOfResets() {
        Fed f;
        QSignalSpy replaced(&f.series, &QXYSeries::pointsReplaced);
        QSignalSpy added(&f.series, &QXYSeries::pointAdded);
        f.model.append(reading(0, qQNaN()));
        for (int i = 1; i < 1000; ++i)
            f.model.append(reading(i * 1000, -50.0 + i % 10));
        QVERIFY(replaced.wait());
        QCOMPARE(replaced.count(), 1);
        QCOMPARE(f.series.count(), 999);
        f.model.append(reading(1000 * 1000, -42.0));  // at capacity: two resets
        QVERIFY(replaced.wait());
        QCOMPARE(replaced.count(), 2);
        QCOMPARE(added.count(), 0);
        QCOMPARE(f.series.count(), 1000);
        QCOMPARE(f.series.at(999), QPointF(1000 * 1000, -42.0));
        f.model.clear();
        QTRY_COMPARE(f.series.count(), 0);
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
        QCOMPARE(f.model.rowCount(), 100000);
        QVERIFY(f.series.count() > 500 && f.series.count() <= 2000);
        QCOMPARE(f.feeder.pointCount(), f.series.count());
        QVERIFY2(f.series.points().contains(QPointF(77777000, -99.0)), "a lone extreme stays");
        QCOMPARE(f.series.at(0).x(), 0.0);
        QCOMPARE(f.series.at(f.series.count() - 1).x(), 99999000.0);
        for (int i = 1; i < f.series.count(); ++i)
            QVERIFY(f.series.at(i - 1).x() < f.series.at(i).x());
        f.feeder.setPixelColumns(50);
        QTRY_VERIFY(f.series.count() <= 200);
        f.feeder.setPixelColumns(0);
        QTRY_COMPARE(f.series.count(), 100000);
    }

    // The axes as the window binds them: round ticks around the points, set with the points.
    void axesHoldThePointsOnRoundTicks() {
        Fed f(600);
        QDateTimeAxis axisX;
        QValueAxis axisY;
        f.feeder.setAxisX(&axisX);
        f.feeder.setAxisY(&axisY);
        const qint64 t0 = QDateTime(QDate(2026, 3, 1), QTime(12, 0)).toMSecsSinceEpoch();
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
        for (const auto& [lo, hi] :
             std::initializer_list<std::pair<double, double>>{{-10.084, -10.0001},
                                                              {0.9997, 1.0},
                                                              {-50, -50},
                                                              {0, 0},
                                                              {3, 1000},
                                                              {-1e-7, 2e-7}}) {
            const ChartFeeder::ValueRange r = ChartFeeder::valueRange(lo, hi, 6);
            const QByteArray at = QString("%1 … %2").arg(lo).arg(hi).toUtf8();
            QVERIFY2(r.min < lo && r.max > hi && r.ticks >= 2 && r.ticks <= 6, at);
            QVERIFY2(std::abs(r.min + (r.ticks - 1) * r.step - r.max) < r.step * 1e-6, at);
            QVERIFY2(std::abs(std::round(r.min / r.step) - r.min / r.step) < 1e-6, at);
            // Not so wide that the readings flatten into a line; labels never repeat.
            QVERIFY2(hi == lo || r.max - r.min < 4 * (hi - lo), at);
            QVERIFY2(r.step * std::pow(10.0, r.decimals) >= 0.999, at);
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
                const QByteArray at =
                    QString("span %1 ms, %2 ticks").arg(span).arg(maxTicks).toUtf8();
                QVERIFY2(r.min <= t0 && r.max >= t0 + span && r.max > r.min, at);
                QVERIFY2(r.step >= 1000 && r.step % 1000 == 0, at);
                QVERIFY2(r.ticks >= 2 && r.ticks <= maxTicks, at);
                QCOMPARE(r.max - r.min, (r.ticks - 1) * r.step);
                // On the local clock's whole steps.
                const QTime start = QDateTime::fromMSecsSinceEpoch(r.min).time();
                QVERIFY2(r.step > 86400000 ||
                             (start.msec() == 0 && start.msecsSinceStartOfDay() % r.step == 0),
                         at);
            }
        }
    }

    // Readings on both sides of a decade are drawn in one unit: the newest record's, with the
    // prefix of the largest value.
    void pointsShareOneUnit() {
        Fed f;
        f.model.append(reading(1000, 999.7, "мкВт"));
        f.model.append(reading(2000, 1.00, "мВт"));
        QTRY_COMPARE(f.series.count(), 2);
        QCOMPARE(f.feeder.yUnit(), QString("мВт"));
        QCOMPARE(f.series.at(0).y(), 0.9997);
        QCOMPARE(f.series.at(1).y(), 1.0);
        // After a switch to volts the older watt and dBm records are drawn in volts too.
        f.model.clear();
        f.model.append(reading(1000, 0.0, "дБм"));  // 223.607 mV
        f.model.append(reading(2000, 1.0, "мВт"));  // the same power
        f.model.append(reading(3000, 223.607, "мВ"));
        QTRY_COMPARE(f.feeder.yUnit(), QString("мВ"));
        for (int i = 0; i < 3; ++i)
            QVERIFY2(std::abs(f.series.at(i).y() - 223.607) < 0.001, QByteArray::number(i));
        // And back: the newest in dBm puts all in dBm.
        f.model.append(reading(4000, -10.0, "дБм"));
        QTRY_COMPARE(f.feeder.yUnit(), QString("дБм"));
        QVERIFY(std::abs(f.series.at(0).y()) < 1e-9 && std::abs(f.series.at(2).y()) < 1e-4);
        QCOMPARE(f.series.at(3).y(), -10.0);
    }

    void unitTextsRoundTrip() {
        for (int family = 1; family <= 2; ++family)
            for (int step = 0; step <= 6; ++step) {
                const auto back = ChartFeeder::parseUnit(ChartFeeder::unitText({family, step}));
                QCOMPARE(std::make_pair(back.family, back.step), std::make_pair(family, step));
            }
        QCOMPARE(ChartFeeder::parseUnit("Ватт").step, 3);
        QCOMPARE(ChartFeeder::parseUnit("xВт").family, 0);
        QCOMPARE(ChartFeeder::convert(1.0, {1, 3}, {0, 0}), 30.0);
        QVERIFY(std::abs(ChartFeeder::convert(0.0, {0, 0}, {2, 2}) - 223.6068) < 1e-3);
    }
};

QTEST_MAIN(TestChartFeeder)
#include "tst_chartfeeder.moc"
