#include "tst_device.h"

#include "t9rev6_driver.h"
#include "testutil.h"

#include <QSignalSpy>
#include <QTest>

void TestDiscovery::productDefaults() {
    const DriverSettings s;
    QCOMPARE(s.updateInterval, 6000);
    QCOMPARE(s.procInterval, 200);
    QCOMPARE(s.powInterval, 1000);
    QCOMPARE(s.delayInterval, 100);
    QCOMPARE(s.probeTimeout, 500);
    QVERIFY(!s.portNames);  // the system's ports

    // The first pass runs one discovery interval after construction, not before.
    T9Rev6_driver driver;
    ThreadSpy spy(&driver, &T9Rev6_driver::devListUpdated);
    QVERIFY(driver.discoveryActive());
    QVERIFY(!spy.wait(300));
}

void TestDiscovery::noPortsReportsAtOnce() {
    EnumerationProbe calls;
    DriverSettings s = fastSettings({});
    s.portNames = calls.wrap(s.portNames);
    s.updateInterval = 100;
    T9Rev6_driver driver(s);
    ThreadSpy spy(&driver, &T9Rev6_driver::devListUpdated);
    QTRY_VERIFY(spy.count() >= 3);
    // Each pass reports as soon as it looked, with the unchanged empty list.
    QCOMPARE(spy.at(0).at(0).toStringList(), QStringList());
    QVERIFY(calls.calls.load() >= spy.count());
    QVERIFY(calls.calls.load() <= spy.count() + 1);
}

void TestDiscovery::oneReportAfterAllProbes() {
    SimMeter meter;
    SimMeter silent;
    silent.setSilent(true);
    meter.setIdentity("T9", "42");
    EnumerationProbe calls;
    DriverSettings s = fastSettings({&silent, &meter}, {NoSuchPort});
    s.portNames = calls.wrap(s.portNames);
    s.probeTimeout = 200;
    s.updateInterval = 400;
    T9Rev6_driver driver(s);
    ThreadSpy spy(&driver, &T9Rev6_driver::devListUpdated);
    QVERIFY(spy.wait(3000));
    const qint64 passMs = (nowNs() - calls.lastCallNs.load()) / 1000000;
    QCOMPARE(spy.count(), 1);
    // The meter answered at once; the report waited for the silent and the unopenable port.
    QVERIFY2(passMs >= 195, qPrintable(QString::number(passMs)));
    QCOMPARE(spy.at(0).at(0).toStringList(), QStringList{"T9, SN: 42"});
    QCOMPARE(*driver.portList(), QStringList{meter.portName()});
    QCOMPARE(silent.commandCount("info.name"), 1);
}

void TestDiscovery::listIsStableAcrossPasses() {
    SimMeter meter;
    DriverSettings s = fastSettings({&meter});
    s.updateInterval = 200;
    T9Rev6_driver driver(s);
    QStringList* devices = driver.deviceList();
    QStringList* ports = driver.portList();
    ThreadSpy spy(&driver, &T9Rev6_driver::devListUpdated);
    QTRY_VERIFY(spy.count() >= 4);
    for (const auto& args : spy)
        QCOMPARE(args.at(0).toStringList(), QStringList{"T9, SN: 0001"});
    QVERIFY(meter.commandCount("info.name") >= 4);
    // Same lists for the whole run; the meter is listed once.
    QCOMPARE(driver.deviceList(), devices);
    QCOMPARE(driver.portList(), ports);
    QCOMPARE(*ports, QStringList{meter.portName()});
}

void TestDiscovery::severalMetersInAnswerOrder() {
    SimMeter slow;
    SimMeter fast;
    slow.setIdentity("Slow", "1");
    fast.setIdentity("Fast", "2");
    slow.setReplyDelay(40);
    DriverSettings s = fastSettings({&slow, &fast}, {NoSuchPort});
    s.updateInterval = 300;
    s.probeTimeout = 250;
    T9Rev6_driver driver(s);
    ThreadSpy spy(&driver, &T9Rev6_driver::devListUpdated);
    QVERIFY(spy.wait(3000));
    const QStringList first{"Fast, SN: 2", "Slow, SN: 1"};
    QCOMPARE(spy.at(0).at(0).toStringList(), first);
    QCOMPARE(*driver.portList(), QStringList({fast.portName(), slow.portName()}));

    // Later passes keep the first pass's entries where they are, even when answers swap order.
    slow.setReplyDelay(0);
    fast.setReplyDelay(40);
    QTRY_VERIFY(spy.count() >= 3);
    QCOMPARE(spy.last().at(0).toStringList(), first);

    // A meter that moved to another port is a new entry, appended.
    const QString oldPort = slow.portName();
    slow.unplug();
    QVERIFY(slow.replug());
    const int before = spy.count();
    QTRY_VERIFY(spy.count() >= before + 2);
    const QStringList now = spy.last().at(0).toStringList();
    QCOMPARE(now.mid(0, 2), first);
    // The system may hand out the same line again.
    QCOMPARE(now.size(), slow.portName() == oldPort ? 2 : 3);
}

void TestDiscovery::noDiscoveryWhileMeasuring() {
    SimMeter meter;
    T9Rev6_driver driver(fastSettings({&meter}));
    ThreadSpy lists(&driver, &T9Rev6_driver::devListUpdated);
    QVERIFY(lists.wait(3000));
    QVERIFY(driver.start(0));
    ThreadSpy readings(&driver, &T9Rev6_driver::power);
    lists.clear();
    const int probesBefore = meter.commandCount("info.name");
    // Several discovery intervals of measuring: no probe touches the measuring line.
    QTRY_VERIFY_WITH_TIMEOUT(readings.count() >= 8, 5000);
    QCOMPARE(meter.commandCount("info.name"), probesBefore);
    QCOMPARE(lists.count(), 0);
    driver.stop();
    QVERIFY(lists.wait(3000));
}
