// The whole chain over real serial I/O: simulated meter, driver thread, facade, controller,
// models, record file and chart builder.
#include <QSignalSpy>
#include <QUrl>
#include <QtTest>

#include "../support/lines.h"
#include "chartbuilder.h"
#include "live.h"
#include "recordformat.h"
#include "t9rev6_driver.h"

class TestEndToEnd : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    // Discovery, connection with the row's settings, readings, a recording that goes on across
    // an unplug and replug (under the same port name, as a COM port, or a new one), the
    // stop, and the recording opened on the chart.
    void discoveryConnectMeasureRecordAcrossAReplugAndReload_data() {
        QTest::addColumn<bool>("samePortName");
        QTest::newRow("same port name") << true;
        QTest::newRow("new port name") << false;
    }
    void discoveryConnectMeasureRecordAcrossAReplugAndReload() {
        QFETCH(bool, samePortName);
        StableMeterLine line(dir.path());
        line.meter.setIdentity(QStringLiteral("T9-SIM"), QStringLiteral("00042"));
        // Each request gets its own reading, so the file, the log and the read-out can be matched.
        std::atomic<int> n{0};
        line.meter.setReadingFunction([&n](double freq, bool att) {
            return -30.0 + (att ? -20.0 : 0.0) + freq / 1e6 + 0.125 * (n++ % 17);
        });
        // A pseudo-terminal gets a new number when it is made again; the link keeps one name.
        Bench bench(
            fastSettings(samePortName ? line.enumeration() : simPortEnumeration({&line.meter})));
        Meterdeck& deck = *bench.deck;
        QVERIFY(bench.listed());
        QCOMPARE(deck.deviceModel()->items().at(0).info(), QStringLiteral("T9-SIM, SN: 00042"));

        // Connecting sends the row's frequency and the attenuator flag with the next requests.
        deck.deviceModel()->setData(deck.deviceModel()->index(0), 1500.25, DeviceModel::eFreq);
        deck.setAtt(true);
        line.meter.clearReceived();
        deck.setIsStart(true);
        QVERIFY(deck.isStart());
        QCOMPARE(deck.freq(), 1500.25);
        QCOMPARE(logLines(deck.logsModel()).mid(1, 2),
                 QStringList({"Подключаюсь к T9-SIM, SN: 00042...\n",
                              "Подключение кT9-SIM, SN: 00042 прошло успешно!"}));
        QTRY_VERIFY_WITH_TIMEOUT(deck.powerModel()->rowCount() >= 3, 5000);
        const QByteArray expected = "info.power {\"Freq\":1500.250000, \"Att\":true }\r\n";
        QVERIFY2(line.meter.received().contains(expected), line.meter.received().constData());
        QVERIFY2(!line.meter.received().contains("\"Freq\":300.000000"),
                 line.meter.received().constData());
        QVERIFY(deck.power() < -49.0 && deck.power() > -50.0);

        // Recording: one line per reading shown, in order, across the loss.
        const QString rec = dir.filePath(QStringLiteral("run%1.csv").arg(samePortName));
        deck.setFileName(QUrl::fromLocalFile(rec).toString());
        QList<double> shown;
        QStringList shownTimes;
        auto conn = connect(&deck, &Meterdeck::powerUpdated, this, [&] {
            if (deck.needWrite() && !qIsNaN(deck.power())) {
                shown << deck.power();
                shownTimes << deck.powerModel()->timeMax().toString(RecordFormat::TimePattern);
            }
        });
        deck.setNeedWrite(true);
        QTRY_VERIFY_WITH_TIMEOUT(shown.size() >= 6, 10000);

        // Unplugging: logged in this order, connection closed, read-out NaN; reports already
        // queued may still be logged after the close, nothing else may.
        line.unplug();
        QTRY_VERIFY_WITH_TIMEOUT(deck.reconnecting(), 5000);
        QVERIFY(!deck.isStart() && qIsNaN(deck.power()));
        const QString lost = QStringLiteral("Устройств не обнаружено!");
        const QStringList lossLog = logLines(deck.logsModel());
        const qsizetype first = lossLog.indexOf(lost);
        QVERIFY(first >= 0);
        QCOMPARE(lossLog.value(first + 1), QStringLiteral("Устройство отключено!"));
        QVERIFY(lossLog.value(first + 2).startsWith(QStringLiteral("Связь с устройством ")));
        for (qsizetype i = first + 3; i < lossLog.size(); ++i)
            QCOMPARE(lossLog.at(i), lost);

        // Replugged, the meter is taken back by itself with its settings, into the same file.
        const qsizetype beforeGap = shown.size();
        QVERIFY(line.replug());
        QTRY_VERIFY_WITH_TIMEOUT(deck.isStart() && shown.size() >= beforeGap + 6, 5000);
        deck.setNeedWrite(false);
        disconnect(conn);
        QVERIFY(line.meter.received().contains(expected));
        const QList<QByteArray> lines = fileLines(rec);
        QCOMPARE(lines.size(), shown.size());
        const QStringList logs = logLines(deck.logsModel());
        for (int i = 0; i < lines.size(); ++i) {
            const QList<QByteArray> f = lines[i].split(';');
            QCOMPARE(f.size(), 5);
            QCOMPARE(QString::fromLatin1(f[0]), shownTimes[i]);
            QCOMPARE(f[1], QByteArray("1500.25"));
            QCOMPARE(QString::fromUtf8(f[2]), QStringLiteral("кГц"));
            QCOMPARE(QString::fromLatin1(f[3]), QString::number(shown[i], 'g', 6));
            QCOMPARE(QString::fromUtf8(f[4]), QStringLiteral("дБм"));
            const QString written = QStringLiteral(" Мощность = ") + QString::fromLatin1(f[3]) +
                                    QStringLiteral(" дБм записана в файл.");
            QVERIFY2(!logs.filter(written).isEmpty(), qPrintable(written));
        }
        QCOMPARE(logs.filter(QStringLiteral(" записана в файл.")).size(), lines.size());
        QCOMPARE(logs.filter("Запись продолжается в файл " + rec + " после перерыва.").size(), 1);

        deck.setIsStart(false);
        QVERIFY(!bench.t9->driverObject()->pollActive());
        QCOMPARE(logLines(deck.logsModel()).last(), QStringLiteral("Устройство отключено!"));

        // Opening the recorded file puts exactly the recorded readings on the chart.
        ChartBuilder builder(deck.powerModel());
        builder.setFilePath(QUrl::fromLocalFile(rec).toString());
        PowerDataModel* model = deck.powerModel();
        QCOMPARE(model->rowCount(), shown.size());
        for (int i = 0; i < shown.size(); ++i) {
            QCOMPARE(model->series()[i].power(), QString::number(shown[i], 'g', 6).toDouble());
            QCOMPARE(model->series()[i].time().toString(RecordFormat::TimePattern), shownTimes[i]);
        }
    }

    // A meter pulled and plugged back at once keeps its port name (as a COM port does), while the
    // open handle is dead. The read-out must not freeze on the last value as if still measuring.
    void aQuickReplugUnderTheSameNameDoesNotFreezeTheReadout() {
        StableMeterLine line(dir.path());
        Bench bench(fastSettings(line.enumeration()));
        Meterdeck& deck = *bench.deck;
        QVERIFY(bench.measuring());

        line.meter.setReading(-12.0);
        line.unplug();
        QVERIFY(line.replug());
        line.meter.setReading(-7.5);
        // Either the readings come back from the replugged meter, or the loss is shown.
        QTRY_VERIFY_WITH_TIMEOUT(!deck.isStart() || deck.power() == -7.5, 5000);
        if (!deck.isStart()) {
            QVERIFY(qIsNaN(deck.power()));
            deck.setIsStart(true);
            QTRY_VERIFY_WITH_TIMEOUT(deck.power() == -7.5, 5000);
        }
        const int rows = deck.powerModel()->rowCount();
        QTRY_VERIFY_WITH_TIMEOUT(deck.powerModel()->rowCount() > rows + 3, 5000);
    }

    void aMeterGoneWhileItsNameStaysListedIsReportedLost() {
        StableMeterLine line(dir.path());
        Bench bench(fastSettings(line.enumeration()));
        Meterdeck& deck = *bench.deck;
        QVERIFY(bench.measuring());
        line.unplugKeepingName();
        QTRY_VERIFY_WITH_TIMEOUT(!deck.isStart(), 5000);
        QVERIFY(qIsNaN(deck.power()));
        QVERIFY(logLines(deck.logsModel()).contains(QStringLiteral("Устройств не обнаружено!")));
    }

    void aMeterThatNeverAnswersIsNotListed() {
        SimMeter silent;
        silent.setSilent(true);
        SimMeter meter;
        Bench bench(fastSettings(
            simPortEnumeration({&silent, &meter}, {QStringLiteral("/dev/nonexistent-port")})));
        QTRY_COMPARE_WITH_TIMEOUT(bench.deck->deviceModel()->rowCount(), 1, 5000);
        // Several passes later the list is still the one meter, not one entry per pass.
        QSignalSpy lists(bench.t9.get(), &T9rev6::devListUpdated);
        QTRY_VERIFY_WITH_TIMEOUT(lists.count() >= 3, 5000);
        QCOMPARE(bench.deck->deviceModel()->rowCount(), 1);
        QCOMPARE(bench.t9->devList().size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestEndToEnd)
#include "tst_e2e.moc"
