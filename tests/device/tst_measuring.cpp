#include "tst_device.h"

#include "meterprotocol.h"
#include "testutil.h"

#include <memory>

// start() is in effect when it returns and a second one replaces the line; requests carry the
// frequency and flag set last; stop() closes the line and resumes discovery; a pass without ports
// reports at once; a start that cannot open the line leaves discovery running. A listed meter
// replaced on its port before the connection is never read, and no longer listed then.
void TestDevice::connectAndStop() {
    Rig r;
    QVERIFY(r.listed());
    QVERIFY(!r.driver.pollActive() && !r.driver.watchdogActive());
    QSignalSpy started(&r.driver, &T9Rev6_driver::started);
    QVERIFY(r.driver.start(0));
    QCOMPARE(started.count(), 1);  // emitted in the caller's thread
    QVERIFY(!r.driver.discoveryActive() && r.driver.pollActive());
    QCOMPARE(openDescriptors(r.meter.portName()), 2);
    QVERIFY(r.readings.wait(3000));
    r.driver.setFreq(1500.25);
    r.driver.setAtt(true);
    QVERIFY(r.readings.wait(3000) && r.readings.wait(3000));
    QVERIFY(r.meter.received().endsWith("info.power {\"Freq\":1500.250000, \"Att\":true }\r\n"));
    QVERIFY(r.driver.start(0));
    QCOMPARE(openDescriptors(r.meter.portName()), 2);
    r.driver.stop();
    QVERIFY(r.driver.discoveryActive() && r.driver.pumpActive() && !r.driver.pollActive());
    QCOMPARE(openDescriptors(r.meter.portName()), 1);
    QCOMPARE(r.driver.queuedCommands(), 0);

    QVERIFY(r.lists.wait(3000));
    r.meter.unplug();
    QVERIFY(!r.driver.start(0));
    QCOMPARE(started.count(), 2);
    QVERIFY(r.driver.discoveryActive());
    QTRY_COMPARE(r.lists.last().toStringList(), QStringList());
    QVERIFY(r.meter.replug());
    QVERIFY(r.listed());

    r.meter.setIdentity("B", "2");
    r.meter.clearReceived();
    QVERIFY(r.driver.startMeter("T9, SN: 0001"));
    QVERIFY(r.missing.wait(3000));
    QTRY_VERIFY(r.driver.discoveryActive());
    QCOMPARE(r.meter.commandCount("info.power"), 0);
    QTRY_COMPARE_WITH_TIMEOUT(r.lists.last().toStringList(), QStringList{"B, SN: 2"}, 3000);
    QVERIFY(!r.driver.startMeter("T9, SN: 0001"));
}

void TestDevice::pollCycle_data() {
    QTest::addColumn<int>("delayMs");
    QTest::addColumn<int>("chunks");
    QTest::newRow("at once, in pieces") << 0 << 3;
    QTest::newRow("60 % of the poll") << 300 << 1;
    QTest::newRow("80 % of the poll") << 400 << 1;
}

// One request per poll, never a burst from the fast pump; every reply within the poll gives
// exactly one reading (the reply deadline is the next poll, not a short watchdog); no probe
// touches the measuring line; a stop resumes discovery at once and sends nothing more.
void TestDevice::pollCycle() {
    QFETCH(int, delayMs);
    QFETCH(int, chunks);
    Rig r([](DriverSettings& s) {
        s.powInterval = 500;
        s.procInterval = 10;
    });
    r.meter.setReading(-12.5);
    QVERIFY(r.listed());
    r.meter.setReplyDelay(delayMs);
    r.meter.setChunks(chunks, 20);
    r.meter.clearReceived();
    Stopwatch clock;
    QVERIFY(r.driver.start(0));
    QVERIFY(r.readings.wait(3000));
    const int probes = r.meter.commandCount("info.name");  // the identity check's
    QTRY_VERIFY_WITH_TIMEOUT(r.readings.count() >= 5, 8000);
    QCOMPARE(r.meter.commandCount("info.name"), probes);
    const qint64 elapsed = clock.elapsed();
    r.driver.stop();
    const int requests = r.meter.commandCount("info.power");
    QCOMPARE_LE(requests, elapsed / 500 + 1);
    // The last request's reply may still be on its way at the stop.
    QCOMPARE_LE(r.readings.count(), requests);
    QCOMPARE_GE(r.readings.count(), requests - 1);
    QCOMPARE(r.lost.count(), 0);
    for (const auto& reading : r.readings.records)
        QCOMPARE(reading.at(0).toDouble(), -12.5);
    QVERIFY(r.lists.wait(3000));
    QCOMPARE(r.meter.commandCount("info.power"), requests);
}

void TestDevice::unusableReplies_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QByteArray>("reported");
    QTest::newRow("no OK") << QByteArray("{\"ERR\":1}") << QByteArray("{\"ERR\":1}");
    QTest::newRow("bad rule") << QByteArray("xx}") << QByteArray("xx}");
    // Longer than any reply and never complete: dropped at the bound, not at the next poll.
    QTest::newRow("overlong") << QByteArray(64 * 1024, '[') << QByteArray(64, '[');
}

