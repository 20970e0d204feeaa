#include "tst_device.h"

#include "t9rev6_driver.h"
#include "testutil.h"

#include <QSerialPort>
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

    // The first pass runs at once, not one discovery interval after construction.
    QElapsedTimer clock;
    clock.start();
    T9Rev6_driver driver;
    ThreadSpy spy(&driver, &T9Rev6_driver::devListUpdated);
    QVERIFY(driver.discoveryActive());
    QVERIFY(spy.wait(5000));
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
}

void TestDiscovery::noPortsReportsAtOnce() {
    EnumerationProbe calls;
    DriverSettings s = meterSettings({});
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
    DriverSettings s = meterSettings({&silent, &meter}, {NoSuchPort});
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
    QCOMPARE(driver.listedPorts(), QStringList{meter.portName()});
    QCOMPARE(silent.commandCount("info.name"), 1);
}

void TestDiscovery::listIsStableAcrossPasses() {
    SimMeter meter;
    DriverSettings s = meterSettings({&meter});
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
    QCOMPARE(driver.listedPorts(), QStringList{meter.portName()});
}

void TestDiscovery::severalMetersInAnswerOrder() {
    SimMeter slow;
    SimMeter fast;
    slow.setIdentity("Slow", "1");
    fast.setIdentity("Fast", "2");
    slow.setReplyDelay(40);
    DriverSettings s = meterSettings({&slow, &fast}, {NoSuchPort});
    s.updateInterval = 300;
    s.probeTimeout = 250;
    T9Rev6_driver driver(s);
    ThreadSpy spy(&driver, &T9Rev6_driver::devListUpdated);
    QVERIFY(spy.wait(3000));
    QCOMPARE(spy.at(0).at(0).toStringList(), QStringList({"Fast, SN: 2", "Slow, SN: 1"}));
    QCOMPARE(driver.listedPorts(), QStringList({fast.portName(), slow.portName()}));

    // Each pass lists the meters plugged in now: one that left is gone, one that came back
    // under another name is listed with that name.
    slow.unplug();
    auto lastList = [&] { return spy.isEmpty() ? QStringList() : spy.last().at(0).toStringList(); };
    QTRY_COMPARE_WITH_TIMEOUT(lastList(), QStringList{"Fast, SN: 2"}, 3000);
    QVERIFY(slow.replug());
    QTRY_COMPARE_WITH_TIMEOUT(lastList().size(), 2, 3000);
    QVERIFY(lastList().contains("Slow, SN: 1"));
    QVERIFY(driver.listedPorts().contains(slow.portName()));
}

void TestDiscovery::slowPortDelaysOnlyItself() {
    // A port whose open() takes 3 s (virtual Bluetooth and modem ports do) beside a meter.
    SimMeter meter;
    const QString slowPort = QStringLiteral("/dev/md-slow-port");
    std::atomic<int> slowOpens{0};
    DriverSettings s = meterSettings({&meter}, {slowPort});
    s.updateInterval = 400;
    s.probeTimeout = 200;
    s.beforeOpen = [&](const QString& name) {
        if (name == slowPort) {
            ++slowOpens;
            QThread::msleep(3000);
        }
    };
    QElapsedTimer clock;
    clock.start();
    auto driver = std::make_unique<T9Rev6_driver>(s);
    ThreadSpy spy(driver.get(), &T9Rev6_driver::devListUpdated);
    QVERIFY(spy.wait(3000));
    // Listed within a normal pass, and every pass after it while the slow probe still hangs.
    // (The slow port alone takes 3 s.)
    QVERIFY2(clock.elapsed() < 2500, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(spy.last().at(0).toStringList(), QStringList{"T9, SN: 0001"});
    QTRY_VERIFY_WITH_TIMEOUT(spy.count() >= 3, 3000);
    QCOMPARE(spy.last().at(0).toStringList(), QStringList{"T9, SN: 0001"});
    QCOMPARE(slowOpens.load(), 1);  // the hanging probe is not started again
    // Connecting is not held up by it either.
    clock.restart();
    QVERIFY(driver->start(0));
    QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
    // Quitting waits for the stuck probe at most its bound.
    clock.restart();
    driver.reset();
    QVERIFY2(clock.elapsed() < s.quitWaitMs + 1000, qPrintable(QString::number(clock.elapsed())));
}

void TestDiscovery::connectWhileProbeHoldsPort() {
    SimMeter meter;
    DriverSettings s = meterSettings({&meter});
    s.updateInterval = 300;
    s.probeTimeout = 1000;
    s.powInterval = 1000;
    T9Rev6_driver driver(s);
    ThreadSpy spy(&driver, &T9Rev6_driver::devListUpdated);
    QVERIFY(spy.wait(3000));
    // The next pass's probe opens the line and waits for a slow answer: connect right then. The
    // probe's replies still come and must not be taken for the identity check's.
    meter.setReplyDelay(400);
    meter.clearReceived();
    QTRY_VERIFY_WITH_TIMEOUT(meter.commandCount("info.name") == 1, 3000);
    QVERIFY(driver.start(0));
    ThreadSpy readings(&driver, &T9Rev6_driver::power);
    QVERIFY(readings.wait(5000));
    driver.stop();
}

void TestDiscovery::noDiscoveryWhileMeasuring() {
    SimMeter meter;
    T9Rev6_driver driver(meterSettings({&meter}));
    ThreadSpy lists(&driver, &T9Rev6_driver::devListUpdated);
    QVERIFY(lists.wait(3000));
    QVERIFY(driver.start(0));
    ThreadSpy readings(&driver, &T9Rev6_driver::power);
    lists.clear();
    QVERIFY(readings.wait(3000));
    // One identity check at connect; then several discovery intervals of measuring in which
    // no probe touches the measuring line.
    const int probesBefore = meter.commandCount("info.name");
    QTRY_VERIFY_WITH_TIMEOUT(readings.count() >= 8, 5000);
    QCOMPARE(meter.commandCount("info.name"), probesBefore);
    QCOMPARE(lists.count(), 0);
    driver.stop();
    QVERIFY(lists.wait(3000));
}

// A port the probe may not open (here another holder's lock, which Qt reports like missing
// rights; a test run as root cannot take the rights away) is named, and the meter is listed once
// the port is free.
void TestDiscovery::portWithoutRightsIsReported() {
    SimMeter meter;
    meter.setIdentity("T9", "42");
    QSerialPort holder;
    holder.setPortName(meter.portName());
    QVERIFY(holder.open(QIODevice::ReadWrite));
    DriverSettings s = meterSettings({&meter});
    s.probeTimeout = 200;
    s.updateInterval = 300;
    T9Rev6_driver driver(s);
    ThreadSpy refused(&driver, &T9Rev6_driver::portRefused);
    ThreadSpy lists(&driver, &T9Rev6_driver::devListUpdated);
    QVERIFY(refused.wait(3000));
    QCOMPARE(refused.at(0).at(0).toString(), meter.portName());
    QTRY_VERIFY(lists.count() >= 1);
    QCOMPARE(lists.at(0).at(0).toStringList(), QStringList());
    holder.close();
    QTRY_VERIFY_WITH_TIMEOUT(
        !lists.isEmpty() && lists.last().at(0).toStringList() == QStringList{"T9, SN: 42"}, 5000);
}
