#include <QDir>
#include <QSignalSpy>
#include <QTest>
#include <cmath>
#include <limits>

#include "averagingfilter.h"
#include "rig.h"

namespace {
const double kNaN = std::numeric_limits<double>::quiet_NaN();
}  // namespace

class PipelineTest : public QObject {
    Q_OBJECT
private slots:
    void filterRounds_data() {
        QTest::addColumn<double>("in");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<double>("out");
        QTest::newRow("1: -12.345") << -12.345 << 1 << -12.3;
        QTest::newRow("1: -12.35 half away") << -12.35 << 1 << -12.4;
        QTest::newRow("0: -12.5") << -12.5 << 0 << -13.0;
        QTest::newRow("0: 2.5") << 2.5 << 0 << 3.0;
        QTest::newRow("2: 1.234") << 1.234 << 2 << 1.23;
        QTest::newRow("3: -7.0004") << -7.0004 << 3 << -7.0;
        QTest::newRow("3: -7.0005") << -7.0005 << 3 << -7.001;
        QTest::newRow("nan stays") << kNaN << 2 << kNaN;
        QTest::newRow("-inf stays") << -qInf() << 1 << -qInf();
    }
    void filterRounds() {
        QFETCH(double, in);
        QFETCH(int, decimals);
        QFETCH(double, out);
        QCOMPARE(AveragingFilter(in, decimals).getValue(), out);
    }

    void workedValues_data() {
        QTest::addColumn<int>("unit");
        QTest::addColumn<double>("dBm");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("unitText");
        const auto row = [](const char* tag, int unit, double dBm, QString shown, QString text) {
            QTest::newRow(tag) << unit << dBm << shown << text;
        };
        row("0 dBm W", 1, 0.0, "1", "мВт");
        row("30 dBm W", 1, 30.0, "1", "Вт");
        row("-30 dBm W stays nano", 1, -30.0, "1000", "нВт");
        row("-29.999 dBm W", 1, -29.999, "1.00023", "мкВт");
        row("-90 dBm W", 1, -90.0, "0.001", "нВт");
        row("100 dBm W", 1, 100.0, "10", "МВт");
        row("160 dBm W beyond giga", 1, 160.0, "10000", "ГВт");
        row("0 dBm V", 2, 0.0, "223.607", "мВ");
        row("dBm", 0, -42.5, "-42.5", "дБм");
    }
    void workedValues() {
        QFETCH(int, unit);
        QFETCH(double, dBm);
        QFETCH(QString, shown);
        QFETCH(QString, unitText);
        Rig r;
        r.md->setUnit(unit);
        r.mark();
        r.dev0.getPwr(dBm);
        const PowerData& rec = r.lastRecord();
        QCOMPARE(QString::number(rec.power(), 'g', 6), shown);
        QCOMPARE(rec.powerUnit(), unitText);
        QCOMPARE(r.md->unitStr(), unitText);
        QCOMPARE(r.md->power(), rec.power());
        QCOMPARE(r.newLogs().size(), 1);
        QVERIFY2(r.newLogs().at(0).contains(readingLine(" Мощность = " + shown + " " + unitText)),
                 qPrintable(r.newLogs().at(0)));
    }

    void recordIsCompleteBeforeAnnounced() {
        Rig r;
        r.md->setFreq(2400.0);
        int rows = -1, lines = -1;
        QObject::connect(r.md.get(), &Meterdeck::powerUpdated, [&] {
            rows = r.md->powerModel()->rowCount();
            lines = r.md->logsModel()->rowCount();
        });
        const QDateTime before = QDateTime::currentDateTime();
        r.dev0.getPwr(-1.0);
        const QDateTime after = QDateTime::currentDateTime();
        QCOMPARE(rows, 1);
        QCOMPARE(lines, 2);
        const PowerData& rec = r.lastRecord();
        QCOMPARE(rec.freq(), 2400.0);
        QCOMPARE(rec.time().timeSpec(), Qt::LocalTime);
        QVERIFY(rec.time() >= before && rec.time() <= after);
        QCOMPARE(r.logs().last().left(17), rec.time().toString("dd.MM.yy HH:mm:ss"));
    }

    void offsetAndFilterBeforeConversion() {
        Rig r;
        r.md->setAverEn(true);
        r.md->setAver(1);
        r.dev0.getPwr(-12.35);
        QCOMPARE(r.lastRecord().power(), -12.4);
        r.md->setOffset_dB(0.4);
        r.md->setAver(0);
        r.md->setOffsetEn(true);
        r.dev0.getPwr(-12.0);
        QCOMPARE(r.lastRecord().power(), -12.0);  // -11.6 rounded
        r.md->setUnit(1);
        r.dev0.getPwr(29.6);  // 30 dBm after offset and rounding: 1 W
        QCOMPARE(r.lastRecord().power(), 1.0);
        QCOMPARE(r.lastRecord().powerUnit(), QStringLiteral("Вт"));
    }

