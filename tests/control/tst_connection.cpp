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
    void deviceListFollowsFacade() {
        Rig r;
        r.dev0.getDevList({"A, SN: 1", "B, SN: 2"});
        DeviceModel* dm = r.md->deviceModel();
        QCOMPARE(dm->rowCount(), 2);
        QCOMPARE(dm->items().at(1).info(), QStringLiteral("B, SN: 2"));
        r.dev0.getDevList({});
        QCOMPARE(dm->rowCount(), 0);
        QVERIFY(r.logs().isEmpty());
    }

    void connectSequence() {
        Rig r;
        r.dev0.getPwr(-20.0);
        r.dev0.getDevList({kMeter});
        r.md->setFileName("file:///tmp/old.csv");
        r.md->setNeedWrite(true);
        r.mark();
        r.md->setIsStart(true);
        QVERIFY(r.md->isStart());
        QCOMPARE(r.dev0.calls, QStringList({"start 0", "freq 3000"}));
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
        QCOMPARE(r.dev0.calls, QStringList({"start 0", "start 0"}));
    }

    void connectWithoutListedMeter() {
        Rig r;
        r.md->setIsStart(true);  // the model has no row 0: no exception, no frequency
        QVERIFY(r.md->isStart());
        QCOMPARE(r.dev0.calls, QStringList{"start 0"});
        QCOMPARE(r.logs().mid(0, 2),
                 QStringList({"Подключаюсь к ...\n", "Подключение к прошло успешно!"}));
        QVERIFY(r.logs().at(2).startsWith("Имя файла обновлено, имя файла =  "));
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
        QCOMPARE(r.newLogs(), QStringList({"Устройств не обнаружено!", "Устройство отключено!"}));
        QCOMPARE(r.dev0.calls, QStringList{"stop"});
        QVERIFY(std::isnan(r.md->power()));
        QCOMPARE(r.signalLog, QStringList({"power", "isStart"}));
        QVERIFY(r.md->needWrite());  // recording ends only with the next connection
    }
};

int runConnectionTests(int argc, char** argv) {
    ConnectionTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_connection.moc"
