#include <QTest>
#include <cmath>
#include <limits>

#include "rig.h"

// Property writes in order, each through the property's setter.
using Writes = QList<QPair<QByteArray, QVariant>>;
Q_DECLARE_METATYPE(Writes)

namespace {
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

void row(const char* tag, Writes writes, QStringList lines, QStringList notified, QStringList calls,
         QVariant value) {
    QTest::newRow(tag) << writes << lines << notified << calls << value;
}
}  // namespace

class PropertyTest : public QObject {
    Q_OBJECT
private slots:
    // The log lines, notifies and meter commands of a series of writes, and the value read after.
    void writes_data() {
        QTest::addColumn<Writes>("writes");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QStringList>("notified");
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<QVariant>("value");
        // A write of the value held does nothing; the start values are the driver's (aver
        // reads 2 while averaging is off).
        row("values held",
            {{"att", false},
             {"freq", 300.0},
             {"needWrite", false},
             {"offsetEn", false},
             {"unit", 0},
             {"averEn", false},
             {"isStart", false},
             {"error", 0},
             {"aver", 0}},
            {}, {}, {}, 2);
        row("att on, on, off", {{"att", true}, {"att", true}, {"att", false}},
            {"Аттенюатор = вкл.", "Аттенюатор = выкл."}, {"att", "att"}, {"att 1", "att 0"}, false);
        row("offset logged at every write", {{"offset_dB", -12.25}, {"offset_dB", -12.25}},
            {"Смещение = -12.25 дБ", "Смещение = -12.25 дБ"}, {"offset_dB", "offset_dB"}, {},
            -12.25);
        row("averEn on", {{"averEn", true}, {"averEn", true}}, {"Усреднение  вкл."},
            {"averEn", "aver"}, {}, true);
        row("aver 3 reads 2 while off", {{"aver", 3}, {"aver", 3}},
            {"Усреднение обновлено = авто 0.001 дБ"}, {"aver"}, {}, 2);
        row("unit volt", {{"unit", 2}, {"unit", 2}}, {"Единицы измерения изменены на В"},
            {"unit", "unitStr", "power"}, {}, 2);
        row("unitStr renames the current unit", {{"unitStr", "x"}, {"unitStr", "x"}}, {},
            {"unitStr", "unitStr"}, {}, "x");
        row("needWrite on", {{"fileName", "/tmp/md.csv"}, {"needWrite", true}, {"needWrite", true}},
            {"Начинаю писать в файл /tmp/md.csv"}, {"fileName", "needWrite"}, {}, true);
        // Without a file a recording would only fail once a second while looking as if it ran.
        row("needWrite refused without a file", {{"needWrite", true}},
            {"Запись в файл не начата: файл для записи не выбран."}, {"needWrite"}, {}, false);
        row("error counts non-zero writes", {{"error", 5}, {"error", -1}, {"error", 0}}, {},
            {"error", "error"}, {}, 2);
        row("freq", {{"freq", 433920.25}, {"freq", 433920.25}},
            {"Установка новой частоты = 433920 кГц"}, {"freq"}, {"freq 433920.25"}, 433920.25);
        // Clamped, and said so before the design's line with the value sent.
        const QString outside = QStringLiteral(" кГц вне диапазона 300 … 3 200 000 кГц.");
        row("freq below limit, compared before limiting", {{"freq", 100.0}, {"freq", 100.0}},
            {"Частота 100" + outside, "Установка новой частоты = 300 кГц", "Частота 100" + outside,
             "Установка новой частоты = 300 кГц"},
            {"freq", "freq"}, {"freq 300", "freq 300"}, 300.0);
        row("freq above limit", {{"freq", 5e6}},
            {"Частота 5e+06" + outside, "Установка новой частоты = 3.2e+06 кГц"}, {"freq"},
            {"freq 3200000"}, 3.2e6);
        // Panels write NaN for an empty field: nothing may reach the meter or the readings;
        // the notify lets views show the value kept.
        const QString noFreq = QStringLiteral("Частота не изменена: введено не число.");
        row("freq non-finite refused", {{"freq", kNaN}, {"freq", kInf}, {"freq", -kInf}},
            {noFreq, noFreq, noFreq}, {"freq", "freq", "freq"}, {}, 300.0);
        const QString noOffset = QStringLiteral("Смещение не изменено: введено не число.");
        row("offset non-finite refused",
            {{"offset_dB", kNaN}, {"offset_dB", kInf}, {"offset_dB", -kInf}},
            {noOffset, noOffset, noOffset}, {"offset_dB", "offset_dB", "offset_dB"}, {}, 0.0);
        row("offset within ±100 dB only", {{"offset_dB", 100.0}, {"offset_dB", 1e300}},
            {"Смещение = 100 дБ", "Смещение 1e+300 дБ не принято: допустимо от -100 до +100 дБ."},
            {"offset_dB", "offset_dB"}, {}, 100.0);
        row("unit out of range ignored", {{"unit", -1}, {"unit", 3}, {"unit", 100}}, {},
            {"unit", "unit", "unit"}, {}, 0);
        row("aver out of range ignored", {{"averEn", true}, {"aver", -1}, {"aver", 4}},
            {"Усреднение  вкл."}, {"averEn", "aver", "aver", "aver"}, {}, 0);
    }
    void writes() {
        QFETCH(Writes, writes);
        QFETCH(QStringList, lines);
        QFETCH(QStringList, notified);
        QFETCH(QStringList, calls);
        QFETCH(QVariant, value);
        Rig r;
        for (const auto& [name, v] : writes)
            QVERIFY(r.md->setProperty(name, v));
        QCOMPARE(r.logs(), lines);
        QCOMPARE(r.signalLog, notified);
        QCOMPARE(r.dev0.calls, calls);
        QVERIFY(r.dev1.calls.isEmpty());
        QCOMPARE(r.md->property(writes.last().first), value);
    }

