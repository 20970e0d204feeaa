#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>

#include "chartfeeder.h"
#include "rig.h"

static const QString kMeter = QStringLiteral("T9 rev6, SN: 0042");
static const QString kTwin = QStringLiteral("T9 rev6, SN: 0043");  // the same model

class ConnectionTest : public QObject {
    Q_OBJECT
private slots:
    // A failed attempt (nothing listed, a meter that will not open) puts the switch back and
    // counts an error; a good one sends the meter's settings, logs, notifies, names a fresh file.
    void connectAndDisconnect() {
        Rig r;
        r.md->setIsStart(true);
        QVERIFY(!r.md->isStart() && r.dev0.calls.isEmpty());
        r.dev0.startResult = false;
        r.dev0.getDevList({kMeter});
        r.mark();
        r.md->setIsStart(true);
        QVERIFY(!r.md->isStart());
        QCOMPARE(r.md->error(), 2);
        QCOMPARE(r.newLogs(), QStringList({"Подключаюсь к " + kMeter + "...\n",
                                           "Невозможно подключиться к " + kMeter}));
        QCOMPARE(r.signalLog, QStringList({"error", "isStart"}));
        QVERIFY(r.md->fileName().isEmpty());

        r.dev0.startResult = true;
        r.dev0.getPwr(-20.0);
        r.md->setRelative(true);  // a fresh connection may be another set-up: the reference goes
        r.record("old.csv");
        r.mark();
        r.md->setIsStart(true);
        QVERIFY(r.md->isStart());
        // The meter has its settings before it opens: its first request may precede start().
        QCOMPARE(r.dev0.calls, QStringList({"freq 3000", "att 0", "start 0", "freq 3000"}));
        QCOMPARE(r.md->powerModel()->rowCount(), 0);
        QCOMPARE(r.newLogs(),
                 QStringList({"Подключаюсь к " + kMeter + "...\n",
                              "Подключение к" + kMeter + " прошло успешно!",
                              "Относительный отсчёт выключен.",
                              "Установка новой частоты = 3000 кГц", "Запись в файл остановлена.",
                              "Имя файла обновлено, имя файла = " + r.md->fileName()}));
        // Named at the local time of connecting.
        const QString name = r.md->fileName();
        const qint64 age = QDateTime::fromString(name.mid(18), "dd-MM-yyyy_HH-mm-ss'.csv'")
                               .secsTo(QDateTime::currentDateTime());
        QVERIFY2(name.startsWith("T9 rev6, SN_ 0042 ") && age >= 0 && age < 60, qPrintable(name));
        QCOMPARE(r.signalLog, QStringList({"power", "freq", "needWrite", "fileName", "isStart"}));
        QVERIFY(!r.md->relative());

        r.mark();
        r.md->setIsStart(false);
        QCOMPARE(r.newLogs(), QStringList{"Устройство отключено!"});
        QCOMPARE(r.signalLog, QStringList({"power", "isStart"}));
        QCOMPARE(r.dev0.calls, QStringList{"stop"});
        QVERIFY(std::isnan(r.md->power()));
    }

