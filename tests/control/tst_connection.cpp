#include <QSignalSpy>
#include <QTest>
#include <cmath>

#include "rig.h"

namespace {
const QString kMeter = QStringLiteral("T9 rev6, SN: 0042");
}

class ConnectionTest : public QObject {
    Q_OBJECT
private slots:
    void deviceListFollowsFacade() {
        Rig r;
        r.dev0.getDevList({"A, SN: 1", "B, SN: 2"});
        DeviceModel* dm = r.md->deviceModel();
        QCOMPARE(dm->rowCount(), 2);
        QCOMPARE(dm->items().at(1).info(), QStringLiteral("B, SN: 2"));
        QCOMPARE(dm->items().at(0).freq(), 3000.0);
        r.dev0.getDevList({});
        QCOMPARE(dm->rowCount(), 0);
        QVERIFY(r.logs().isEmpty());
    }

    void connectSequence() {
        Rig r;
        r.dev0.read(-20.0);
        r.dev0.getDevList({kMeter});
        r.mark();
        r.md->setIsStart(true);
        QVERIFY(r.md->isStart());
        QCOMPARE(r.dev0.starts, QList<int>{0});
        QCOMPARE(r.dev0.freqs, QList<double>{3000.0});
        QCOMPARE(r.md->freq(), 3000.0);
        QCOMPARE(r.md->powerModel()->rowCount(), 0);
        const QStringList lines = r.newLogs();
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines[0], "Подключаюсь к " + kMeter + "...\n");
        QCOMPARE(lines[1], "Подключение к" + kMeter + " прошло успешно!");
        QCOMPARE(lines[2], QStringLiteral("Установка новой частоты = 3000 кГц"));
        QCOMPARE(lines[3], "Имя файла обновлено, имя файла = " + r.md->fileName());
        QCOMPARE(r.signalLog, QStringList({"freq", "fileName", "isStart"}));
        QCOMPARE(r.md->error(), 0);
    }

    void connectStopsRecordingAndRenames() {
        Rig r;
        r.dev0.getDevList({kMeter});
        r.md->setFileName("file:///tmp/old.csv");
        r.md->setNeedWrite(true);
        r.mark();
        r.md->setIsStart(true);
        const QStringList lines = r.newLogs();
        QCOMPARE(lines.size(), 5);
        QCOMPARE(lines[3], QStringLiteral("Запись в файл остановлена."));
        QVERIFY(lines[4].startsWith("Имя файла обновлено, имя файла = T9 rev6, SN_ 0042 "));
        QVERIFY(!r.md->needWrite());
    }

    // The meter starts at 300 kHz like the controller: a row frequency of 300 needs no command,
    // any other is sent, so the two never disagree.
    void meterAndControllerAgreeOnFrequency_data() {
        QTest::addColumn<double>("rowFreq");
        QTest::addColumn<int>("sent");
        QTest::newRow("row at the start value") << 300.0 << 0;
        QTest::newRow("row elsewhere") << 1500.0 << 1;
    }
    void meterAndControllerAgreeOnFrequency() {
        QFETCH(double, rowFreq);
        QFETCH(int, sent);
        Rig r;
        double meterFreq = 300.0;  // the driver's own start value
        r.dev0.getDevList({kMeter});
        DeviceModel* dm = r.md->deviceModel();
        dm->setData(dm->index(0), rowFreq, DeviceModel::eFreq);
        r.md->setIsStart(true);
        QCOMPARE(r.dev0.freqs.size(), sent);
        if (!r.dev0.freqs.isEmpty()) meterFreq = r.dev0.freqs.last();
        QCOMPARE(meterFreq, r.md->freq());
        QCOMPARE(r.md->freq(), rowFreq);
    }

    void failedConnect() {
        Rig r;
        r.dev0.startResult = false;
        r.dev0.getDevList({kMeter});
        r.mark();
        r.md->setIsStart(true);
        QVERIFY(!r.md->isStart());
        QCOMPARE(r.md->error(), 1);
        QCOMPARE(r.newLogs(), QStringList({"Подключаюсь к " + kMeter + "...\n",
                                           "Невозможно подключиться к " + kMeter}));
        QCOMPARE(r.signalLog, QStringList({"error", "isStart"}));
        QVERIFY(r.dev0.freqs.isEmpty());
        QVERIFY(r.md->fileName().isEmpty());
        r.md->setIsStart(true);  // isStart is false again, so the switch can retry
        QCOMPARE(r.md->error(), 2);
        QCOMPARE(r.dev0.starts, QList<int>({0, 0}));
    }

    void connectWithoutListedMeter() {
        Rig r;
        r.md->setIsStart(true);  // the model has no row 0: no exception, no frequency
        QVERIFY(r.md->isStart());
        QCOMPARE(r.dev0.starts, QList<int>{0});
        QVERIFY(r.dev0.freqs.isEmpty());
        QCOMPARE(r.logs().at(0), QStringLiteral("Подключаюсь к ...\n"));
        QCOMPARE(r.logs().at(1), QStringLiteral("Подключение к прошло успешно!"));
        QVERIFY(r.logs().at(2).startsWith("Имя файла обновлено, имя файла =  "));
    }

    void disconnect() {
        Rig r;
        r.connectTo(kMeter);
        r.md->setUnit(1);
        r.dev0.read(0.0);
        QCOMPARE(r.md->unitStr(), QStringLiteral("мВт"));
        r.mark();
        r.md->setIsStart(false);
        QCOMPARE(r.newLogs(), QStringList{"Устройство отключено!"});
        QCOMPARE(r.signalLog, QStringList({"power", "isStart"}));
        QCOMPARE(r.dev0.stops, 1);
        QVERIFY(std::isnan(r.md->power()));
        QCOMPARE(r.md->unitStr(), QStringLiteral("нВт"));
    }

    void meterLostWhileConnected() {
        Rig r;
        r.connectTo(kMeter);
        r.md->setNeedWrite(true);
        r.mark();
        r.dev0.deviceState();
        QVERIFY(!r.md->isStart());
        QCOMPARE(r.newLogs(), QStringList({"Устройств не обнаружено!", "Устройство отключено!"}));
        QCOMPARE(r.dev0.stops, 1);
        QVERIFY(std::isnan(r.md->power()));
        QCOMPARE(r.signalLog, QStringList({"power", "isStart"}));
        QVERIFY(r.md->needWrite());  // recording ends only with the next connection
    }

    void meterLostWhileIdle() {
        Rig r;
        r.dev1.deviceState();
        QCOMPARE(r.logs(), QStringList{"Устройств не обнаружено!"});
        QVERIFY(r.signalLog.isEmpty());
        QCOMPARE(r.dev0.stops, 0);
    }
};

int runConnectionTests(int argc, char** argv) {
    ConnectionTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_connection.moc"
