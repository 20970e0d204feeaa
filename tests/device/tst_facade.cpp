#include "tst_device.h"

#include "ortix.h"
#include "ortix_driver.h"
#include "t9rev6.h"
#include "t9rev6_driver.h"
#include "testutil.h"

#include <QSignalSpy>
#include <QTest>

#include <cmath>

void TestFacade::metaCasts() {
    T9rev6 facade(meterSettings({}));
    QObject* object = &facade;
    QCOMPARE(static_cast<iDevice*>(object->qt_metacast("iDevice")), static_cast<iDevice*>(&facade));
    QCOMPARE(qobject_cast<iDevice*>(object), static_cast<iDevice*>(&facade));
    QObject* driver = facade.driverObject();
    QCOMPARE(static_cast<iDriver*>(driver->qt_metacast("iDriver")),
             static_cast<iDriver*>(facade.driverObject()));

    Ortix ortix;
    QCOMPARE(qobject_cast<iDevice*>(static_cast<QObject*>(&ortix)), static_cast<iDevice*>(&ortix));
    Ortix_driver ortixDriver;
    QCOMPARE(qobject_cast<iDriver*>(static_cast<QObject*>(&ortixDriver)),
             static_cast<iDriver*>(&ortixDriver));
    QVERIFY(!object->qt_metacast("iDriver"));
}

void TestFacade::freshFacade() {
    T9rev6 facade;  // the product's constructor: system ports, first pass after 6 s
    QVERIFY(std::isnan(facade.power()));
    QVERIFY(facade.devList().isEmpty());
    QSignalSpy power(&facade, &T9rev6::powerUpdated);
    QSignalSpy list(&facade, &T9rev6::devListUpdated);
    QSignalSpy missing(&facade, &T9rev6::deviceMissing);
    QVERIFY(!list.wait(300));
    QCOMPARE(power.count() + list.count() + missing.count(), 0);
    QVERIFY(facade.driverObject()->discoveryActive());
}

void TestFacade::stopAlwaysTrue() {
    SimMeter meter;
    T9rev6 facade(meterSettings({&meter}));
    QVERIFY(facade.stop());
    QSignalSpy list(&facade, &T9rev6::devListUpdated);
    QTRY_VERIFY(!facade.devList().isEmpty());
    QVERIFY(facade.start(0));
    QVERIFY(facade.stop());
    QVERIFY(facade.stop());
}

void TestFacade::startWithoutMeterFails() {
    T9rev6 facade(meterSettings({}));
    QSignalSpy power(&facade, &T9rev6::powerUpdated);
    QSignalSpy started(facade.driverObject(), &T9Rev6_driver::started);
    QVERIFY(!facade.start(0));
    QCOMPARE(started.count(), 0);
    QCOMPARE(power.count(), 0);
}

void TestFacade::readingsReachGuiThread() {
    SimMeter meter;
    meter.setReading(-31.5);
    T9rev6 facade(meterSettings({&meter}));
    QTRY_VERIFY(!facade.devList().isEmpty());
    ThreadSpy driverPower(facade.driverObject(), &T9Rev6_driver::power);
    QSignalSpy power(&facade, &T9rev6::powerUpdated);
    bool inGuiThread = true;
    connect(&facade, &T9rev6::powerUpdated, this,
            [&] { inGuiThread = inGuiThread && QThread::currentThread() == thread(); });

    facade.setFreq(2500.5);
    facade.setAtt(true);
    QVERIFY(facade.start(0));
    QVERIFY(power.wait(3000));
    QCOMPARE(facade.power(), -31.5);
    QVERIFY(inGuiThread);
    QVERIFY(meter.commands().contains("info.power {\"Freq\":2500.500000, \"Att\":true }"));
    // One powerUpdated() per driver reading while connected.
    QTRY_VERIFY(power.count() >= 3);
    QTRY_COMPARE(power.count(), driverPower.count());
    facade.stop();
    // The value stays after the connection closed.
    QCOMPARE(facade.power(), -31.5);
}

void TestFacade::readingInFlightAtStopIsDropped() {
    SimMeter meter;
    meter.setReading(-20.0);
    T9rev6 facade(meterSettings({&meter}));
    QTRY_VERIFY(!facade.devList().isEmpty());
    QVERIFY(facade.start(0));
    QSignalSpy power(&facade, &T9rev6::powerUpdated);
    QVERIFY(power.wait(3000));
    // As the driver's queued signal would deliver it, just behind the operator's disconnect.
    QMetaObject::invokeMethod(&facade, "getPwr", Qt::QueuedConnection, Q_ARG(double, 99.0));
    facade.stop();
    power.clear();
    QCoreApplication::sendPostedEvents();
    QCOMPARE(power.count(), 0);
    QCOMPARE(facade.power(), -20.0);

    // A new connection takes readings again.
    QVERIFY(facade.start(0));
    QMetaObject::invokeMethod(&facade, "getPwr", Qt::QueuedConnection, Q_ARG(double, 99.0));
    QTRY_VERIFY(power.count() >= 1);
    facade.stop();
}

void TestFacade::deviceListForwarded() {
    SimMeter a;
    SimMeter b;
    a.setIdentity("A", "1");
    b.setIdentity("B", "2");
    b.setReplyDelay(30);
    T9rev6 facade(meterSettings({&a, &b}));
    ThreadSpy driverLists(facade.driverObject(), &T9Rev6_driver::devListUpdated);
    QSignalSpy lists(&facade, &T9rev6::devListUpdated);
    QVERIFY(lists.wait(3000));
    QCOMPARE(facade.devList(), QStringList({"A, SN: 1", "B, SN: 2"}));
    QTRY_VERIFY(driverLists.count() >= 3);
    QTRY_COMPARE(lists.count(), driverLists.count());
}

void TestFacade::deviceMissingForwarded() {
    SimMeter meter;
    T9rev6 facade(meterSettings({&meter}));
    QTRY_VERIFY(!facade.devList().isEmpty());
    ThreadSpy driverMissing(facade.driverObject(), &T9Rev6_driver::deviceMissing);
    QSignalSpy missing(&facade, &T9rev6::deviceMissing);
    QVERIFY(facade.start(0));
    meter.unplug();
    QVERIFY(missing.wait(3000));
    facade.stop();
    QTRY_COMPARE(missing.count(), driverMissing.count());

    // The slot alone: each call is one signal.
    missing.clear();
    for (int i = 0; i < 5; ++i)
        facade.deviceState();
    QCOMPARE(missing.count(), 5);
}

void TestFacade::ortixDoesNothing() {
    Ortix ortix;
    QSignalSpy power(&ortix, &Ortix::powerUpdated);
    QSignalSpy list(&ortix, &Ortix::devListUpdated);
    QSignalSpy missing(&ortix, &Ortix::deviceMissing);
    QVERIFY(!ortix.start(0));
    QVERIFY(!ortix.stop());
    ortix.setFreq(1000.0);
    ortix.setAtt(true);
    QVERIFY(std::isnan(ortix.power()));
    QVERIFY(ortix.devList().isEmpty());
    QCOMPARE(power.count() + list.count() + missing.count(), 0);

    Ortix_driver driver;
    QVERIFY(!driver.deviceList());
    QVERIFY(!driver.portList());
}
