// Meters measured beside the connected one: each reading goes to its own meter's read-out,
// series, log line and file; A−B from one cycle; one meter's loss leaves the others measuring.
#include <QtTest>
#include <memory>

#include "rig.h"

namespace {
const QString kMain = QStringLiteral("Ортикс-Т9, SN: 0001");
const QString kSecond = QStringLiteral("Ортикс-Т9, SN: 0002");
const QString kThird = QStringLiteral("Ортикс-Т9, SN: 0003");

// A controller whose further meters are scripted devices the test keeps hold of.
struct BenchRig : Rig {
    QList<FakeDevice*> made;  // owned by the controller's rows
    bool opens = true;        // whether the devices made next open

    BenchRig() {
        md->setFurtherDevices([this] {
            auto device = std::make_unique<FakeDevice>();
            device->startResult = opens;
            made.append(device.get());
            return std::unique_ptr<QObject>(std::move(device));
        });
        md->traces()->setRetryInterval(20);
        dev0.ports = {{kMain, "pA"}, {kSecond, "pB"}, {kThird, "pC"}};
    }
    FurtherMeters& further() { return *md->traces(); }
    // The main meter connected with the two others listed beside it.
    void connectThree() {
        dev0.getDevList({kMain, kSecond, kThird});
        md->setIsStart(true);
    }
    static QList<double> powers(const PowerDataModel* model) {
        QList<double> list;
        for (const PowerData& r : model->series())
            list.append(r.power());
        return list;
    }
};
}  // namespace

