#include "tst_device.h"

#include "t9rev6.h"
#include "testutil.h"

#include <cmath>

// The list, readings and a lost meter reach the GUI thread, one signal per driver signal; requests
// carry what was set before the start; a reading queued just behind the operator's disconnect is
// not shown; an unplugged meter is reported within a poll and a pump (product pacing: one request
// a second, pump every 200 ms), and nothing after the stop but one report already on its way.
void TestDevice::facade() {
    SimMeter meter;
    meter.setReading(-31.5);
    DriverSettings s;
    s.portNames = simPortEnumeration({&meter});
    s.updateInterval = 200;
    s.probeTimeout = 150;
    T9rev6 facade(s);
    ThreadSpy driverPower(facade.driverObject(), &T9Rev6_driver::power);
    ThreadSpy driverMissing(facade.driverObject(), &T9Rev6_driver::deviceMissing);
    QSignalSpy lists(&facade, &T9rev6::devListUpdated);
    QSignalSpy power(&facade, &T9rev6::powerUpdated);
    QSignalSpy missing(&facade, &T9rev6::deviceMissing);
    QVERIFY(std::isnan(facade.power()));
    bool inGuiThread = true;
    connect(&facade, &T9rev6::powerUpdated, this,
            [&] { inGuiThread = inGuiThread && QThread::currentThread() == thread(); });
    QTRY_COMPARE(facade.devList(), QStringList{"T9, SN: 0001"});
    facade.setFreq(2500.5);
    facade.setAtt(true);
    QVERIFY(facade.start(0));
    QTRY_COMPARE_WITH_TIMEOUT(power.count(), 2, 3000);
    QCOMPARE(facade.power(), -31.5);
    QVERIFY(inGuiThread);
    QVERIFY(meter.commands().contains("info.power {\"Freq\":2500.500000, \"Att\":true }"));
    QTRY_COMPARE(power.count(), driverPower.count());

    QMetaObject::invokeMethod(&facade, "getPwr", Qt::QueuedConnection, Q_ARG(double, 99.0));
    QVERIFY(facade.stop());
    power.clear();
    QCoreApplication::sendPostedEvents();
    QCOMPARE(power.count(), 0);
    QCOMPARE(facade.power(), -31.5);  // the value stays after the connection closed
    // A new connection takes readings again.
    QVERIFY(facade.start(0));
    QMetaObject::invokeMethod(&facade, "getPwr", Qt::QueuedConnection, Q_ARG(double, 99.0));
    QTRY_VERIFY(power.count() >= 1);

    QVERIFY(power.wait(3000));
    Stopwatch clock;
    meter.unplug();
    QVERIFY(missing.wait(3000));
    QCOMPARE_LT(clock.elapsed(), 1900);  // two polls would be 2.2 s
    QVERIFY(facade.stop());
    const qsizetype after = missing.count();
    QVERIFY(lists.wait(3000));
    QCOMPARE_LE(missing.count(), after + 1);
    QTRY_COMPARE(missing.count(), driverMissing.count());
}
