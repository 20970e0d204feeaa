#include <QPoint>
#include <QTest>
#include <cmath>
#include <limits>

#include "averagingfilter.h"
#include "chartfeeder.h"
#include "readingpipeline.h"
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

class PipelineTest : public QObject {
    Q_OBJECT
private slots:
    // The log lines, notifies and meter commands of a series of writes, and the value read after.
    void writes_data() {
        QTest::addColumn<Writes>("writes");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QStringList>("notified");
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<QVariant>("value");
        // A second write of the value held does nothing.
        row("att on, on, off", {{"att", true}, {"att", true}, {"att", false}},
            {"Аттенюатор = вкл.", "Аттенюатор = выкл."}, {"att", "att"}, {"att 1", "att 0"}, false);
        row("aver 3 reads 2 while off", {{"aver", 3}, {"aver", 3}},
            {"Усреднение обновлено = авто 0.001 дБ"}, {"aver"}, {}, 2);
        row("unit volt", {{"unit", 2}, {"unit", 2}}, {"Единицы измерения изменены на В"},
            {"unit", "unitStr", "power"}, {}, 2);
        row("relative refused without a reading", {{"relative", true}},
            {"Относительный отсчёт не включён: нет текущего показания."}, {}, {}, false);
        // Qt's own dialogs hand over a typed name as a plain path; other schemes are no file.
        // Names only, never opened.
        row("file URL", {{"fileName", "file:///tmp/a%20b.csv"}}, {}, {"fileName"}, {},
            "/tmp/a b.csv");
        row("drive path", {{"fileName", "C:/data/x.csv"}}, {}, {"fileName"}, {}, "C:/data/x.csv");
        row("other scheme", {{"fileName", "http://host/x.csv"}}, {}, {"fileName"}, {}, "");
        row("freq", {{"freq", 433920.25}, {"freq", 433920.25}},
            {"Установка новой частоты = 433920 кГц"}, {"freq"}, {"freq 433920.25"}, 433920.25);
        // Clamped, and said so before the line with the value sent.
        const QString outside = QStringLiteral(" кГц вне диапазона 300 … 3 200 000 кГц.");
        row("freq limits, compared before limiting",
            {{"freq", 100.0}, {"freq", 100.0}, {"freq", 5e6}},
            {"Частота 100" + outside, "Установка новой частоты = 300 кГц", "Частота 100" + outside,
             "Установка новой частоты = 300 кГц", "Частота 5e+06" + outside,
             "Установка новой частоты = 3.2e+06 кГц"},
            {"freq", "freq", "freq"}, {"freq 300", "freq 300", "freq 3200000"}, 3.2e6);
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
        row("aver out of range ignored",
            {{"averEn", true}, {"averEn", true}, {"aver", -1}, {"aver", 4}}, {"Усреднение  вкл."},
            {"averEn", "aver", "aver", "aver"}, {}, 0);
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
        QCOMPARE(r.md->property(writes.last().first), value);
    }

    // Offset first, then the rounding to the averaging step, then the display unit: what would
    // show as 1000.00 at the read-out's decimals takes the next prefix. The difference from the
    // reference is taken between settled readings (-20.04 + 0.04 rounds to -20.0, not -19.96);
    // the reading itself stays absolute.
    void pipelineSettlesConvertsAndRefers() {
        ReadingPipeline p([](const QString&) {});
        const auto shown = [&p](double dBm) {
            p.take(dBm);
            QString unit;
            const double value = p.shown(&unit);
            return QString::number(value, 'g', 6) + ' ' + unit;
        };
        QVERIFY(p.setUnit(1));
        QCOMPARE(shown(-30.00001), "0.999998 мкВт");
        QCOMPARE(shown(160.0), "10000 ГВт");
        QVERIFY(p.setUnit(2));
        QCOMPARE(shown(0.0), "223.607 мВ");
        QCOMPARE(AveragingFilter(2.5, 0).getValue(), 3.0);  // halves away from zero
        p.setOffset(0.04);
        p.setOffsetEn(true);
        p.setAverEn(true);
        p.setAver(1);
        QCOMPARE(p.take(-20.04), -20.0);
        QVERIFY(p.setRelative(true));
        QCOMPARE(p.reference(), -20.0);
        p.take(-23.06);
        QCOMPARE(p.relativeValue(), -3.0);
        QCOMPARE(p.dBm(), -23.0);  // records and the file keep absolute values
        p.drop();                  // no current reading, no difference
        QVERIFY(std::isnan(p.relativeValue()));
    }