class TestFurther : public QObject {
    Q_OBJECT
private slots:
    // Each reading reaches its own meter's series, log line and record file, and no other;
    // each meter is asked at its own row's frequency and converter state.
    void eachReadingToItsOwnMeterWhicheverIsTheConnectedOne() {
        BenchRig r;
        r.connectThree();
        QVERIFY(r.md->isStart());
        r.md->deviceModel()->setData(r.md->deviceModel()->index(1), 5000.0, DeviceModel::eFreq);
        r.md->deviceModel()->setData(r.md->deviceModel()->index(1), true, DeviceModel::eAtt);
        QVERIFY(!r.md->addMeter(0));  // the connection's own meter
        QVERIFY(r.md->addMeter(1));
        QVERIFY(!r.md->addMeter(1));  // once
        QVERIFY(r.md->addMeter(2));
        QCOMPARE(r.made.size(), 2);
        QCOMPARE(r.made[0]->calls,
                 (QStringList{"freq 5000", "att 1", "startAt " + kSecond + " pB"}));
        QCOMPARE(r.made[1]->calls.last(), "startAt " + kThird + " pC");
        QCOMPARE(r.further().identifications(), (QStringList{kSecond, kThird}));
        // The main meter's discovery leaves the measured ports alone.
        QCOMPARE(r.dev0.calls.last(), "hold pB,pC " + kSecond + "," + kThird);
        // A frequency out of the meter's range is measured, and so kept, at the limit.
        r.further().setFreq(0, 5e6);
        QCOMPARE(r.made[0]->calls.last(), "freq 3200000");
        QVERIFY(r.logs().contains("SN 0002: Частота 5e+06 кГц вне диапазона 300 … 3 200 000 кГц."));
        QCOMPARE(r.md->deviceModel()->items().at(1).freq(), 3.2e6);

        r.record("run.csv");
        QVERIFY(r.md->needWrite());
        r.made[0]->freqOfReading = 5000;
        r.dev0.getPwr(-10.0);
        r.made[0]->getPwr(-25.0);
        r.made[1]->getPwr(-30.5);
        r.made[0]->getPwr(-26.0);

        QCOMPARE(BenchRig::powers(r.md->powerModel()), (QList<double>{-10.0}));
        QCOMPARE(BenchRig::powers(r.further().at(0)->model()), (QList<double>{-25.0, -26.0}));
        QCOMPARE(BenchRig::powers(r.further().at(1)->model()), (QList<double>{-30.5}));
        QCOMPARE(r.further().at(0)->model()->series().front().freq(), 5000.0);
        QCOMPARE(r.further().at(1)->model()->series().front().freq(), 3000.0);  // its row's
        QStringList files;
        for (int i = 0; i < r.writer.records.size(); ++i)
            files.append(QFileInfo(r.writer.names[i]).fileName() + " " +
                         QString::number(r.writer.records[i].power()));
        // A−B of a cycle goes into a file of its own, in dB, at the frequency A was asked.
        QCOMPARE(files, (QStringList{"run.csv -10", "run SN 0002.csv -25", "run A-B.csv 15",
                                     "run SN 0003.csv -30.5", "run SN 0002.csv -26"}));
        QCOMPARE(r.writer.records[2].powerUnit(), "дБ");
        QCOMPARE(r.writer.records[2].freq(), r.writer.records[0].freq());
        const QModelIndex second = r.further().index(0);
        QCOMPARE(second.data(FurtherMeters::ValueRole).toString(), "-26.00");
        QCOMPARE(second.data(FurtherMeters::StateRole).toInt(), 0);
        QCOMPARE(second.data(FurtherMeters::NameRole).toString(), "SN 0002");
        QVERIFY(second.data(FurtherMeters::TraceColorRole).toString() !=
                r.further().index(1).data(FurtherMeters::TraceColorRole).toString());

        // Its own offset settles only its own readings.
        r.further().setOffset(0, 20.0, true);
        r.made[0]->getPwr(-27.0);
        r.dev0.getPwr(-11.0);
        QCOMPARE(BenchRig::powers(r.further().at(0)->model()).last(), -7.0);
        QCOMPARE(BenchRig::powers(r.md->powerModel()).last(), -11.0);

        // Another meter made the connected one: not while recording (each file belongs to its
        // meter); then the others, the former one among them, are measured beside it, each
        // meter's offset and averaging going with it.
        r.md->setOffset_dB(3.0);
        r.md->setOffsetEn(true);
        r.further().setAveraging(1, true, 3);
        QVERIFY(!r.md->makeMain(1));
        r.md->setNeedWrite(false);
        QVERIFY(!r.further().at(0)->recorder().on());
        QVERIFY(!r.further().at(1)->recorder().on());
        r.made.clear();
        QVERIFY(r.md->makeMain(1));
        QCOMPARE(r.md->meterName(), kThird);
        QCOMPARE(r.dev0.calls.filter("start ").last(), "start 2");
        QCOMPARE(r.further().identifications(), (QStringList{kMain, kSecond}));
        QVERIFY(!r.md->offsetEn() && r.md->averEn());
        QCOMPARE(r.md->aver(), 3);
        QCOMPARE(r.further().settings(0).value("offset"), 3.0);
        QCOMPARE(r.made.last()->calls.first(), "freq 3200000");
        r.made.last()->getPwr(-25.0);
        QCOMPARE(BenchRig::powers(r.further().at(1)->model()), (QList<double>{-5.0}));

        // A port still busy a moment (a discovery pass the disconnection began): the meter is
        // awaited, not dropped, and taken in once it opens.
        r.made.clear();
        r.opens = false;
        QVERIFY(r.md->makeMain(0));
        QCOMPARE(r.further().count(), 2);
        QCOMPARE(r.further().index(0).data(FurtherMeters::StateRole).toInt(), 2);
        r.made[0]->startResult = true;
        QTRY_VERIFY(r.further().at(0)->keeper().connected());
        r.made[0]->getPwr(-30.0);
        QCOMPARE(r.further().index(0).data(FurtherMeters::StateRole).toInt(), 0);
    }