    void prefixFollowsEachReading() {
        Rig r;
        r.md->setUnit(1);
        QSignalSpy unitText(r.md.get(), &Meterdeck::unitStrChanged);
        for (double dBm : {-30.0043451, -29.9956592, -29.99, -30.0043451, kNaN})
            r.dev0.getPwr(dBm);
        QStringList shown;
        for (const PowerData& rec : r.md->powerModel()->series())
            shown.append(QString::number(rec.power(), 'g', 6) + ' ' + rec.powerUnit());
        QCOMPARE(shown,
                 QStringList({"999 нВт", "1.001 мкВт", "1.00231 мкВт", "999 нВт", "nan нВт"}));
        QVERIFY(r.logs().last().contains(readingLine(" Мощность = nan нВт")));
        // Announced only when the prefix moves: views read `power` inside their bindings.
        QCOMPARE(unitText.count(), 3);
        r.md->power();
        QCOMPARE(unitText.count(), 3);
    }

    void anyDeviceSignalReadsCurrentDevice() {
        Rig r;
        r.dev0.pwr = -5.0;
        r.dev1.getPwr(-99.0);
        QCOMPARE(r.lastRecord().power(), -5.0);
    }

    // The difference from the reference in dB, after offset and averaging like the read-out;
    // the records and the file keep absolute values.
    void relativeReadout_data() {
        QTest::addColumn<bool>("offsetOn");
        QTest::addColumn<bool>("averOn");
        for (bool offsetOn : {false, true})
            for (bool averOn : {false, true})
                QTest::addRow("offset %d averaging %d", offsetOn, averOn) << offsetOn << averOn;
    }
    void relativeReadout() {
        QFETCH(bool, offsetOn);
        QFETCH(bool, averOn);
        Rig r;
        r.md->setRelative(true);  // nothing to refer to yet
        QVERIFY(!r.md->relative());
        QCOMPARE(r.logs().last(), "Относительный отсчёт не включён: нет текущего показания.");
        r.md->setOffset_dB(10.0);
        r.md->setOffsetEn(offsetOn);
        r.md->setAverEn(averOn);
        r.md->setAver(1);
        r.connectTo("M, SN: 1");
        r.md->setFileName("/tmp/rel.csv");
        r.md->setNeedWrite(true);
        r.dev0.getPwr(-20.04);
        r.md->setRelative(true);
        const double shift = offsetOn ? 10.0 : 0.0;
        QCOMPARE(r.md->reference(), (averOn ? -20.0 : -20.04) + shift);
        r.dev0.getPwr(-23.06);
        QCOMPARE(r.md->relativeValue(), averOn ? -3.1 : -23.06 + 20.04);
        QCOMPARE(r.lastRecord().power(), (averOn ? -23.1 : -23.06) + shift);
        QCOMPARE(r.writer.records.last().power(), r.lastRecord().power());
        QVERIFY(r.logs().last().contains(readingLine(
            " Мощность = " + QString::number(r.lastRecord().power()) + " дБм записана в файл.")));
        r.md->setRelative(false);
        QVERIFY(std::isnan(r.md->relativeValue()));
    }

    // Since connecting, in the display unit; a re-run for the offset switch is no new reading.
    void statisticsOfTheReadings() {
        Rig r;
        r.connectTo("M, SN: 1");
        for (double dBm : {-10.0, -20.0, kNaN, -30.0})
            r.dev0.getPwr(dBm);
        r.md->setOffsetEn(true);
        QCOMPARE(r.md->statistics().count(), 3);
        // Mean of 0.1, 0.01 and 0.001 mW is 0.037 mW.
        QCOMPARE(r.md->statsText(),
                 "мин -30.00 дБм · макс -10.00 дБм · сред -14.32 дБм · СКО 10.00 дБ · n = 3");
        r.md->setUnit(1);
        QCOMPARE(r.md->statsText(),
                 "мин 1000 нВт · макс 100 мкВт · сред 37 мкВт · СКО 10.00 дБ · n = 3");
        r.md->resetStatistics();
        QCOMPARE(r.md->statsText(), "нет показаний");
        r.dev0.getPwr(-5.0);
        r.md->setIsStart(false);
        r.md->setIsStart(true);  // a fresh connection starts again
        QCOMPARE(r.md->statistics().count(), 0);
    }

    void statusLine() {
        Rig r;
        QCOMPARE(r.md->statusText(0), "не подключено");
        r.connectTo("M, SN: 1");
        const qint64 t0 = QDateTime::currentMSecsSinceEpoch();
        QVERIFY(!r.md->stale(t0));
        QVERIFY(r.md->statusText(t0 + 3500).startsWith("M, SN: 1 · нет показаний 3."));
        QVERIFY(r.md->stale(t0 + 3500));
        r.md->setFileName("/tmp/sub/run.csv");
        QVERIFY(QDir().mkpath("/tmp/sub"));
        r.md->setNeedWrite(true);
        r.dev0.getPwr(-1.0);
        r.writer.result = false;
        r.dev0.getPwr(-2.0);
        const qint64 t1 = QDateTime::currentMSecsSinceEpoch();
        QVERIFY(!r.md->stale(t1 + 2000) && r.md->stale(t1 + 3200));
        QCOMPARE(r.md->statusText(t1 + 3200).section(" · ", 1),
                 "нет новых показаний 3.2 с · запись: run.csv, строк 1 · сбоев записи: 1");
        r.md->setIsStart(false);
        QCOMPARE(r.md->statusText(t1),
                 "не подключено · запись: run.csv, строк 1 · сбоев записи: 1");
    }
};

int runPipelineTests(int argc, char** argv) {
    PipelineTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_pipeline.moc"
