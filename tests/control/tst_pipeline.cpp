#include <QSignalSpy>
#include <QTest>
#include <cmath>
#include <limits>

#include "rig.h"

namespace {
bool near(double a, double b) { return std::fabs(a - b) <= 1e-5 * std::fabs(b); }
const QStringList kWatt = {"нВт", "мкВт", "мВт", "Вт", "кВт", "МВт", "ГВт"};
}  // namespace

class PipelineTest : public QObject {
    Q_OBJECT
private slots:
    void workedValues_data() {
        QTest::addColumn<int>("unit");
        QTest::addColumn<double>("dBm");
        QTest::addColumn<double>("shown");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("unitText");
        QTest::newRow("0 dBm W") << 1 << 0.0 << 1.0 << "1" << "мВт";
        QTest::newRow("30 dBm W") << 1 << 30.0 << 1.0 << "1" << "Вт";
        QTest::newRow("10 dBm W") << 1 << 10.0 << 10.0 << "10" << "мВт";
        QTest::newRow("-30 dBm W stays nano") << 1 << -30.0 << 1000.0 << "1000" << "нВт";
        QTest::newRow("-29.999 dBm W") << 1 << -29.999 << 1.00023 << "1.00023" << "мкВт";
        QTest::newRow("-90 dBm W") << 1 << -90.0 << 0.001 << "0.001" << "нВт";
        QTest::newRow("100 dBm W") << 1 << 100.0 << 10.0 << "10" << "МВт";
        QTest::newRow("160 dBm W beyond giga") << 1 << 160.0 << 10000.0 << "10000" << "ГВт";
        QTest::newRow("0 dBm V") << 2 << 0.0 << 223.607 << "223.607" << "мВ";
        QTest::newRow("30 dBm V") << 2 << 30.0 << 7.07107 << "7.07107" << "В";
        QTest::newRow("dBm") << 0 << -42.5 << -42.5 << "-42.5" << "дБм";
    }
    void workedValues() {
        QFETCH(int, unit);
        QFETCH(double, dBm);
        QFETCH(double, shown);
        QFETCH(QString, text);
        QFETCH(QString, unitText);
        Rig r;
        r.md->setUnit(unit);
        r.mark();
        r.dev0.read(dBm);
        const PowerData& rec = r.lastRecord();
        QVERIFY2(near(rec.power(), shown), qPrintable(QString::number(rec.power(), 'g', 17)));
        QCOMPARE(rec.powerUnit(), unitText);
        QCOMPARE(r.md->unitStr(), unitText);
        QCOMPARE(r.md->power(), rec.power());
        QCOMPARE(r.newLogs().size(), 1);
        QVERIFY2(r.newLogs().at(0).contains(readingLine(" Мощность = " + text + " " + unitText)),
                 qPrintable(r.newLogs().at(0)));
    }

    void recordCarriesFrequencyAndLocalTime() {
        Rig r;
        r.md->setFreq(2400.0);
        const QDateTime before = QDateTime::currentDateTime();
        r.dev0.read(-1.0);
        const QDateTime after = QDateTime::currentDateTime();
        const PowerData& rec = r.lastRecord();
        QCOMPARE(rec.freq(), 2400.0);
        QCOMPARE(rec.freqUnit(), QStringLiteral("кГц"));
        QCOMPARE(rec.time().timeSpec(), Qt::LocalTime);
        QVERIFY(rec.time() >= before && rec.time() <= after);
        QCOMPARE(r.logs().last().left(17), rec.time().toString("dd.MM.yy HH:mm:ss"));
    }

    void announcedAfterRecordAndLog() {
        Rig r;
        int rows = -1, lines = -1;
        QObject::connect(r.md.get(), &Meterdeck::powerUpdated, [&] {
            rows = r.md->powerModel()->rowCount();
            lines = r.md->logsModel()->rowCount();
        });
        r.dev0.read(-3.0);
        QCOMPARE(rows, 1);
        QCOMPARE(lines, 1);
        QCOMPARE(r.signalLog, QStringList{"power"});
    }

