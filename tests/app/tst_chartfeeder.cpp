#include <QApplication>
#include <QDateTimeAxis>
#include <QLineSeries>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QValueAxis>
#include <QtTest>
#include <cmath>
#include <limits>

#include "chartfeeder.h"
#include "powerdatamodel.h"

static PowerData reading(qint64 msecs, double dBm) {
    return PowerData(QDateTime::fromMSecsSinceEpoch(msecs), dBm, "дБм", 3000.0, "кГц");
}

class TestChartFeeder : public QObject {
    Q_OBJECT
private slots:
    void shortSeriesStaysWhole();
    void reductionKeepsFirstExtremesAndLastPerColumn();
    void reductionBoundedByColumns();
    void reductionKeepsOrder();
    void reductionOfOneInstant();
    void feedsSeriesFromPowerModel();
    void oneReplacePerBurstOfResets();
    void bigRecordingIsThinnedModelKeepsAll();
    void readingsWithoutValueLeftOut();
    void genericModelColumns();
    void widthChangeRedraws();
    void axesTakeModelBoundsWithThePoints();
};

void TestChartFeeder::shortSeriesStaysWhole() {
    QList<QPointF> pts;
    for (int i = 0; i < 40; ++i) pts.append(QPointF(i, i % 7));
    QCOMPARE(ChartFeeder::reduce(pts, 10), pts);
    QCOMPARE(ChartFeeder::reduce(pts, 0), pts);
}

void TestChartFeeder::reductionKeepsFirstExtremesAndLastPerColumn() {
    // Two columns of 100 points each (x 0..99 and 100..199, span 199, columns split at 99.5).
    QList<QPointF> pts;
    for (int i = 0; i < 200; ++i) pts.append(QPointF(i, 0.0));
    pts[10].setY(-5.0);  // lowest of column 0
    pts[60].setY(7.0);   // highest of column 0
    pts[150].setY(-9.0);
    pts[120].setY(3.0);
    const QList<QPointF> out = ChartFeeder::reduce(pts, 2);
    const QList<QPointF> expected = {pts[0],   pts[10],  pts[60],  pts[99],
                                     pts[100], pts[120], pts[150], pts[199]};
    QCOMPARE(out, expected);
}

void TestChartFeeder::reductionBoundedByColumns() {
    QList<QPointF> pts;
    for (int i = 0; i < 100000; ++i) pts.append(QPointF(i, std::sin(i * 0.01) * 10 + (i % 13)));
    const QList<QPointF> out = ChartFeeder::reduce(pts, 800);
    QVERIFY(out.size() <= 4 * 800);
    QVERIFY(out.size() > 800);
    QCOMPARE(out.first(), pts.first());
    QCOMPARE(out.last(), pts.last());
    double lo = out.first().y(), hi = lo, loAll = lo, hiAll = lo;
    for (const QPointF& p : out) lo = std::min(lo, p.y()), hi = std::max(hi, p.y());
    for (const QPointF& p : pts) loAll = std::min(loAll, p.y()), hiAll = std::max(hiAll, p.y());
    QCOMPARE(lo, loAll);
    QCOMPARE(hi, hiAll);
}

void TestChartFeeder::reductionKeepsOrder() {
    QList<QPointF> pts;
    for (int i = 0; i < 5000; ++i) pts.append(QPointF(i * 3.0, (i * 7919) % 101));
    const QList<QPointF> out = ChartFeeder::reduce(pts, 100);
    for (qsizetype i = 1; i < out.size(); ++i) QVERIFY(out[i - 1].x() < out[i].x());
}

void TestChartFeeder::reductionOfOneInstant() {
    QList<QPointF> pts;
    for (int i = 0; i < 50; ++i) pts.append(QPointF(5.0, i == 20 ? -1.0 : (i == 30 ? 9.0 : 2.0)));
    const QList<QPointF> out = ChartFeeder::reduce(pts, 2);
    QCOMPARE(out, (QList<QPointF>{pts[0], pts[20], pts[30], pts[49]}));
}

void TestChartFeeder::feedsSeriesFromPowerModel() {
    PowerDataModel model;
    QLineSeries series;
    ChartFeeder feeder;
    feeder.setSeries(&series);
    feeder.setXColumn(model.eTime());
    feeder.setYColumn(model.edBm());
    feeder.setModel(&model);
    QCOMPARE(series.count(), 0);
    model.append(reading(1000, -40.0));
    model.append(reading(2000, -41.5));
    QTRY_COMPARE(series.count(), 2);
    QCOMPARE(series.at(1), QPointF(2000, -41.5));
    model.clear();
    QTRY_COMPARE(series.count(), 0);
}

void TestChartFeeder::oneReplacePerBurstOfResets() {
    PowerDataModel model;
    QLineSeries series;
    ChartFeeder feeder;
    feeder.setSeries(&series);
    feeder.setXColumn(model.eTime());
    feeder.setYColumn(model.edBm());
    feeder.setModel(&model);
    QSignalSpy replaced(&series, &QXYSeries::pointsReplaced);
    QSignalSpy added(&series, &QXYSeries::pointAdded);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    for (int i = 0; i < 1000; ++i) model.append(reading(i * 1000, -50.0 + i % 10));
    QVERIFY(replaced.wait());
    QCOMPARE(replaced.count(), 1);
    // At capacity an append resets twice; the chart takes the series once.
    model.append(reading(1000 * 1000, -50.0));
    QCOMPARE(resets.count(), 1002);
    QVERIFY(replaced.wait());
    QCOMPARE(replaced.count(), 2);
    QCOMPARE(added.count(), 0);
    QCOMPARE(series.count(), 1000);
    QCOMPARE(series.at(0).x(), 1000.0);  // the oldest reading went with the 1001st
}

