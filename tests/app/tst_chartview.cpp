// The chart's view: time window, pause, value range and the statistics of what is in view.

#include "fed.h"

class TestChartView : public QObject {
    Q_OBJECT
private slots:
    // Zoomed into a long recording, the real points of the window and one neighbour each side.
    void zoomShowsRealPointsOfTheWindow() {
        Fed f(500);
        std::deque<PowerData> file;
        for (int i = 0; i < 100000; ++i)
            file.push_back(reading(qint64(i) * 1000, -60.0 + (i % 17)));
        file[60000].setPower(-99.0);
        f.model.replaceAll(file);
        f.settle();
        QVERIFY(f.series.count() <= 2000);
        f.feeder.zoomTo(50000000, 50300000, 0, 0);
        f.settle();
        QVERIFY(f.feeder.zoomed());
        QCOMPARE(f.series.count(), 303);
        for (int i = 0; i < 303; ++i)
            QCOMPARE(f.series.at(i), QPointF((49999 + i) * 1000.0, -60.0 + ((49999 + i) % 17)));
        QCOMPARE(f.axisX.min().toMSecsSinceEpoch(), 50000000);
        QCOMPARE(f.axisX.max().toMSecsSinceEpoch(), 50300000);
        QCOMPARE(f.feeder.statsCount(), 301);
        // Wider than the plot: thinned over the window only, the lone extreme kept.
        f.feeder.zoomTo(40000000, 70000000, 0, 0);
        f.settle();
        QVERIFY(f.series.count() > 500 && f.series.count() <= 2002);
        QCOMPARE(f.series.at(0).x(), 39999000.0);
        QCOMPARE(f.series.at(f.series.count() - 1).x(), 70001000.0);
        QVERIFY(f.series.points().contains(QPointF(60000000, -99.0)));
        // A copy drawing the same view (the picture) takes the same points.
        ChartFeeder copy;
        QLineSeries copied;
        copy.setSeries(&copied);
        copy.setPixelColumns(500);
        copy.setSource(&f.feeder);
        QTRY_COMPARE(copied.points(), f.series.points());
        QCOMPARE(copy.statsText(), f.feeder.statsText());
        // Wheel steps keep the point under the pointer; widened past the series it follows again.
        f.feeder.zoomTo(0, 100000, 0, 0);
        f.feeder.zoom(0.5, 25000);
        f.settle();
        QCOMPARE(f.feeder.viewXMin(), 12500.0);
        QCOMPARE(f.feeder.viewXMax(), 62500.0);
        QCOMPARE(f.feeder.valueAt(0.25, 0).x(), 25000.0);
        f.feeder.zoom(1e6, 25000);
        f.settle();
        QVERIFY(!f.feeder.zoomed());
        QVERIFY(f.series.count() <= 2000);
    }

    void panMovesTheWindowAndResetShowsAll() {
        Fed f(0);
        for (int i = 0; i < 100; ++i)
            f.model.append(reading(i * 1000, -50.0 + i % 3));
        f.settle();
        f.feeder.zoomTo(10000, 30000, 0, 0);
        f.feeder.pan(0.5, 0.5);  // no value range set: the values stay automatic
        f.settle();
        QCOMPARE(f.axisX.min().toMSecsSinceEpoch(), 20000);
        QCOMPARE(f.axisX.max().toMSecsSinceEpoch(), 40000);
        QCOMPARE(f.series.count(), 23);
        QVERIFY(f.axisY.min() < -50 && f.axisY.max() > -48);
        // Never past the end of the series.
        f.feeder.pan(100, 0);
        f.settle();
        QCOMPARE(f.feeder.viewXMin(), 99000.0);
        f.feeder.resetView();
        f.settle();
        QVERIFY(!f.feeder.zoomed());
        QCOMPARE(f.series.count(), 100);
    }

