#include <QSignalSpy>
#include <QTest>
#include <cmath>

#include "rig.h"

namespace {
const QString kMeter = QStringLiteral("T9 rev6, SN: 0042");
const QString kConnecting = "Подключаюсь к " + kMeter + "...\n";
}  // namespace

class ConnectionTest : public QObject {
    Q_OBJECT
private slots:
    void connectSequence() {
        Rig r;
        r.dev0.getPwr(-20.0);
        r.dev0.getDevList({kMeter});
        r.md->setFileName("file:///tmp/old.csv");
        r.md->setNeedWrite(true);
        r.mark();
        r.md->setIsStart(true);
        QVERIFY(r.md->isStart());
        // The meter has its settings before it opens: its first request may precede start()'s
        // return.
        QCOMPARE(r.dev0.calls, QStringList({"freq 3000", "att 0", "start 0", "freq 3000"}));
        QCOMPARE(r.md->powerModel()->rowCount(), 0);
        QCOMPARE(r.newLogs(),
                 QStringList({kConnecting, "Подключение к" + kMeter + " прошло успешно!",
                              "Установка новой частоты = 3000 кГц", "Запись в файл остановлена.",
                              "Имя файла обновлено, имя файла = " + r.md->fileName()}));
        QVERIFY(r.md->fileName().startsWith("T9 rev6, SN_ 0042 "));
        QCOMPARE(r.signalLog, QStringList({"freq", "needWrite", "fileName", "isStart"}));
        QCOMPARE(r.md->error(), 0);
    }

    // Controller and meter start at the same frequency, so a row frequency equal to the
    // controller's start value cannot be skipped as unchanged while the meter measures elsewhere.
    void meterAndControllerAgreeOnFrequency_data() {
        QTest::addColumn<double>("rowFreq");
        QTest::newRow("start value") << 300.0;
        QTest::newRow("row default") << 3000.0;
        QTest::newRow("elsewhere") << 1500.0;
    }
    void meterAndControllerAgreeOnFrequency() {
        QFETCH(double, rowFreq);
        Rig r;
        r.dev0.getDevList({kMeter});
        DeviceModel* dm = r.md->deviceModel();
        dm->setData(dm->index(0), rowFreq, DeviceModel::eFreq);
        r.md->setIsStart(true);
        const QStringList sent = r.dev0.calls.filter("freq ");
        const double meterFreq = sent.isEmpty() ? 300.0 : sent.last().mid(5).toDouble();
        QCOMPARE(r.md->freq(), rowFreq);
        QCOMPARE(meterFreq, rowFreq);
    }

    void failedConnect() {
        Rig r;
        r.dev0.startResult = false;
        r.dev0.getDevList({kMeter});
        r.md->setIsStart(true);
        QVERIFY(!r.md->isStart());
        QCOMPARE(r.md->error(), 1);
        QCOMPARE(r.logs(), QStringList({kConnecting, "Невозможно подключиться к " + kMeter}));
        QCOMPARE(r.signalLog, QStringList({"error", "isStart"}));
        QVERIFY(r.md->fileName().isEmpty());
        r.md->setIsStart(true);  // the switch can retry
        QCOMPARE(r.md->error(), 2);
        QCOMPARE(r.dev0.calls.filter("start"), QStringList({"start 0", "start 0"}));
    }

    void connectWithoutListedMeter() {
        Rig r;
        r.md->setIsStart(true);  // nothing listed, nothing to open
        QVERIFY(!r.md->isStart());
        QVERIFY(r.dev0.calls.isEmpty());
        QCOMPARE(r.md->error(), 1);
        QCOMPARE(r.logs(), QStringList({"Подключаюсь к ...\n", "Невозможно подключиться к "}));
    }

