#include <QTest>
#include <cmath>
#include <functional>
#include <limits>

#include "rig.h"

using Write = std::function<void(Meterdeck&)>;
Q_DECLARE_METATYPE(Write)

namespace {
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();
}  // namespace

class PropertyTest : public QObject {
    Q_OBJECT
private slots:
    void freshController() {
        Rig r;
        Meterdeck& m = *r.md;
        QVERIFY(std::isnan(m.power()));
        QCOMPARE(m.unitStr(), QStringLiteral("дБм"));
        QCOMPARE(m.aver(), 2);
        QCOMPARE(m.averEn(), false);
        QCOMPARE(m.offsetEn(), false);
        QCOMPARE(m.offset_dB(), 0.0);
        QCOMPARE(m.unit(), 0);
        QCOMPARE(m.isStart(), false);
        QCOMPARE(m.error(), 0);
        QCOMPARE(m.needWrite(), false);
        QVERIFY(m.fileName().isEmpty());
        // What the driver starts with, so controller and meter agree from the start.
        QCOMPARE(m.freq(), 300.0);
        QCOMPARE(m.att(), false);
        QVERIFY(r.logs().isEmpty());
        QVERIFY(r.dev0.freqs.isEmpty());
    }

    void propertyTableIsPublished() {
        Rig r;
        const QMetaObject* mo = r.md->metaObject();
        const char* names[] = {"power",  "att",  "freq",    "needWrite", "fileName",
                               "offset_dB", "offsetEn", "unit", "unitStr", "averEn",
                               "aver",   "isStart", "error"};
        for (const char* n : names) {
            const QMetaProperty p = mo->property(mo->indexOfProperty(n));
            QVERIFY2(p.isValid() && p.isFinal() && p.hasNotifySignal(), n);
            QCOMPARE(p.isWritable(), qstrcmp(n, "power") != 0);
        }
        QVERIFY(mo->indexOfMethod("updateFileName(bool)") >= 0);
        QVERIFY(mo->indexOfMethod("updateFileName()") >= 0);
    }

    void writeOfHeldValueDoesNothing_data() {
        QTest::addColumn<Write>("write");
        QTest::newRow("att") << Write([](Meterdeck& m) { m.setAtt(false); });
        QTest::newRow("freq") << Write([](Meterdeck& m) { m.setFreq(300.0); });
        QTest::newRow("needWrite") << Write([](Meterdeck& m) { m.setNeedWrite(false); });
        QTest::newRow("offsetEn") << Write([](Meterdeck& m) { m.setOffsetEn(false); });
        QTest::newRow("unit") << Write([](Meterdeck& m) { m.setUnit(0); });
        QTest::newRow("averEn") << Write([](Meterdeck& m) { m.setAverEn(false); });
        QTest::newRow("aver") << Write([](Meterdeck& m) { m.setAver(0); });
        QTest::newRow("isStart") << Write([](Meterdeck& m) { m.setIsStart(false); });
        QTest::newRow("error 0") << Write([](Meterdeck& m) { m.setError(0); });
    }
    void writeOfHeldValueDoesNothing() {
        QFETCH(Write, write);
        Rig r;
        write(*r.md);
        QVERIFY(r.logs().isEmpty());
        QVERIFY(r.signalLog.isEmpty());
        QVERIFY(r.dev0.freqs.isEmpty() && r.dev0.atts.isEmpty() && r.dev0.stops == 0);
    }

