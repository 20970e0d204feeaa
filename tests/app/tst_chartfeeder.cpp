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
        QVERIFY(f.series.count() <= 200);
        f.feeder.setPixelColumns(0);
        QCOMPARE(f.series.count(), 100000);
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

    // The axes as the window binds them: to the model's bounds, arriving with the points.
    void axesTakeModelBoundsWithThePoints() {
        Fed f;
        QDateTimeAxis axisX;
        QValueAxis axisY;
        f.feeder.setAxisX(&axisX);
        f.feeder.setAxisY(&axisY);
        const auto append = [&](qint64 ms, double dBm) {
            f.model.append(reading(ms, dBm));
            f.feeder.setXMin(f.model.timeMin());
            f.feeder.setXMax(f.model.timeMax());
            f.feeder.setYMin(f.model.powerMin());
            f.feeder.setYMax(f.model.powerMax());
        };
        for (int i = 1; i <= 10; ++i)
            append(i * 1000, -50.0 + i);
        QTRY_COMPARE(f.series.count(), 10);
        QCOMPARE(axisX.min().toMSecsSinceEpoch(), 1000);
        QCOMPARE(axisY.min(), -49.0);
        QSignalSpy removed(&f.series, &QXYSeries::pointsRemoved);
        f.feeder.refresh();  // moves no axis: the curve stays
        QCOMPARE(removed.count(), 0);

        QSignalSpy refreshed(&f.feeder, &ChartFeeder::refreshed);
        append(11000, -30.0);
        QVERIFY(refreshed.wait());
        QCOMPARE(f.series.count(), 11);
        QCOMPARE(f.series.at(10), QPointF(11000, -30.0));
        QCOMPARE(axisX.max().toMSecsSinceEpoch(), 11000);
        QCOMPARE(axisY.max(), -30.0);

        // An emptied model's null time is no range: axis and points stay.
        f.feeder.setXMax(QDateTime());
        f.feeder.refresh();
        QCOMPARE(axisX.max().toMSecsSinceEpoch(), 11000);
        QCOMPARE(f.series.count(), 11);
    }
};

QTEST_MAIN(TestChartFeeder)
#include "tst_chartfeeder.moc"
