#include "tst_device.h"

#include "comportinfo.h"
#include "testutil.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

void TestProbe::meterAnswersBoth() {
    SimMeter meter;
    meter.setIdentity("A", "0012");
    ComPortInfo probe(meter.portName(), 2000);
    QSignalSpy spy(&probe, &ComPortInfo::info);
    bool openAtReport = true;
    connect(&probe, &ComPortInfo::info, this, [&] { openAtReport = probe.isPortOpen(); });

    QVERIFY(spy.wait(2000));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toByteArray(), QByteArray("A, SN: 0012"));
    QCOMPARE(spy.at(0).at(1).toString(), meter.portName());
    QVERIFY(!probe.isPortOpen());
    QVERIFY(openAtReport);                           // closed right after the report, not before
    QCOMPARE(openDescriptors(meter.portName()), 1);  // only the meter's own
    QCOMPARE(meter.received(), QByteArray("info.name\r\ninfo.sn\r\n"));
}

void TestProbe::serialReplyInChunks() {
    SimMeter meter;
    meter.setIdentity("A", "0012");
    meter.setChunks(4, 15);
    ComPortInfo probe(meter.portName(), 2000);
    QSignalSpy spy(&probe, &ComPortInfo::info);
    QVERIFY(spy.wait(2000));
    QCOMPARE(spy.at(0).at(0).toByteArray(), QByteArray("A, SN: 0012"));
    QCOMPARE(spy.count(), 1);
}

void TestProbe::numericSerial() {
    SimMeter meter;
    meter.setIdentity("A", "x");
    meter.setSerialReply("{\"OK\":12}");
    ComPortInfo probe(meter.portName(), 2000);
    QSignalSpy spy(&probe, &ComPortInfo::info);
    QVERIFY(spy.wait(2000));
    QCOMPARE(spy.at(0).at(0).toByteArray(), QByteArray("A, SN: 12"));
}

void TestProbe::repliesWithoutOk() {
    SimMeter meter;
    meter.setNameReply("{\"ERR\":1}");
    meter.setSerialReply("{\"ERR\":2}");
    ComPortInfo probe(meter.portName(), 2000);
    QSignalSpy spy(&probe, &ComPortInfo::info);
    QVERIFY(spy.wait(2000));
    QCOMPARE(spy.at(0).at(0).toByteArray(), QByteArray(", SN: "));
}

void TestProbe::silentPortReportsOnceAfterTimeout() {
    SimMeter meter;
    meter.setSilent(true);
    QElapsedTimer clock;
    clock.start();
    ComPortInfo probe(meter.portName(), 200);
    QSignalSpy spy(&probe, &ComPortInfo::info);
    QVERIFY(spy.wait(2000));
    QVERIFY2(clock.elapsed() >= 195, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(spy.at(0).at(0).toByteArray(), QByteArray());
    QCOMPARE(spy.at(0).at(1).toString(), meter.portName());
    QVERIFY(!probe.isPortOpen());
    QVERIFY(!spy.wait(300));
    QCOMPARE(meter.received(), QByteArray("info.name\r\n"));
}

void TestProbe::unopenablePortWarnsAndReportsEmpty() {
    const QString name = QString::fromLatin1(NoSuchPort);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Ошибка: не удалось открыть порт \"" +
                                                          name + "\" - \".+\"$"));
    QElapsedTimer clock;
    clock.start();
    ComPortInfo probe(name, 150);
    QSignalSpy spy(&probe, &ComPortInfo::info);
    QVERIFY(spy.wait(2000));
    QVERIFY(clock.elapsed() >= 145);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toByteArray(), QByteArray());
    QCOMPARE(spy.at(0).at(1).toString(), name);
}

void TestProbe::nameWithoutSerialIsEmpty() {
    SimMeter meter;
    meter.setSerialReply("{\"OK\":");  // never completes
    ComPortInfo probe(meter.portName(), 200);
    QSignalSpy spy(&probe, &ComPortInfo::info);
    QVERIFY(spy.wait(2000));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toByteArray(), QByteArray());
    QCOMPARE(meter.commands(), QList<QByteArray>({"info.name", "info.sn"}));
}

void TestProbe::garbageIsNotIdentified() {
    SimMeter meter;
    meter.setNameReply("OK T9}");
    ComPortInfo probe(meter.portName(), 200);
    QSignalSpy spy(&probe, &ComPortInfo::info);
    QVERIFY(spy.wait(2000));
    QCOMPARE(spy.at(0).at(0).toByteArray(), QByteArray());
    QCOMPARE(meter.commandCount("info.sn"), 0);
}

void TestProbe::streamingGarbageIsBounded() {
    SimMeter meter;
    meter.setNameReply(QByteArray(64 * 1024, '['));
    ComPortInfo probe(meter.portName(), 300);
    QSignalSpy spy(&probe, &ComPortInfo::info);
    QVERIFY(spy.wait(2000));
    QCOMPARE(spy.at(0).at(0).toByteArray(), QByteArray());
    QVERIFY2(probe.bufferedBytes() <= MeterProtocol::MaxReplyBytes,
             qPrintable(QString::number(probe.bufferedBytes())));
}

void TestProbe::releaseClosesPort() {
    SimMeter meter;
    meter.setSilent(true);
    auto* probe = new ComPortInfo(meter.portName(), 5000);
    QVERIFY(probe->isPortOpen());
    QCOMPARE(openDescriptors(meter.portName()), 2);
    delete probe;
    QCOMPARE(openDescriptors(meter.portName()), 1);
}