    void writeLogsAndNotifies_data() {
        QTest::addColumn<Write>("write");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("signalsEmitted");
        QTest::newRow("att on") << Write([](Meterdeck& m) { m.setAtt(true); })
                                << "Аттенюатор = вкл." << QStringList{"att"};
        QTest::newRow("offset") << Write([](Meterdeck& m) { m.setOffset_dB(-12.25); })
                                << "Смещение = -12.25 дБ" << QStringList{"offset_dB"};
        QTest::newRow("averEn on") << Write([](Meterdeck& m) { m.setAverEn(true); })
                                   << "Усреднение  вкл." << QStringList{"averEn"};
        QTest::newRow("aver 3") << Write([](Meterdeck& m) { m.setAver(3); })
                                << "Усреднение обновлено = авто 0.001 дБ" << QStringList{"aver"};
        QTest::newRow("unit volt") << Write([](Meterdeck& m) { m.setUnit(2); })
                                   << "Единицы измерения изменены на В"
                                   << QStringList{"unit", "unitStr"};
        QTest::newRow("freq") << Write([](Meterdeck& m) { m.setFreq(433920.25); })
                              << "Установка новой частоты = 433920 кГц" << QStringList{"freq"};
        QTest::newRow("needWrite on") << Write([](Meterdeck& m) { m.setNeedWrite(true); })
                                      << "Начинаю писать в файл " << QStringList{"needWrite"};
    }
    void writeLogsAndNotifies() {
        QFETCH(Write, write);
        QFETCH(QString, line);
        QFETCH(QStringList, signalsEmitted);
        Rig r;
        write(*r.md);
        QCOMPARE(r.logs(), QStringList{line});
        QCOMPARE(r.signalLog, signalsEmitted);
    }

    void offsetWrittenAgainLogsAgain() {
        Rig r;
        r.md->setOffset_dB(3.0);
        r.md->setOffset_dB(3.0);
        QCOMPARE(r.logs(), QStringList({"Смещение = 3 дБ", "Смещение = 3 дБ"}));
        QCOMPARE(r.signalLog, QStringList({"offset_dB", "offset_dB"}));
    }

    void attGoesToCurrentDevice() {
        Rig r;
        r.md->setAtt(true);
        r.md->setAtt(false);
        QCOMPARE(r.dev0.atts, QList<bool>({true, false}));
        QVERIFY(r.dev1.atts.isEmpty());
        QCOMPARE(r.logs().last(), QStringLiteral("Аттенюатор = выкл."));
    }

    void averReadsTwoWhileOff() {
        Rig r;
        r.md->setAver(3);
        QCOMPARE(r.md->aver(), 2);
        r.md->setAverEn(true);
        QCOMPARE(r.md->aver(), 3);
        r.md->setAver(0);
        QCOMPARE(r.md->aver(), 0);
    }

    void errorCountsWrites() {
        Rig r;
        r.md->setError(5);
        QCOMPARE(r.md->error(), 1);
        r.md->setError(-1);
        QCOMPARE(r.md->error(), 2);
        r.md->setError(0);
        QCOMPARE(r.md->error(), 2);
        QCOMPARE(r.signalLog, QStringList({"error", "error"}));
        QVERIFY(r.logs().isEmpty());
    }

    void unitStrWritesCurrentUnitName() {
        Rig r;
        r.md->setUnit(1);
        r.mark();
        r.md->setUnitStr(QStringLiteral("x"));
        r.md->setUnitStr(QStringLiteral("x"));
        QCOMPARE(r.md->unitStr(), QStringLiteral("x"));
        QCOMPARE(r.signalLog, QStringList({"unitStr", "unitStr"}));
        r.md->setUnit(0);
        QCOMPARE(r.md->unitStr(), QStringLiteral("дБм"));
    }

    void unitChangeEmptiesSeries() {
        Rig r;
        r.dev0.read(-10.0);
        QCOMPARE(r.md->powerModel()->rowCount(), 1);
        r.md->setUnit(1);
        QCOMPARE(r.md->powerModel()->rowCount(), 0);
        r.dev0.read(-10.0);
        QCOMPARE(r.lastRecord().powerUnit(), QStringLiteral("мкВт"));
    }

