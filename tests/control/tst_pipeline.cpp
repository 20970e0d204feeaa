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
};

int runPipelineTests(int argc, char** argv) {
    PipelineTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_pipeline.moc"