    void disconnect() {
        Rig r;
        r.connectTo(kMeter);
        r.md->setUnit(1);
        r.dev0.getPwr(0.0);
        r.mark();
        r.dev0.calls.clear();
        r.md->setIsStart(false);
        QCOMPARE(r.newLogs(), QStringList{"Устройство отключено!"});
        QCOMPARE(r.signalLog, QStringList({"power", "isStart"}));
        QCOMPARE(r.dev0.calls, QStringList{"stop"});
        QVERIFY(std::isnan(r.md->power()));
        QCOMPARE(r.md->unitStr(), QStringLiteral("нВт"));
    }

    void meterLost() {
        Rig r;
        r.dev1.deviceState();  // while idle: only the line
        QCOMPARE(r.logs(), QStringList{"Устройств не обнаружено!"});
        QVERIFY(r.signalLog.isEmpty() && r.dev0.calls.isEmpty());
        r.connectTo(kMeter);
        r.md->setNeedWrite(true);
        r.mark();
        r.dev0.calls.clear();
        r.dev0.deviceState();
        QVERIFY(!r.md->isStart());
        QCOMPARE(r.newLogs(),
                 QStringList({"Устройств не обнаружено!", "Устройство отключено!",
                              "Связь с устройством " + kMeter +
                                  " потеряна. Подключусь снова, когда оно появится."}));
        QCOMPARE(r.dev0.calls, QStringList{"stop"});
        QVERIFY(std::isnan(r.md->power()));
        QCOMPARE(r.signalLog, QStringList({"power", "isStart"}));
        QVERIFY(r.md->reconnecting());
        QVERIFY(r.md->needWrite());  // recording ends only with the next connection
    }

    void connectionOpensTheSelectedMeterWhereverItIsListed() {
        Rig r;
        DeviceModel* dm = r.md->deviceModel();
        r.dev0.getDevList({"A, SN: 1", "B, SN: 2"});
        QCOMPARE(r.md->selectedDevice(), 0);
        dm->setData(dm->index(0), 1500.0, DeviceModel::eFreq);
        r.md->setSelectedDevice(1);
        // The facade lists B first now; the model keeps its rows, and B is opened by name.
        r.dev0.getDevList({"B, SN: 2", "A, SN: 1"});
        QCOMPARE(r.md->selectedDevice(), 1);
        r.md->setIsStart(true);
        QCOMPARE(r.dev0.calls.mid(0, 3), QStringList({"freq 3000", "att 0", "start 0"}));
        QVERIFY(r.logs().contains("Подключение кB, SN: 2 прошло успешно!"));
        QVERIFY(r.md->fileName().startsWith("B, SN_ 2 "));
        r.md->setSelectedDevice(0);  // no switching meters under an open connection
        QCOMPARE(r.md->selectedDevice(), 1);
        r.md->setIsStart(false);

        // A leaves: B is row 0 and stays selected; A comes back with its frequency.
        r.dev0.getDevList({"B, SN: 2", "C, SN: 3"});
        QCOMPARE(r.md->selectedDevice(), 0);
        QCOMPARE(dm->items().at(1).info(), QStringLiteral("C, SN: 3"));
        r.dev0.getDevList({"A, SN: 1"});
        QCOMPARE(r.md->selectedDevice(), 0);
        QCOMPARE(dm->items().at(0).freq(), 1500.0);
        r.dev0.getDevList({});
        QCOMPARE(r.md->selectedDevice(), -1);

        // Whoever reacts to the new list (the demo connects right then) finds the meter selected.
        QObject::connect(dm, &QAbstractItemModel::modelReset, r.md.get(), [&r] {
            if (r.md->deviceModel()->rowCount() > 0)
                r.md->setIsStart(true);
        });
        r.dev0.getDevList({kMeter});
        QVERIFY(r.md->isStart());
        QCOMPARE(r.md->error(), 0);
    }