    void frequencyIsLimited_data() {
        QTest::addColumn<double>("in");
        QTest::addColumn<double>("stored");
        QTest::addColumn<QString>("shown");
        QTest::newRow("below") << 100.0 << 300.0 << "300";
        QTest::newRow("above") << 5000000.0 << 3200000.0 << "3.2e+06";
        QTest::newRow("inside") << 2400.5 << 2400.5 << "2400.5";
        QTest::newRow("million") << 1000000.0 << 1000000.0 << "1e+06";
    }
    void frequencyIsLimited() {
        QFETCH(double, in);
        QFETCH(double, stored);
        QFETCH(QString, shown);
        Rig r;
        r.md->setFreq(in);
        QCOMPARE(r.md->freq(), stored);
        QCOMPARE(r.dev0.freqs, QList<double>{stored});
        QCOMPARE(r.logs(), QStringList{"Установка новой частоты = " + shown + " кГц"});
    }

    void frequencyComparedBeforeLimiting() {
        Rig r;
        r.md->setFreq(100.0);
        r.md->setFreq(100.0);
        QCOMPARE(r.dev0.freqs, QList<double>({300.0, 300.0}));
        r.md->setFreq(2000.0);
        r.md->setFreq(2000.0);
        QCOMPARE(r.dev0.freqs.size(), 3);
        QCOMPARE(r.logs().size(), 3);
    }

    void offsetSwitchRunsOneCycle() {
        Rig r;
        r.dev0.pwr = -30.0;
        r.md->setOffset_dB(20.0);
        r.mark();
        r.md->setOffsetEn(true);
        QCOMPARE(r.md->powerModel()->rowCount(), 1);
        QCOMPARE(r.lastRecord().power(), -10.0);
        QCOMPARE(r.newLogs().size(), 2);
        QCOMPARE(r.newLogs().at(0), QStringLiteral("Смещение = вкл."));
        QVERIFY(r.newLogs().at(1).contains(readingLine(" Мощность = -10 дБм")));
        QCOMPARE(r.signalLog.count("offsetEn"), 1);
        QCOMPARE(r.signalLog.count("power"), 1);
        r.md->setOffsetEn(false);
        QCOMPARE(r.lastRecord().power(), -30.0);
    }

    // Panels write NaN for an empty field: the value kept must stay and the meter hear nothing.
    void nonFiniteWritesAreRefused_data() {
        QTest::addColumn<double>("value");
        QTest::newRow("nan") << kNaN;
        QTest::newRow("+inf") << kInf;
        QTest::newRow("-inf") << -kInf;
    }
    void nonFiniteWritesAreRefused() {
        QFETCH(double, value);
        Rig r;
        r.md->setFreq(1500.0);
        r.md->setOffset_dB(4.0);
        r.md->setOffsetEn(true);
        r.mark();
        r.md->setFreq(value);
        r.md->setOffset_dB(value);
        QCOMPARE(r.md->freq(), 1500.0);
        QCOMPARE(r.md->offset_dB(), 4.0);
        QCOMPARE(r.dev0.freqs, QList<double>{1500.0});
        QVERIFY(r.newLogs().isEmpty());
        // Views re-read and show the kept values.
        QCOMPARE(r.signalLog, QStringList({"freq", "offset_dB"}));
        r.dev0.read(-20.0);
        QCOMPARE(r.lastRecord().power(), -16.0);
    }

    void outOfRangeIndexesAreIgnored() {
        Rig r;
        r.md->setAverEn(true);
        r.mark();
        for (int bad : {-1, 3, 100}) r.md->setUnit(bad);
        for (int bad : {-1, 4, 100}) r.md->setAver(bad);
        QCOMPARE(r.md->unit(), 0);
        QCOMPARE(r.md->aver(), 0);
        QVERIFY(r.newLogs().isEmpty());
        QCOMPARE(r.md->unitStr(), QStringLiteral("дБм"));
        r.dev0.read(-1.0);
        QCOMPARE(r.lastRecord().power(), -1.0);
    }
};

int runPropertyTests(int argc, char** argv) {
    PropertyTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_properties.moc"