    void refusedOffsetKeepsReadingsFinite() {
        Rig r;
        r.md->setOffset_dB(4.0);
        r.md->setOffsetEn(true);
        r.md->setOffset_dB(kNaN);
        r.dev0.getPwr(-20.0);
        QCOMPARE(r.lastRecord().power(), -16.0);
    }

    void unitChangeEmptiesSeries() {
        Rig r;
        r.dev0.getPwr(-10.0);
        // The read-out re-reads the number when the unit changes: number and unit text agree
        // at once, not only with the next reading.
        QStringList shown;
        QObject::connect(r.md.get(), &Meterdeck::powerUpdated, [&] {
            const double v = r.md->power();
            shown << QString::number(v, 'g', 6) + ' ' + r.md->unitStr();
        });
        r.md->setUnit(1);
        QCOMPARE(shown, QStringList{"100 мкВт"});
        QCOMPARE(r.md->powerModel()->rowCount(), 0);
        r.dev0.getPwr(-10.0);
        QCOMPARE(r.lastRecord().powerUnit(), QStringLiteral("мкВт"));
    }

    void offsetSwitchRunsOneCycle() {
        Rig r;
        r.dev0.getPwr(-30.0);
        r.md->setOffset_dB(20.0);
        r.md->powerModel()->clear();
        r.mark();
        r.md->setOffsetEn(true);
        QCOMPARE(r.md->powerModel()->rowCount(), 1);
        QCOMPARE(r.lastRecord().power(), -10.0);
        QCOMPARE(r.newLogs().size(), 2);
        QCOMPARE(r.newLogs().at(0), QStringLiteral("Смещение = вкл."));
        QVERIFY(r.newLogs().at(1).contains(readingLine(" Мощность = -10 дБм")));
        QCOMPARE(r.signalLog.count("power"), 1);
        r.md->setOffsetEn(false);
        QCOMPARE(r.lastRecord().power(), -30.0);

        // Without a current reading the switch shows nothing again: after a disconnect the
        // meter's last value is no live reading.
        r.connectTo("T9, SN: 1");
        r.dev0.getPwr(-20.5);
        r.md->setIsStart(false);
        const int rows = r.md->powerModel()->rowCount();
        r.mark();
        r.md->setOffsetEn(true);
        QCOMPARE(r.md->powerModel()->rowCount(), rows);
        QCOMPARE(r.newLogs(), QStringList{"Смещение = вкл."});
        QVERIFY(std::isnan(r.md->power()));
    }
};

int runPropertyTests(int argc, char** argv) {
    PropertyTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_properties.moc"