    // Held still while the model grows (and drops its oldest at capacity), zoomable meanwhile;
    // resumed, it shows what came.
    void pauseHoldsResumeCatchesUp() {
        Fed f(0);
        for (int i = 0; i < 1000; ++i)
            f.model.append(reading(i * 1000, -50.0));
        f.settle();
        const QList<QPointF> held = f.series.points();
        QSignalSpy paused(&f.feeder, &ChartFeeder::pausedChanged);
        f.feeder.setPaused(true);
        QCOMPARE(paused.count(), 1);
        QSignalSpy replaced(&f.series, &QXYSeries::pointsReplaced);
        for (int i = 1000; i < 1010; ++i)
            f.model.append(reading(i * 1000, -40.0));
        QCoreApplication::processEvents();
        QCOMPARE(replaced.count(), 0);
        QCOMPARE(f.model.rowCount(), 1000);
        f.feeder.zoomTo(-500, 1500, 0, 0);
        f.settle();
        QCOMPARE(f.series.points(), held.mid(0, 3));
        f.feeder.resetView();
        f.settle();
        QCOMPARE(f.series.points(), held);
        QCOMPARE(f.feeder.statsCount(), 1000);
        f.feeder.zoomTo(0, 5000, 0, 0);  // resuming runs the whole chart again
        f.feeder.setPaused(false);
        f.settle();
        QVERIFY(!f.feeder.zoomed());
        QCOMPARE(f.series.at(999), QPointF(1009000, -40.0));
        QCOMPARE(f.series.at(0).x(), 10000.0);
    }

    // The operator's range as typed; a zoomed rectangle over it until reset; automatic again.
    void fixedRangeApplied() {
        Fed f(0);
        for (int i = 0; i < 10; ++i)
            f.model.append(reading(i * 1000, -45.0 + i * 0.1));
        f.settle();
        QVERIFY(!f.feeder.setFixedRange(-20, -60));
        QVERIFY(f.feeder.setFixedRange(-60, -20));
        f.settle();
        QCOMPARE(f.axisY.min(), -60.0);
        QCOMPARE(f.axisY.max(), -20.0);
        QCOMPARE(f.axisY.tickCount(), 5);
        QCOMPARE(f.axisY.labelFormat(), QString("%.0f"));
        // A rectangle: its values out to the next round ticks.
        f.feeder.zoomTo(2000, 6000, -44.73, -44.12);
        f.settle();
        QCOMPARE(f.axisY.min(), -44.8);
        QCOMPARE(f.axisY.max(), -44.0);
        QCOMPARE(f.axisY.labelFormat(), QString("%.1f"));
        // The pan moves the zoomed values too (half their span up).
        f.feeder.pan(0, 0.5);
        f.settle();
        QCOMPARE(f.axisY.min(), -44.4);
        QCOMPARE(f.axisY.max(), -43.6);
        f.feeder.zoomTo(2000, 6000, -52.0, -46.0);
        f.settle();
        QCOMPARE(f.axisY.min(), -52.0);
        QCOMPARE(f.axisY.max(), -46.0);
        f.feeder.resetView();
        f.settle();
        QCOMPARE(f.axisY.min(), -60.0);
        QVERIFY(f.feeder.fixedRange());
        f.feeder.setAutoRange();
        f.settle();
        QVERIFY(f.axisY.min() >= -45.25 && f.axisY.max() <= -43.9);
    }

    // Statistics of what is in view: extremes, the mean of the powers, the spread in dB; in the
    // chart's unit.
    void visibleStatisticsByHand() {
        Fed f(0);
        f.model.append(reading(1000, -10.0));
        f.model.append(reading(2000, -20.0));
        f.model.append(reading(3000, -30.0));
        f.model.append(reading(10000, -40.0));
        f.settle();
        QCOMPARE(f.feeder.statsCount(), 4);
        f.feeder.zoomTo(500, 3500, 0, 0);
        f.settle();
        // Mean of 0.1, 0.01 and 0.001 mW = 0.037 mW = -14.32 dBm; spread of -10, -20, -30 dB.
        QCOMPARE(
            f.feeder.statsText(),
            QString("мин -30.00 дБм · макс -10.00 дБм · сред -14.32 дБм · СКО 10.00 дБ · n = 3"));
        f.model.clear();
        f.model.append(reading(1000, 1.0, "мВт"));
        f.model.append(reading(2000, 2.0, "мВт"));
        f.settle();
        QCOMPARE(f.feeder.yUnit(), QString("мВт"));
        QVERIFY2(f.feeder.statsText().startsWith("мин 1.000 мВт · макс 2.000 мВт · сред 1.500 мВт"),
                 qPrintable(f.feeder.statsText()));
        f.feeder.zoomTo(50000, 60000, 0, 0);
        f.settle();
        QCOMPARE(f.feeder.statsText(), QString("нет показаний"));
    }
};

QTEST_MAIN(TestChartView)
#include "tst_chartview.moc"