void TestChartFeeder::bigRecordingIsThinnedModelKeepsAll() {
    PowerDataModel model;
    QLineSeries series;
    ChartFeeder feeder;
    feeder.setSeries(&series);
    feeder.setXColumn(model.eTime());
    feeder.setYColumn(model.edBm());
    feeder.setPixelColumns(500);
    feeder.setModel(&model);
    std::deque<PowerData> file;
    for (int i = 0; i < 100000; ++i) file.push_back(reading(qint64(i) * 1000, -60.0 + (i % 17)));
    file[77777].setPower(-99.0);
    QSignalSpy replaced(&series, &QXYSeries::pointsReplaced);
    model.replaceAll(file);
    QVERIFY(replaced.wait());
    QCOMPARE(replaced.count(), 1);
    QCOMPARE(model.rowCount(), 100000);
    QVERIFY(series.count() <= 2000);
    QCOMPARE(feeder.pointCount(), series.count());
    bool spike = false;
    for (const QPointF& p : series.points()) spike = spike || p.y() == -99.0;
    QVERIFY2(spike, "a single extreme reading must stay visible");
    QCOMPARE(series.at(0).x(), 0.0);
    QCOMPARE(series.at(series.count() - 1).x(), 99999000.0);
}

void TestChartFeeder::readingsWithoutValueLeftOut() {
    PowerDataModel model;
    QLineSeries series;
    ChartFeeder feeder;
    feeder.setSeries(&series);
    feeder.setXColumn(model.eTime());
    feeder.setYColumn(model.edBm());
    feeder.setModel(&model);
    model.append(reading(1000, -40.0));
    model.append(reading(2000, std::numeric_limits<double>::quiet_NaN()));
    model.append(reading(3000, -42.0));
    QTRY_COMPARE(series.count(), 2);
    QCOMPARE(series.at(1), QPointF(3000, -42.0));
}

void TestChartFeeder::genericModelColumns() {
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
    QCOMPARE(series.count(), 3);
    QCOMPARE(series.at(2), QPointF(20, -3.0));
    model.setData(model.index(2, 2), 4.0);  // an edit reaches the chart too
    QTRY_COMPARE(series.at(2), QPointF(20, 4.0));
}

void TestChartFeeder::widthChangeRedraws() {
    PowerDataModel model;
    QLineSeries series;
    ChartFeeder feeder;
    feeder.setSeries(&series);
    feeder.setXColumn(model.eTime());
    feeder.setYColumn(model.edBm());
    feeder.setPixelColumns(100);
    feeder.setModel(&model);
    std::deque<PowerData> file;
    for (int i = 0; i < 10000; ++i) file.push_back(reading(i, (i * 31) % 23));
    model.replaceAll(file);
    QTRY_VERIFY(series.count() > 0);
    const qsizetype narrow = series.count();
    QVERIFY(narrow <= 400);
    feeder.setPixelColumns(1000);
    QVERIFY(series.count() > narrow);
    QVERIFY(series.count() <= 4000);
    feeder.setPixelColumns(0);
    QCOMPARE(series.count(), 10000);
}

// The axes as the window binds them: to the model's bounds.
void TestChartFeeder::axesTakeModelBoundsWithThePoints() {
    PowerDataModel model;
    QLineSeries series;
    QDateTimeAxis axisX;
    QValueAxis axisY;
    ChartFeeder feeder;
    feeder.setSeries(&series);
    feeder.setXColumn(model.eTime());
    feeder.setYColumn(model.edBm());
    feeder.setAxisX(&axisX);
    feeder.setAxisY(&axisY);
    feeder.setModel(&model);
    const auto bindBounds = [&] {
        feeder.setXMin(model.timeMin());
        feeder.setXMax(model.timeMax());
        feeder.setYMin(model.powerMin());
        feeder.setYMax(model.powerMax());
    };
    for (int i = 1; i <= 10; ++i) model.append(reading(i * 1000, -50.0 + i));
    bindBounds();
    QTRY_COMPARE(series.count(), 10);
    QCOMPARE(axisX.min().toMSecsSinceEpoch(), 1000);
    QCOMPARE(axisX.max().toMSecsSinceEpoch(), 10000);
    QCOMPARE(axisY.min(), -49.0);
    QCOMPARE(axisY.max(), -40.0);

    // A refresh that moves no axis leaves the curve in place.
    QSignalSpy removed(&series, &QXYSeries::pointsRemoved);
    feeder.refresh();
    QCOMPARE(removed.count(), 0);
    QCOMPARE(series.count(), 10);

    // A new reading moves both axes; they and the points arrive together, every point kept.
    QSignalSpy refreshed(&feeder, &ChartFeeder::refreshed);
    model.append(reading(11000, -30.0));
    bindBounds();
    QVERIFY(refreshed.wait());
    QCOMPARE(series.count(), 11);
    QCOMPARE(series.at(0), QPointF(1000, -49.0));
    QCOMPARE(series.at(10), QPointF(11000, -30.0));
    QCOMPARE(axisX.max().toMSecsSinceEpoch(), 11000);
    QCOMPARE(axisY.max(), -30.0);

    // An unusable bound (an emptied model's null time) leaves the range and the points alone.
    feeder.setXMax(QDateTime());
    feeder.refresh();
    QCOMPARE(axisX.max().toMSecsSinceEpoch(), 11000);
    QCOMPARE(series.count(), 11);
}

QTEST_MAIN(TestChartFeeder)
#include "tst_chartfeeder.moc"