    // A−B of the main meter and the chosen one, only from readings of one cycle; it stays shown
    // until a cycle passes without a pair.
    void differenceFromOneCycle() {
        BenchRig r;
        r.connectThree();
        QVERIFY(r.md->addMeter(1));
        QVERIFY(r.md->addMeter(2));
        QCOMPARE(r.further().partner(), 0);  // the first added is B
        QCOMPARE(r.further().differenceText(), "—");
        QCOMPARE(r.further().differenceLabel(), "A−B, дБ");
        r.dev0.getPwr(-10.0);
        r.made[1]->getPwr(-40.0);  // not B
        QCOMPARE(r.further().differenceText(), "—");
        r.made[0]->getPwr(-25.0);
        QCOMPARE(r.further().differenceText(), "15.00");
        QCOMPARE(r.logs().filter(" A−B = 15 дБ").size(), 1);
        QVERIFY2(r.further().differenceStats().contains("n = 1"),
                 qPrintable(r.further().differenceStats()));
        r.made[0]->getPwr(-26.0);  // B again, A not: no second value from A's reading
        QCOMPARE(r.logs().filter(" A−B = ").size(), 1);
        r.further().setPartner(1);
        QCOMPARE(r.further().differenceText(), "—");
        r.made[1]->getPwr(-41.0);
        r.dev0.getPwr(-11.0);
        QCOMPARE(r.further().differenceText(), "30.00");
        r.md->setUnit(1);  // watts: the ratio of the powers
        QCOMPARE(r.further().differenceLabel(), "A/B");
        QCOMPARE(r.further().differenceText(), "1000");
        r.made[1]->emit replyLost();  // B without a value: none
        r.made[1]->getPwr(qQNaN());
        QCOMPARE(r.further().differenceText(), "—");
        // B taken out: the other one is B.
        r.md->removeMeter(2);
        QCOMPARE(r.further().partner(), 0);
    }

    // One meter lost: told once, awaited and taken back at its port while the others measure on.
    // An attempt that finds another device at the port is no new loss. The main meter lost: the
    // others measure on. The operator's disconnection ends them all; nothing is added while not
    // connected or when a meter cannot be opened.
    void lossOfOneOrTheMainWhileTheOthersGoOn() {
        BenchRig r;
        QVERIFY(!r.md->addMeter(1));  // not connected
        r.connectThree();
        QVERIFY(r.md->addMeter(1));
        QVERIFY(r.md->addMeter(2));
        r.alerts.clear();
        r.made[0]->startResult = false;  // not back yet
        r.dev0.ports[kSecond] = "pB2";   // discovery lists it elsewhere now
        emit r.made[0]->deviceMissing();
        QCOMPARE(r.alerts.size(), 1);
        QVERIFY(r.alerts[0].contains(kSecond));
        QCOMPARE(r.further().index(0).data(FurtherMeters::StateRole).toInt(), 2);
        QVERIFY(r.made[0]->calls.contains("stop"));
        QTRY_VERIFY(r.made[0]->calls.count("startAt " + kSecond + " pB2") >= 2);
        r.made[0]->startResult = true;
        QTRY_VERIFY(r.further().at(0)->keeper().connected());  // opened, awaited until it answers
        QCOMPARE(r.further().index(0).data(FurtherMeters::StateRole).toInt(), 2);
        emit r.made[0]->deviceMissing();  // another device answered there
        QCOMPARE(r.alerts.size(), 1);
        QTRY_VERIFY(r.further().at(0)->keeper().connected());
        r.made[0]->getPwr(-25.0);
        QCOMPARE(r.further().index(0).data(FurtherMeters::StateRole).toInt(), 0);
        QCOMPARE(
            r.logs().filter("SN 0002: Связь с устройством " + kSecond + " восстановлена.").size(),
            1);
        QCOMPARE(BenchRig::powers(r.further().at(0)->model()), (QList<double>{-25.0}));
        QCOMPARE(r.further().at(0)->port(), "pB2");

        emit r.dev0.deviceMissing();
        QVERIFY(r.md->reconnecting());
        r.made[1]->getPwr(-30.0);
        QCOMPARE(r.further().count(), 2);
        QCOMPARE(BenchRig::powers(r.further().at(1)->model()), (QList<double>{-30.0}));
        r.md->setIsStart(true);
        QVERIFY(r.md->isStart());
        r.md->setIsStart(false);
        QCOMPARE(r.further().count(), 0);
        QVERIFY(r.made[1]->calls.contains("stop"));

        r.md->setIsStart(true);
        r.alerts.clear();
        r.opens = false;
        QVERIFY(!r.md->addMeter(2));
        QCOMPARE(r.further().count(), 0);
        QCOMPARE(r.alerts, QStringList{"Невозможно подключиться к " + kThird});
    }
};

int runFurtherTests(int argc, char** argv) {
    TestFurther t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_further.moc"