// No reading, one report per reply, the receive buffer bounded; a usable reply after them is read
// as before.
void TestDevice::unusableReplies() {
    QFETCH(QByteArray, reply);
    QFETCH(QByteArray, reported);
    Rig r;
    QVERIFY(r.listed());
    r.meter.setPowerReply(reply);
    QVERIFY(r.driver.start(0));
    QTRY_VERIFY_WITH_TIMEOUT(r.unusable.count() >= 3, 3000);
    QCOMPARE(r.readings.count(), 0);
    QCOMPARE(r.unusable.records.at(0).at(0).toByteArray(), reported);
    QCOMPARE_LE(r.driver.bufferedBytes(), MeterProtocol::MaxReplyBytes);
    r.meter.setPowerReply({});
    QVERIFY(r.readings.wait(3000));
    QCOMPARE(r.readings.last().toDouble(), -20.0);
}

// A lost reply costs its reading only. A reply that comes after the next poll was due is never
// taken for the answer to a later request: it comes a poll and a half late, so a worker held up
// for half a poll on a loaded machine would still see it in time.
void TestDevice::lostAndLateReplies() {
    Rig r([](DriverSettings& s) { s.powInterval = 200; });
    QVERIFY(r.measuring());
    r.meter.dropReplies(2);
    r.readings.records.clear();
    QTRY_VERIFY_WITH_TIMEOUT(r.readings.count() >= 2, 3000);
    QCOMPARE(r.lost.count(), 2);

    r.meter.setReading(-99.0);  // late replies carry this marker
    r.meter.setReplyDelay(300);
    r.readings.records.clear();
    QTRY_VERIFY_WITH_TIMEOUT(r.lost.count() >= 6, 6000);
    r.meter.setReplyDelay(0);
    r.meter.setReading(-20.0);
    QTRY_VERIFY_WITH_TIMEOUT(r.readings.count() >= 3, 3000);
    r.driver.stop();
    for (const auto& reading : r.readings.records)
        QCOMPARE(reading.at(0).toDouble(), -20.0);
}

// The port name drops out of the enumeration while the line stays open (as on Windows): polls
// go on, but at most one request waits, so no burst follows when the name is back.
void TestDevice::queueHoldsOneRequest() {
    Rig r;
    QVERIFY(r.measuring());
    r.hidden = true;
    const int before = r.enumerations;
    QTRY_VERIFY(r.enumerations >= before + 6);  // one per poll
    QVERIFY(r.missing.count() > 0);
    QCOMPARE_LE(r.driver.queuedCommands(), 1);
    r.hidden = false;
    QVERIFY(r.readings.wait(3000));
}

void TestDevice::slowEnumerationNeverBlocksCaller() {
    Rig r([](DriverSettings& s) {
        s.updateInterval = 100;
        s.powInterval = 50;
    });
    r.enumerationMs = 700;
    QVERIFY(r.listed());
    qint64 longest = 0;
    for (int i = 0; i < 3; ++i) {
        Stopwatch clock;
        QVERIFY(r.driver.start(0));
        longest = std::max(longest, clock.elapsed());
        // Some poll ticks, each with an enumeration on its way, before the stop.
        r.readings.records.clear();
        QTRY_VERIFY_WITH_TIMEOUT(r.readings.count() >= 4, 3000);
        clock.restart();
        r.driver.stop();
        longest = std::max(longest, clock.elapsed());
    }
    // A worker that enumerated itself kept the caller up to the whole 700 ms.
    QCOMPARE_LT(longest, 600);
}

void TestDevice::destructionStopsThreads() {
    SimMeter meter;
    // Settled: threads that just ended may still be counted for a moment (Qt does not join them).
    int threadsBefore = -1;
    for (int n = threadCount(); n != threadsBefore; n = threadCount()) {
        threadsBefore = n;
        QTest::qWait(100);
    }
    auto driver = std::make_unique<T9Rev6_driver>(fastSettings(simPortEnumeration({&meter})));
    QCOMPARE_GE(threadCount(), threadsBefore + 2);  // worker and port enumeration
    ThreadSpy readings(driver.get(), &T9Rev6_driver::power);
    QVERIFY(QTest::qWaitFor([&] { return !driver->listedPorts().isEmpty(); }, 5000));
    QVERIFY(driver->start(0));
    QVERIFY(readings.wait(3000));
    QVERIFY(driver->thread() != QThread::currentThread());
    driver.reset();
    // The worker ends (not merely asked to; the system reaps it a moment after the join) and the
    // measuring line is closed.
    QTRY_COMPARE(threadCount(), threadsBefore);
    QCOMPARE(openDescriptors(meter.portName()), 1);

    // An enumeration that hangs does not hold quitting up beyond its bound, nor abort it.
    static std::atomic<bool> enumerating{false};
    DriverSettings hanging = fastSettings({});
    hanging.portNames = [] {
        enumerating = true;
        QThread::msleep(4000);
        return QStringList();
    };
    driver = std::make_unique<T9Rev6_driver>(hanging);
    QVERIFY(QTest::qWaitFor([] { return enumerating.load(); }, 3000));
    Stopwatch clock;
    driver.reset();
    QCOMPARE_LT(clock.elapsed(), 3500);
    QTRY_COMPARE_WITH_TIMEOUT(threadCount(), threadsBefore, 6000);  // it ends by itself later
}