    void offsetAndFilterBeforeConversion() {
        Rig r;
        r.md->setAverEn(true);
        r.md->setAver(1);
        r.dev0.read(-12.345);
        QCOMPARE(r.lastRecord().power(), -12.3);
        r.dev0.read(-12.35);
        QCOMPARE(r.lastRecord().power(), -12.4);
        r.md->setOffset_dB(0.4);
        r.md->setAver(0);
        r.md->setOffsetEn(true);
        r.dev0.read(-12.0);
        QCOMPARE(r.lastRecord().power(), -12.0);  // -11.6 rounded
        r.md->setUnit(1);
        r.dev0.read(29.6);  // 30 dBm after offset and rounding: 1 W
        QCOMPARE(r.lastRecord().power(), 1.0);
        QCOMPARE(r.lastRecord().powerUnit(), QStringLiteral("Вт"));
    }

    void prefixFollowsEachReading() {
        Rig r;
        r.md->setUnit(1);
        r.dev0.read(-30.0043451);  // 999 nW
        r.dev0.read(-29.9956592);  // 1.001 uW
        r.dev0.read(-30.0043451);
        const auto& s = r.md->powerModel()->series();
        QCOMPARE(s.size(), std::size_t(3));
        QCOMPARE(s[0].powerUnit(), QStringLiteral("нВт"));
        QVERIFY(near(s[0].power(), 999.0));
        QCOMPARE(s[1].powerUnit(), QStringLiteral("мкВт"));
        QVERIFY(near(s[1].power(), 1.001));
        QCOMPARE(s[2].powerUnit(), QStringLiteral("нВт"));
    }

    void nanReadingPassesThrough() {
        Rig r;
        r.md->setUnit(1);
        r.dev0.read(10.0);
        r.mark();
        r.dev0.read(std::numeric_limits<double>::quiet_NaN());
        QVERIFY(std::isnan(r.lastRecord().power()));
        QCOMPARE(r.lastRecord().powerUnit(), QStringLiteral("нВт"));
        QVERIFY(r.newLogs().at(0).contains(readingLine(" Мощность = nan нВт")));
    }

    void unitTextAnnouncedOnlyWhenItMoves() {
        Rig r;
        QSignalSpy spy(r.md.get(), &Meterdeck::unitStrChanged);
        r.dev0.read(-10.0);  // dBm: never touched
        r.md->power();
        QCOMPARE(spy.count(), 0);
        r.md->setUnit(1);
        spy.clear();
        r.dev0.read(-10.0);
        QCOMPARE(spy.count(), 1);
        r.md->power();
        r.dev0.read(-11.0);
        QCOMPARE(spy.count(), 1);
        r.dev0.read(-40.0);
        QCOMPARE(spy.count(), 2);
        QCOMPARE(r.md->unitStr(), QStringLiteral("нВт"));
    }

    void anyDeviceSignalReadsCurrentDevice() {
        Rig r;
        r.dev0.pwr = -5.0;
        r.dev1.read(-99.0);
        QCOMPARE(r.lastRecord().power(), -5.0);
    }

    void scaleToPrefixRules_data() {
        QTest::addColumn<double>("in");
        QTest::addColumn<int>("startIndex");
        QTest::addColumn<double>("out");
        QTest::addColumn<int>("endIndex");
        QTest::newRow("1000 stays") << 1000.0 << 0 << 1000.0 << 0;
        QTest::newRow("small stays nano") << 0.001 << 0 << 0.001 << 0;
        QTest::newRow("up one") << 1500.0 << 0 << 1.5 << 1;
        QTest::newRow("stops at giga") << 5e30 << 0 << 5e12 << 6;
        QTest::newRow("down from a prefix") << 0.5 << 3 << 500000.0 << 1;
        QTest::newRow("down to nano") << 0.0005 << 2 << 500.0 << 0;
        QTest::newRow("down stops at 1000") << 1.0 << 2 << 1000.0 << 1;
    }
    void scaleToPrefixRules() {
        QFETCH(double, in);
        QFETCH(int, startIndex);
        QFETCH(double, out);
        QFETCH(int, endIndex);
        int index = startIndex;
        QVERIFY(near(Meterdeck::scaleToPrefix(in, kWatt, index), out));
        QCOMPARE(index, endIndex);
    }

    void scaleToPrefixKeepsNaN() {
        int index = 4;
        QVERIFY(std::isnan(Meterdeck::scaleToPrefix(std::nan(""), kWatt, index)));
        QCOMPARE(index, 4);
    }
};

int runPipelineTests(int argc, char** argv) {
    PipelineTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_pipeline.moc"