    void replyFaultsAreLoggedOncePerRunAndShowNoValue() {
        Rig r;
        r.connectTo(kMeter);
        r.dev0.getPwr(-20.0);
        const int rows = r.md->powerModel()->rowCount();
        r.mark();
        for (int i = 0; i < 3; ++i)
            emit r.dev0.replyLost();
        QCOMPARE(r.newLogs(), QStringList{"Устройство не отвечает."});
        QVERIFY(std::isnan(r.md->power()));
        QCOMPARE(r.md->powerModel()->rowCount(), rows);
        // Switching the offset does not bring the old value back as a live one.
        r.md->setOffsetEn(true);
        QCOMPARE(r.md->powerModel()->rowCount(), rows);
        emit r.dev0.replyUnusable("{\"ERR\":1}\r\n");  // the meter's own text, one line
        emit r.dev0.replyUnusable("{\"ERR\":1}");
        r.dev0.getPwr(-21.0);
        QCOMPARE(r.newLogs().mid(2, 3),
                 QStringList({"Устройство снова отвечает, пропущено ответов: 3",
                              "Ответ устройства не содержит показания: {\"ERR\":1}  ",
                              "Показания снова поступают, неверных ответов: 2"}));
        QCOMPARE(r.md->power(), -21.0);
        QCOMPARE(r.writer.records.size(), 0);  // nothing of it reached a record
        // After the connection is closed, late fault reports change nothing.
        r.md->setIsStart(false);
        r.mark();
        emit r.dev0.replyLost();
        QVERIFY(r.newLogs().isEmpty());
    }

    // A port discovery may not open is named once, with what to do; the first is also shown.
    void portWithoutRightsIsToldOncePerPort() {
        Rig r;
        QSignalSpy alerts(r.md.get(), &Meterdeck::alert);
        r.mark();
        for (int pass = 0; pass < 3; ++pass) {
            emit r.dev0.portRefused("/dev/ttyUSB0");
            emit r.dev0.portRefused("/dev/ttyACM1");
        }
        const QStringList lines = r.newLogs();
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines.at(0).startsWith("Порт /dev/ttyUSB0 не открывается: нет прав"));
        QVERIFY(lines.at(0).contains("dialout") &&
                lines.at(0).contains("войдите в систему заново"));
        QVERIFY(lines.at(1).startsWith("Порт /dev/ttyACM1"));
        QCOMPARE(alerts.count(), 1);
        QCOMPARE(alerts.at(0).at(0).toString(), lines.at(0));
    }

    void lostMeterIsTakenBackWithItsSettingsAndFile() {
        Rig r;
        r.connectTo(kMeter);
        r.md->setFreq(1500.0);
        r.md->setAtt(true);
        r.md->setFileName("file:///tmp/run.csv");
        r.md->setNeedWrite(true);
        r.dev0.calls.clear();
        r.dev0.deviceState();
        QVERIFY(!r.md->isStart() && r.md->reconnecting());
        r.dev0.getDevList({});  // still gone
        QVERIFY(!r.md->isStart());
        r.mark();
        r.dev0.getDevList({"Other, SN: 9", kMeter});
        QVERIFY(r.md->isStart() && !r.md->reconnecting());
        QCOMPARE(r.dev0.calls, QStringList({"stop", "freq 1500", "att 1", "start 1"}));
        QCOMPARE(r.md->fileName(), QStringLiteral("/tmp/run.csv"));
        QVERIFY(r.md->needWrite());
        QCOMPARE(r.newLogs().last(),
                 QStringLiteral("Запись продолжается в файл /tmp/run.csv после перерыва."));
        QCOMPARE(r.signalLog.count("isStart"), 1);

        // The operator's own word ends the wait.
        r.dev0.deviceState();
        QVERIFY(r.md->reconnecting());
        r.md->setIsStart(false);
        QVERIFY(!r.md->reconnecting());
        QCOMPARE(r.logs().last(), QStringLiteral("Повторное подключение отменено."));
        r.dev0.calls.clear();
        r.dev0.getDevList({kMeter});
        QVERIFY(!r.md->isStart());
        QVERIFY(r.dev0.calls.isEmpty());
    }
};

int runConnectionTests(int argc, char** argv) {
    ConnectionTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_connection.moc"
