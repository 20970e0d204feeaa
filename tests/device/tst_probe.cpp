#include "tst_device.h"

#include "comportinfo.h"
#include "meterprotocol.h"
#include "testutil.h"

#include <QRegularExpression>

#include <memory>

void TestDevice::probe_data() {
    QTest::addColumn<QByteArray>("name");  // reply bodies; empty: the meter's own
    QTest::addColumn<QByteArray>("serial");
    QTest::addColumn<int>("chunks");
    QTest::addColumn<QByteArray>("report");  // empty: no meter, reported at the time-out
    QTest::addColumn<QByteArray>("asked");
    const auto row = [](const char* tag, const QByteArray& name, const char* serial, int chunks,
                        const char* report, bool both) {
        QTest::newRow(tag) << name << QByteArray(serial) << chunks << QByteArray(report)
                           << QByteArray(both ? "info.name\r\ninfo.sn\r\n" : "info.name\r\n");
    };
    row("meter", "", "", 1, "T9, SN: 0001", true);
    row("in pieces", "", "", 4, "T9, SN: 0001", true);
    row("numeric serial", "", "{\"OK\":12}", 1, "T9, SN: 12", true);
    row("no OK", "{\"ERR\":1}", "{\"ERR\":2}", 1, ", SN: ", true);
    row("serial never ends", "", "{\"OK\":", 1, "", true);
    row("garbage", "OK T9}", "", 1, "", false);
    row("streaming garbage", QByteArray(64 * 1024, '['), "", 1, "", false);
}

// Reports exactly once, then closes the port; an empty report only at the time-out.
void TestDevice::probe() {
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, serial);
    QFETCH(int, chunks);
    QFETCH(QByteArray, report);
    QFETCH(QByteArray, asked);
    SimMeter meter;
    if (!name.isEmpty())
        meter.setNameReply(name);
    if (!serial.isEmpty())
        meter.setSerialReply(serial);
    meter.setChunks(chunks, 15);
    Stopwatch clock;
    ComPortInfo probe(meter.portName(), 600);
    QSignalSpy spy(&probe, &ComPortInfo::info);
    QVERIFY(spy.wait(3000));
    QCOMPARE(spy.at(0).at(0).toByteArray(), report);
    QCOMPARE(spy.at(0).at(1).toString(), meter.portName());
    QVERIFY2(!report.isEmpty() || clock.elapsed() >= 595,
             qPrintable(QString::number(clock.elapsed())));
    QVERIFY(!probe.isPortOpen());
    QCOMPARE(openDescriptors(meter.portName()), 1);  // only the meter's own
    QVERIFY(probe.bufferedBytes() <= MeterProtocol::MaxReplyBytes);
    QVERIFY(!spy.wait(300));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(meter.received(), asked);
}

void TestDevice::probeUnopenableOrDeleted() {
    const QString name = QString::fromLatin1(NoSuchPort);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Ошибка: не удалось открыть порт \"" +
                                                          name + "\" - \".+\"$"));
    Stopwatch clock;
    ComPortInfo probe(name, 150);
    QSignalSpy spy(&probe, &ComPortInfo::info);
    QVERIFY(spy.wait(2000));
    QCOMPARE_GE(clock.elapsed(), 145);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0), QVariantList({QByteArray(), name}));

    // Deleted while it waits, a probe closes its port.
    SimMeter meter;
    meter.setSilent(true);
    auto waiting = std::make_unique<ComPortInfo>(meter.portName(), 5000);
    QCOMPARE(openDescriptors(meter.portName()), 2);
    waiting.reset();
    QCOMPARE(openDescriptors(meter.portName()), 1);
}