    void deviceListAndConnectionFollowTheSelectedMeter() {
        Rig r;
        DeviceModel* dm = r.md->deviceModel();
        r.dev0.getDevList({"A, SN: 1", "B, SN: 2"});
        QCOMPARE(r.md->selectedDevice(), 0);
        QVERIFY(dm->setData(dm->index(0), 1500.0, DeviceModel::eFreq));
        QVERIFY(dm->setData(dm->index(0), true, DeviceModel::eAtt));
        QVERIFY(!dm->setData(dm->index(2), 1.0, DeviceModel::eFreq));
        r.md->setSelectedDevice(1);
        // The facade lists B first now (and twice); the model keeps its rows, and B is opened by
        // name.
        r.dev0.getDevList({"B, SN: 2", "A, SN: 1", "B, SN: 2"});
        QCOMPARE(dm->rowCount(), 2);
        QCOMPARE(r.md->selectedDevice(), 1);
        r.md->setIsStart(true);
        QCOMPARE(r.dev0.calls.mid(0, 3), QStringList({"freq 3000", "att 0", "start 0"}));
        QVERIFY(r.logs().contains("Подключение кB, SN: 2 прошло успешно!"));
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
        QVERIFY(dm->items().at(0).att());
        r.dev0.getDevList({});
        QCOMPARE(r.md->selectedDevice(), -1);

        // A port discovery may not open is named once, with what to do; the first is also shown.
        r.mark();
        for (int pass = 0; pass < 3; ++pass)
            for (const char* port : {"/dev/ttyUSB0", "/dev/ttyACM1"})
                emit r.dev0.portRefused(port);
        for (int pass = 0; pass < 2; ++pass)
            emit r.dev0.portSlow("COM7");
        const QStringList lines = r.newLogs();
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines.at(2),
                 "Порт COM7 отвечает слишком медленно: устройство на нём не опознано.");
        QVERIFY(lines.at(0).startsWith("Порт /dev/ttyUSB0 не открывается: нет прав"));
        QVERIFY(lines.at(0).contains("dialout") &&
                lines.at(0).contains("войдите в систему заново"));
        QVERIFY(lines.at(1).startsWith("Порт /dev/ttyACM1"));
        QCOMPARE(r.alerts, QStringList{lines.at(0)});
    }

    // Lost without the operator's word: taken back with its settings once a pass finds it, never
    // another meter of its model (its file is the end-to-end suite's). A recording opened during
    // the wait stays through a unit change and gives way to the meter's first reading. The
    // operator's word ends the wait.
    void lostMeterIsTakenBackWithItsSettings() {
        Rig r;
        r.connectTo(kMeter);
        r.md->setFreq(1500.0);
        r.md->setAtt(true);
        r.mark();
        r.dev0.deviceState();
        QVERIFY(!r.md->isStart() && r.md->reconnecting());
        QCOMPARE(r.logs().last(), "Связь с устройством " + kMeter +
                                      " потеряна. Подключусь снова, когда оно появится.");
        // The wait is no quiet state: the age of the last reading goes on, in red once stale.
        const qint64 t0 = QDateTime::currentMSecsSinceEpoch();
        QVERIFY(r.md->stale(t0 + 3100));
        QVERIFY(r.md->statusText(t0 + 3100).startsWith("ожидание устройства " + kMeter +
                                                       " · нет показаний 3."));
        PowerDataModel* model = r.md->powerModel();
        model->replaceAll({PowerData(QDateTime::currentDateTime(), 10.0, "мВт", 3000, "кГц")});
        r.md->setUnit(2);
        ChartFeeder chart;
        chart.setModel(model);
        chart.setYColumn(model->edBm());
        QString unit;
        QCOMPARE(chart.collect(&unit).value(0).y(), std::sqrt(0.5) * 1000);  // 10 mW in 50 ohms
        QCOMPARE(unit, "мВ");
        r.dev0.getDevList({kTwin});
        QVERIFY(!r.md->isStart());
        r.dev0.getDevList({kTwin, kMeter});
        QVERIFY(r.md->isStart() && !r.md->reconnecting());
        QCOMPARE(r.dev0.calls, QStringList({"stop", "freq 1500", "att 1", "start 1"}));
        r.dev0.getPwr(-20.0);
        QCOMPARE(model->rowCount(), 1);
        QCOMPARE(r.logs().at(r.logs().size() - 2),
                 "Показ записи закончен: снова идут показания устройства.");

        r.dev0.deviceState();
        QVERIFY(r.md->reconnecting());
        r.md->setIsStart(false);
        QVERIFY(!r.md->reconnecting());
        QCOMPARE(r.logs().last(), QStringLiteral("Повторное подключение отменено."));
        r.mark();
        r.dev0.deviceState();  // while idle: no wait starts
        r.dev0.getDevList({kMeter});
        QVERIFY(!r.md->isStart() && r.dev0.calls.isEmpty());
    }

    // Each reading is logged, then its write. A run of failed writes, lost or unusable replies is
    // said once (failed writes shown to the operator too), and its end gives the count.
    void everyReadingIsWrittenAndFaultRunsAreToldOnce() {
        Rig r;
        r.connectTo(kMeter);
        r.record("run.csv");
        r.mark();
        r.md->setNeedWrite(true);  // already on: nothing happens
        QVERIFY(r.newLogs().isEmpty() && r.signalLog.isEmpty());
        r.dev0.getPwr(-7.5);
        r.writer.result = false;
        for (double p : {-8.0, -8.5, -9.0})
            r.dev0.getPwr(p);
        r.writer.result = true;
        r.dev0.getPwr(-9.5);
        const QStringList lines = r.newLogs();
        const QString failed = "Внимание! Запись невозможна в файл " + r.dir.filePath("run.csv");
        QCOMPARE(lines.size(), 9);
        QCOMPARE(lines[1], lines[0] + " записана в файл.");
        QCOMPARE(lines[3], failed);
        QCOMPARE(lines[7], QStringLiteral("Запись в файл возобновлена, не записано показаний: 3"));
        QCOMPARE(lines[8], lines[6] + " записана в файл.");
        QCOMPARE(r.alerts, QStringList{failed});
        QCOMPARE(r.writer.names,
                 QStringList(5, r.dir.filePath("run.csv")));  // every reading was tried
        QVERIFY(r.md->needWrite());

        r.mark();
        for (int i = 0; i < 3; ++i)
            emit r.dev0.replyLost();
        QCOMPARE(r.newLogs(), QStringList{"Устройство не отвечает."});
        QVERIFY(std::isnan(r.md->power()));
        QCOMPARE(r.md->powerModel()->rowCount(), 5);
        emit r.dev0.replyUnusable("{\"ERR\":1}\r\n");  // the meter's own text, one line
        emit r.dev0.replyUnusable("{\"ERR\":1}");
        r.dev0.getPwr(-21.0);
        QCOMPARE(r.newLogs().mid(1, 3),
                 QStringList({"Устройство снова отвечает, пропущено ответов: 3",
                              "Ответ устройства не содержит показания: {\"ERR\":1}  ",
                              "Показания снова поступают, неверных ответов: 2"}));
        QCOMPARE(r.md->power(), -21.0);
        QCOMPARE(r.writer.records.size(), 6);  // nothing of the faults reached a record
        // After the connection is closed, late fault reports change nothing.
        r.md->setIsStart(false);
        r.mark();
        emit r.dev0.replyLost();
        QVERIFY(r.newLogs().isEmpty());
    }

    // What the save dialog can hand over: a recording starts only into a file it can write.
    void refusedRecordFile() {
        QTemporaryDir dir;
        const QString sub = dir.filePath("sub");
        QVERIFY(QDir().mkpath(sub));
        QFile::setPermissions(sub, QFile::ReadOwner | QFile::ExeOwner);
        QList<std::pair<QString, QString>> refused = {
            {dir.filePath("no/x.csv"), "папка " + dir.filePath("no") + " не существует."},
            {sub, sub + " не является обычным файлом."}};
        if (!QFileInfo(sub).isWritable())  // root writes anyway
            refused.append({sub + "/x.csv", "нет права записи в папку " + sub + "."});
        for (const auto& [path, why] : refused)
            QCOMPARE(Recorder::recordFileProblem(path), why);
        // Without a file a recording would only fail once a second while looking as if it ran.
        Rig r;
        r.md->setNeedWrite(true);
        QVERIFY(!r.md->needWrite());
        QCOMPARE(r.logs(), QStringList{"Запись в файл не начата: файл для записи не выбран."});
        QCOMPARE(r.signalLog, QStringList{"needWrite"});
        QCOMPARE(r.alerts, r.logs());
    }

    // The name is built from the meter's text: it must stay in the working directory, hold
    // nothing Windows or Linux refuse, and fit the file systems' 255-byte limit.
    void meterTextMakesSafeFileNames() {
        QCOMPARE(Recorder::fileStem("../..\\evil/x:y*?\"<>|\t\u0001z"), ".._.._evil_x_y________z");
        QCOMPARE(Recorder::fileStem(QString(300, QChar(0x0416)) + "😀"),
                 QString(100, QChar(0x0416)));
        QCOMPARE(Recorder::fileStem(QString(199, 'a') + "😀"), QString(199, 'a'));  // no half emoji
        // A further meter's file stands beside the chosen one, its serial in the name, the
        // extension as written; a serial cannot lead out of the folder.
        QCOMPARE(Recorder::besideName("/data/run.csv", "0002"), QString("/data/run SN 0002.csv"));
        QCOMPARE(Recorder::besideName("C:\\bench\\Run.CSV", " 0002 "),
                 QString("C:\\bench\\Run SN 0002.CSV"));
        QCOMPARE(Recorder::besideName("/data/v1.2/run", "7"), QString("/data/v1.2/run SN 7"));
        QCOMPARE(Recorder::besideName("/data/.hidden", "7"), QString("/data/.hidden SN 7"));
        QCOMPARE(Recorder::besideName("run.csv", "../x"), QString("run SN .._x.csv"));
        QVERIFY(Recorder::besideName("/data/run.csv", "").isEmpty());
        QVERIFY(Recorder::besideName("", "0002").isEmpty());
    }
};

int runConnectionTests(int argc, char** argv) {
    ConnectionTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_connection.moc"