    // The prefix follows each reading, announced only when it moves: views read `power` inside
    // their bindings.
    void prefixFollowsEachReading() {
        Rig r;
        r.dev0.getPwr(-10.0);
        // A new unit starts a new series; the read-out re-reads number and unit text at once.
        r.md->setUnit(1);
        QCOMPARE(r.md->powerModel()->rowCount(), 0);
        QCOMPARE(r.md->power(), 100.0);
        QCOMPARE(r.md->unitStr(), QStringLiteral("мкВт"));
        r.mark();
        // The record and its log line are in place when the reading is announced.
        QPoint rowsAndLines;
        QObject::connect(r.md.get(), &Meterdeck::powerUpdated, [&] {
            rowsAndLines = QPoint(r.md->powerModel()->rowCount(), r.newLogs().size());
        });
        r.dev0.pwr = -30.0043451;
        r.dev1.getPwr(-99.0);  // any family's signal reads the meter in use
        QCOMPARE(rowsAndLines, QPoint(1, 1));
        const QDateTime time = r.md->powerModel()->series().back().time();
        QCOMPARE(time.timeSpec(), Qt::LocalTime);
        QVERIFY(qAbs(time.msecsTo(QDateTime::currentDateTime())) < 60000);
        QCOMPARE(r.logs().last(), time.toString("dd.MM.yy HH:mm:ss") + " Мощность = 999 нВт");
        for (double dBm : {-29.9956592, -29.99, -30.0043451, kNaN})
            r.dev0.getPwr(dBm);
        QStringList shown;
        for (const PowerData& rec : r.md->powerModel()->series())
            shown.append(QString::number(rec.power(), 'g', 6) + ' ' + rec.powerUnit());
        QCOMPARE(shown,
                 QStringList({"999 нВт", "1.001 мкВт", "1.00231 мкВт", "999 нВт", "nan нВт"}));
        r.md->power();
        QCOMPARE(r.signalLog.count("unitStr"), 3);
    }

    // Bench tools on one connection. The offset switch shows the current reading again: a new
    // row, but no new measurement for the file or the figures (since connecting, in the display
    // unit, the same on the held chart); nothing without a reading. Each record carries the
    // frequency its request was made at. The status line ages the last reading, counts writes.
    void offsetSwitchStatisticsAndStatusLine() {
        Rig r;
        r.md->setUnit(1);
        r.connectTo("M, SN: 1");
        const qint64 t0 = QDateTime::currentMSecsSinceEpoch();
        QVERIFY(r.md->statusText(t0 + 3500).startsWith("M, SN: 1 · нет показаний 3."));
        r.record("run.csv");
        for (double dBm : {-10.0, -20.0, kNaN, -30.0})
            r.dev0.getPwr(dBm);
        r.md->setOffset_dB(20.0);
        r.mark();
        r.md->setOffsetEn(true);
        PowerDataModel* model = r.md->powerModel();
        QCOMPARE(model->rowCount(), 5);
        QCOMPARE(r.newLogs(), QStringList({"Смещение = вкл.", r.logs().last()}));
        QVERIFY(r.logs().last().endsWith(" Мощность = 100 мкВт"));
        QCOMPARE(r.signalLog.count("power"), 1);
        QCOMPARE(r.writer.records.size(), 4);
        ChartFeeder chart;
        chart.setModel(model);
        chart.setYColumn(model->edBm());
        chart.setPaused(true);
        chart.refresh();
        // Mean of 0.1, 0.01 and 0.001 mW is 0.037 mW.
        const QString figures =
            "мин 1.000 мкВт · макс 100.0 мкВт · сред 37.00 мкВт · СКО 10.00 дБ · n = 3";
        QCOMPARE(r.md->statsText(), figures);
        QCOMPARE(chart.statsText(), figures);
        QCOMPARE(r.md->pictureCaption(t0),
                 QDateTime::fromMSecsSinceEpoch(t0).toString("dd.MM.yyyy HH:mm:ss") +
                     " · M, SN: 1 · частота 3000 кГц · смещение 20 дБ · единицы: Вт");
        r.dev0.freqOfReading = 915000.0;  // asked before the setting changed
        r.writer.result = false;
        r.dev0.getPwr(-5.0);
        QCOMPARE(r.writer.records.last().freq(), 915000.0);
        QCOMPARE(r.writer.records.first().freq(), r.md->freq());
        chart.refresh();  // held: its copy of the rows, the repeat still not counted
        QCOMPARE(chart.statsText(), figures);
        const qint64 t1 = QDateTime::currentMSecsSinceEpoch();
        QVERIFY(!r.md->stale(t1 + 2000) && r.md->stale(t1 + 3200));
        QCOMPARE(r.md->statusText(t1 + 3200).section(" · ", 1),
                 "нет новых показаний 3.2 с · запись: run.csv, строк 4 · сбоев записи: 1");
        r.md->setIsStart(false);
        QCOMPARE(r.md->statusText(t1),
                 "не подключено · запись: run.csv, строк 4 · сбоев записи: 1");
        r.mark();
        r.md->setOffsetEn(false);
        QCOMPARE(r.newLogs(), QStringList{"Смещение = выкл."});
        QCOMPARE(model->rowCount(), 6);
        QVERIFY(std::isnan(r.md->power()));
        r.md->setIsStart(true);  // a fresh connection starts the figures again
        QCOMPARE(r.md->statistics().count(), 0);
        // So does a new unit, together with the chart.
        r.dev0.getPwr(-5.0);
        r.md->setUnit(0);
        chart.setPaused(false);
        chart.refresh();
        QCOMPARE(chart.statsText(), "нет показаний");
        QCOMPARE(r.md->statsText(), "нет показаний");
    }
};

int runPipelineTests(int argc, char** argv) {
    PipelineTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_pipeline.moc"
