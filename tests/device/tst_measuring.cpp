#include "tst_device.h"

#include "t9rev6_driver.h"
#include "testutil.h"

#include <QDeadlineTimer>
#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <mutex>
#include <vector>

namespace {

// Waits for a discovery pass that lists at least one meter.
bool discovered(T9Rev6_driver& driver) {
    ThreadSpy spy(&driver, &T9Rev6_driver::devListUpdated);
    QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired()) {
        if (!spy.isEmpty() && !spy.last().at(0).toStringList().isEmpty())
            return true;
        spy.wait(50);
    }
    return false;
}

// After a stop: every power request got its reading, but for the last one, whose reply the stop
// may have cut off.
int steadyThreadCount() {
    int last = threadCount();
    for (int i = 0; i < 50; ++i) {
        QTest::qWait(100);
        const int now = threadCount();
        if (now == last)
            break;
        last = now;
    }
    return last;
}

bool oneReadingPerRequest(const ThreadSpy& readings, const SimMeter& meter) {
    const int requests = meter.commandCount("info.power");
    return readings.count() == requests || readings.count() == requests - 1;
}

}  // namespace

void TestMeasuring::timersAtConstruction() {
    T9Rev6_driver driver(meterSettings({}));
    QVERIFY(driver.discoveryActive());
    QVERIFY(driver.pumpActive());
    QVERIFY(!driver.pollActive());
    QVERIFY(!driver.watchdogActive());
}

void TestMeasuring::startFailsWithoutPort() {
    T9Rev6_driver driver(meterSettings({}));
    QSignalSpy started(&driver, &T9Rev6_driver::started);
    ThreadSpy missing(&driver, &T9Rev6_driver::deviceMissing);
    QVERIFY(!driver.start(0));
    QVERIFY(!driver.start(-1));
    QVERIFY(!driver.start(5));
    QCOMPARE(started.count(), 0);
    QVERIFY(driver.discoveryActive());
    QVERIFY(!driver.pollActive());
}

void TestMeasuring::startSwitchesTimersBeforeReturn() {
    SimMeter meter;
    T9Rev6_driver driver(meterSettings({&meter}));
    QVERIFY(discovered(driver));
    QSignalSpy started(&driver, &T9Rev6_driver::started);
    QVERIFY(driver.start(0));
    // Emitted in the caller's thread: in effect as soon as start() returns.
    QCOMPARE(started.count(), 1);
    QVERIFY(!driver.discoveryActive());
    QVERIFY(driver.pollActive());
    QCOMPARE(openDescriptors(meter.portName()), 2);

    // Starting again replaces the connection: the old line is not left open.
    QVERIFY(driver.start(0));
    QCOMPARE(openDescriptors(meter.portName()), 2);
    driver.stop();
    QCOMPARE(openDescriptors(meter.portName()), 1);
}

void TestMeasuring::stopWithoutConnection() {
    T9Rev6_driver driver(meterSettings({}));
    QSignalSpy stoped(&driver, &T9Rev6_driver::stoped);
    QSignalSpy stopPow(&driver, &T9Rev6_driver::stop_pow);
    driver.stop();
    QCOMPARE(stoped.count(), 1);
    QCOMPARE(stopPow.count(), 0);
    QVERIFY(driver.discoveryActive());
    QVERIFY(!driver.pollActive());
    QVERIFY(driver.pumpActive());
}

void TestMeasuring::stopResumesDiscovery() {
    SimMeter meter;
    T9Rev6_driver driver(meterSettings({&meter}));
    QVERIFY(discovered(driver));
    QVERIFY(driver.start(0));
    ThreadSpy readings(&driver, &T9Rev6_driver::power);
    QVERIFY(readings.wait(3000));

    QSignalSpy stoped(&driver, &T9Rev6_driver::stoped);
    QSignalSpy stopPow(&driver, &T9Rev6_driver::stop_pow);
    driver.stop();
    QCOMPARE(stopPow.count(), 1);
    QCOMPARE(stoped.count(), 1);
    QVERIFY(driver.discoveryActive());
    QVERIFY(!driver.pollActive());
    QCOMPARE(openDescriptors(meter.portName()), 1);
    QCOMPARE(driver.queuedCommands(), 0);

    const int requests = meter.commandCount("info.power");
    ThreadSpy lists(&driver, &T9Rev6_driver::devListUpdated);
    QVERIFY(lists.wait(3000));
    QCOMPARE(meter.commandCount("info.power"), requests);
}

void TestMeasuring::failedStartKeepsDiscovering() {
    SimMeter meter;
    T9Rev6_driver driver(meterSettings({&meter}));
    QVERIFY(discovered(driver));
    meter.unplug();
    QSignalSpy started(&driver, &T9Rev6_driver::started);
    QVERIFY(!driver.start(0));
    QCOMPARE(started.count(), 0);
    QVERIFY(driver.discoveryActive());
    // The failed attempt leaves nothing that would hold discovery back.
    QVERIFY(meter.replug());
    meter.clearReceived();
    QTRY_VERIFY_WITH_TIMEOUT(meter.commandCount("info.name") >= 1, 3000);
}

void TestMeasuring::requestsCarryFrequencyAndFlag() {
    SimMeter meter;
    T9Rev6_driver driver(meterSettings({&meter}));
    QVERIFY(discovered(driver));
    QVERIFY(driver.start(0));
    ThreadSpy readings(&driver, &T9Rev6_driver::power);
    QVERIFY(readings.wait(3000));
    QCOMPARE(meter.commands().last(),
             QByteArray("info.power {\"Freq\":300.000000, \"Att\":false }"));

    driver.setFreq(1500.25);
    driver.setAtt(true);
    readings.clear();
    QVERIFY(readings.wait(3000));
    QVERIFY(readings.wait(3000));
    QVERIFY(meter.received().endsWith("info.power {\"Freq\":1500.250000, \"Att\":true }\r\n"));
    driver.stop();
}

void TestMeasuring::onePollPerInterval() {
    SimMeter meter;
    DriverSettings s = meterSettings({&meter});
    s.powInterval = 150;
    s.procInterval = 10;
    T9Rev6_driver driver(s);
    QVERIFY(discovered(driver));
    meter.clearReceived();
    QElapsedTimer clock;
    clock.start();
    QVERIFY(driver.start(0));
    ThreadSpy readings(&driver, &T9Rev6_driver::power);
    QTRY_VERIFY_WITH_TIMEOUT(readings.count() >= 5, 5000);
    const qint64 elapsed = clock.elapsed();
    driver.stop();
    // One request per poll tick, never a burst from the fast pump.
    const int requests = meter.commandCount("info.power");
    QVERIFY2(requests <= elapsed / 150 + 1,
             qPrintable(QString("%1 requests in %2 ms").arg(requests).arg(elapsed)));
    // Every request but the last answered: that one may still be on its way at the stop.
    QVERIFY2(readings.count() == requests || readings.count() == requests - 1,
             qPrintable(QString("%1 readings, %2 requests").arg(readings.count()).arg(requests)));
}

void TestMeasuring::oneCommandOutstanding() {
    SimMeter meter;
    DriverSettings s = meterSettings({&meter});
    s.powInterval = 250;
    s.procInterval = 5;
    T9Rev6_driver driver(s);
    QVERIFY(discovered(driver));
    meter.setReplyDelay(150);
    std::mutex mutex;
    std::vector<SimMeter::Clock::time_point> asked;
    std::vector<SimMeter::Clock::time_point> answered;
    meter.setReadingFunction([&](double, bool) {
        std::lock_guard<std::mutex> lock(mutex);
        asked.push_back(SimMeter::Clock::now());
        return -20.0;
    });
    meter.setReplyHook([&](const QByteArray&, const QByteArray&, SimMeter::Clock::time_point at) {
        std::lock_guard<std::mutex> lock(mutex);
        answered.push_back(at);
    });
    QVERIFY(driver.start(0));
    const auto enough = [&] {
        std::lock_guard<std::mutex> lock(mutex);
        return asked.size() >= 3 && answered.size() >= 2;
    };
    QTRY_VERIFY_WITH_TIMEOUT(enough(), 5000);
    driver.stop();
    meter.setReplyHook(nullptr);
    std::lock_guard<std::mutex> lock(mutex);
    // Each request was written only after the reply to the one before had gone out.
    QVERIFY(asked[1] >= answered[0]);
    QVERIFY(asked[2] >= answered[1]);
}

void TestMeasuring::decodesReplies_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("chunks");
    QTest::addColumn<double>("value");
    QTest::newRow("number") << QByteArray("{\"OK\":-20.5}") << 1 << -20.5;
    QTest::newRow("split") << QByteArray("{\"OK\":-12.5}") << 3 << -12.5;
    QTest::newRow("string") << QByteArray("{\"OK\":\"-7.25\"}") << 1 << -7.25;
}

void TestMeasuring::decodesReplies() {
    QFETCH(QByteArray, reply);
    QFETCH(int, chunks);
    QFETCH(double, value);
    SimMeter meter;
    T9Rev6_driver driver(meterSettings({&meter}));
    QVERIFY(discovered(driver));
    meter.setPowerReply(reply);
    meter.setChunks(chunks, 20);
    QVERIFY(driver.start(0));
    ThreadSpy readings(&driver, &T9Rev6_driver::power);
    QTRY_VERIFY_WITH_TIMEOUT(readings.count() >= 3, 3000);
    QCOMPARE(readings.at(0).at(0).toDouble(), value);
    driver.stop();
    // Each reply gave exactly one reading, however it was cut.
    QVERIFY(oneReadingPerRequest(readings, meter));
}

void TestMeasuring::unusableRepliesGiveNoReading_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("no OK") << QByteArray("{\"ERR\":1}");
    QTest::newRow("n/a") << QByteArray("{\"OK\":\"n/a\"}");
    QTest::newRow("NaN") << QByteArray("{\"OK\":\"NaN\"}");
    QTest::newRow("-inf") << QByteArray("{\"OK\":\"-inf\"}");
    QTest::newRow("comma") << QByteArray("{\"OK\":\"1,5\"}");
    QTest::newRow("hex") << QByteArray("{\"OK\":\"0x10\"}");
    QTest::newRow("1e308") << QByteArray("{\"OK\":1e308}");
    QTest::newRow("bad rule") << QByteArray("xx}");
}

void TestMeasuring::unusableRepliesGiveNoReading() {
    QFETCH(QByteArray, reply);
    SimMeter meter;
    T9Rev6_driver driver(meterSettings({&meter}));
    QVERIFY(discovered(driver));
    meter.setPowerReply(reply);
    ThreadSpy readings(&driver, &T9Rev6_driver::power);
    ThreadSpy unusable(&driver, &T9Rev6_driver::replyUnusable);
    QVERIFY(driver.start(0));
    QTRY_VERIFY_WITH_TIMEOUT(unusable.count() >= 3, 3000);
    QCOMPARE(readings.count(), 0);
    QCOMPARE(unusable.at(0).at(0).toByteArray(), reply);
    // A usable reply after them is read as before.
    meter.setPowerReply({});
    QVERIFY(readings.wait(3000));
    QCOMPARE(readings.at(0).at(0).toDouble(), -20.0);
    driver.stop();
}

void TestMeasuring::badReplyIsDropped() {
    SimMeter meter;
    DriverSettings s = meterSettings({&meter});
    s.delayInterval = 2000;  // only the bad-reply rule can release the command in time
    T9Rev6_driver driver(s);
    QVERIFY(discovered(driver));
    meter.setPowerReply("xx}");
    meter.clearReceived();
    QVERIFY(driver.start(0));
    ThreadSpy readings(&driver, &T9Rev6_driver::power);
    QTRY_VERIFY_WITH_TIMEOUT(meter.commandCount("info.power") >= 3, 1500);
    QCOMPARE(readings.count(), 0);
    meter.setPowerReply({});
    QVERIFY(readings.wait(1500));
    QCOMPARE(readings.at(0).at(0).toDouble(), -20.0);
    driver.stop();
}

void TestMeasuring::lostReplyDoesNotFreeze() {
    SimMeter meter;
    T9Rev6_driver driver(meterSettings({&meter}));
    QVERIFY(discovered(driver));
    QVERIFY(driver.start(0));
    ThreadSpy readings(&driver, &T9Rev6_driver::power);
    ThreadSpy lost(&driver, &T9Rev6_driver::replyLost);
    QVERIFY(readings.wait(3000));
    meter.dropReplies(2);
    readings.clear();
    QTRY_VERIFY_WITH_TIMEOUT(readings.count() >= 2, 3000);
    QCOMPARE(lost.count(), 2);
    QCOMPARE(readings.at(0).at(0).toDouble(), -20.0);
    driver.stop();
}

void TestMeasuring::queueHoldsOneRequest() {
    SimMeter meter;
    DriverSettings s = meterSettings({&meter});
    s.powInterval = 20;
    T9Rev6_driver driver(s);
    QVERIFY(discovered(driver));
    QVERIFY(driver.start(0));
    ThreadSpy readings(&driver, &T9Rev6_driver::power);
    QVERIFY(readings.wait(3000));
    meter.setSilent(true);
    const int before = meter.commandCount("info.power");
    // Many poll ticks while requests go unanswered: at most one stays queued.
    QTRY_VERIFY(meter.commandCount("info.power") >= before + 3);
    QVERIFY(driver.queuedCommands() <= 1);
    driver.stop();
}

void TestMeasuring::slowRepliesWithinThePollAllArrive_data() {
    QTest::addColumn<int>("delayMs");
    QTest::newRow("20 % of the poll") << 50;
    QTest::newRow("60 %") << 150;
    QTest::newRow("80 %") << 200;
}

void TestMeasuring::slowRepliesWithinThePollAllArrive() {
    // The reply deadline is the next poll, not a short watchdog: a meter slower than 100 ms
    // that answers within the poll gives every reading.
    QFETCH(int, delayMs);
    SimMeter meter;
    DriverSettings s = meterSettings({&meter});
    s.powInterval = 250;
    T9Rev6_driver driver(s);
    QVERIFY(discovered(driver));
    meter.setReplyDelay(delayMs);
    ThreadSpy readings(&driver, &T9Rev6_driver::power);
    ThreadSpy lost(&driver, &T9Rev6_driver::replyLost);
    QVERIFY(driver.start(0));
    QTRY_VERIFY_WITH_TIMEOUT(readings.count() >= 5, 5000);
    driver.stop();
    QCOMPARE(lost.count(), 0);
    QVERIFY(oneReadingPerRequest(readings, meter));
}

void TestMeasuring::replyLaterThanThePollNeverAnswersTheNext() {
    SimMeter meter;
    DriverSettings s = meterSettings({&meter});
    // Replies a poll and a half late; a worker held up for half a poll on a loaded machine would
    // still see them in time.
    s.powInterval = 200;
    T9Rev6_driver driver(s);
    QVERIFY(discovered(driver));
    ThreadSpy readings(&driver, &T9Rev6_driver::power);
    ThreadSpy lost(&driver, &T9Rev6_driver::replyLost);
    QVERIFY(driver.start(0));
    QVERIFY(readings.wait(3000));
    // Replies that come after the next poll was due carry a marker value.
    meter.setReading(-99.0);
    meter.setReplyDelay(300);
    readings.clear();
    QTRY_VERIFY_WITH_TIMEOUT(lost.count() >= 4, 6000);
    meter.setReplyDelay(0);
    meter.setReading(-20.0);
    QTRY_VERIFY_WITH_TIMEOUT(readings.count() >= 3, 3000);
    driver.stop();
    for (const auto& r : readings)
        QCOMPARE(r.at(0).toDouble(), -20.0);
}

void TestMeasuring::identityCheckedBeforeReading() {
    // The listed meter is replaced on its port before the operator connects.
    SimMeter meter;
    meter.setIdentity("A", "1");
    T9Rev6_driver driver(meterSettings({&meter}));
    QVERIFY(discovered(driver));
    meter.setIdentity("B", "2");
    meter.clearReceived();
    ThreadSpy missing(&driver, &T9Rev6_driver::deviceMissing);
    ThreadSpy readings(&driver, &T9Rev6_driver::power);
    QVERIFY(driver.startMeter("A, SN: 1"));
    QVERIFY(missing.wait(3000));
    QTRY_VERIFY(driver.discoveryActive());
    QCOMPARE(meter.commandCount("info.power"), 0);
    QCOMPARE(readings.count(), 0);
    // Nor can a meter no longer listed be opened.
    ThreadSpy lists(&driver, &T9Rev6_driver::devListUpdated);
    QTRY_VERIFY_WITH_TIMEOUT(
        !lists.isEmpty() && lists.last().at(0).toStringList() == QStringList{"B, SN: 2"}, 3000);
    QVERIFY(!driver.startMeter("A, SN: 1"));
}

void TestMeasuring::slowEnumerationNeverBlocksCaller() {
    SimMeter meter;
    DriverSettings s = meterSettings({&meter});
    auto inner = s.portNames;
    s.portNames = [inner] {
        QThread::msleep(700);
        return inner();
    };
    s.updateInterval = 100;
    s.powInterval = 50;
    T9Rev6_driver driver(s);
    QVERIFY(discovered(driver));
    ThreadSpy readings(&driver, &T9Rev6_driver::power);
    qint64 longest = 0;
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer clock;
        clock.start();
        QVERIFY(driver.start(0));
        longest = std::max(longest, clock.elapsed());
        // Some poll ticks, each with an enumeration on its way, before the stop.
        readings.clear();
        QTRY_VERIFY_WITH_TIMEOUT(readings.count() >= 4, 3000);
        clock.restart();
        driver.stop();
        longest = std::max(longest, clock.elapsed());
        QTest::qWait(300);  // an enumeration is under way again
    }
    // A worker that enumerated itself kept the caller up to the whole 700 ms.
    QVERIFY2(longest < 600, qPrintable(QString::number(longest)));
}

void TestMeasuring::streamingGarbageIsBounded() {
    SimMeter meter;
    DriverSettings s = meterSettings({&meter});
    s.delayInterval = 3000;
    s.powInterval = 150;
    T9Rev6_driver driver(s);
    QVERIFY(discovered(driver));
    meter.setPowerReply(QByteArray(64 * 1024, '['));
    std::atomic<int> replies{0};
    meter.setReplyHook([&](const QByteArray&, const QByteArray&, SimMeter::Clock::time_point) {
        if (replies++ == 0)
            meter.setPowerReply({});
    });
    QVERIFY(driver.start(0));
    QTRY_VERIFY(replies.load() >= 1);
    QVERIFY(driver.bufferedBytes() <= MeterProtocol::MaxReplyBytes);
    // The overlong reply released the command long before the watchdog would have.
    ThreadSpy readings(&driver, &T9Rev6_driver::power);
    QTRY_VERIFY_WITH_TIMEOUT(!readings.isEmpty(), 1500);
    QCOMPARE(readings.last().at(0).toDouble(), -20.0);
    driver.stop();
    meter.setReplyHook(nullptr);
}

void TestMeasuring::unplugRaisesDeviceMissing() {
    // Product pacing: one request a second, pump every 200 ms.
    SimMeter meter;
    DriverSettings s;
    s.portNames = simPortEnumeration({&meter});
    s.updateInterval = 200;
    s.probeTimeout = 150;
    T9Rev6_driver driver(s);
    QVERIFY(discovered(driver));
    QVERIFY(driver.start(0));
    ThreadSpy readings(&driver, &T9Rev6_driver::power);
    QVERIFY(readings.wait(3000));

    ThreadSpy missing(&driver, &T9Rev6_driver::deviceMissing);
    QElapsedTimer clock;
    clock.start();
    meter.unplug();
    QVERIFY(missing.wait(3000));
    // Within one poll and pump (1.2 s), with room for a loaded machine; two polls would be 2.2 s.
    QVERIFY2(clock.elapsed() < 1900, qPrintable(QString::number(clock.elapsed())));
    driver.stop();
    const int after = missing.count();
    ThreadSpy lists(&driver, &T9Rev6_driver::devListUpdated);
    QVERIFY(lists.wait(3000));
    QVERIFY(missing.count() <= after + 1);  // at most one already on its way
}

void TestMeasuring::destructionStopsThread() {
    SimMeter meter;
    // Threads that just ended may still be counted for a moment (Qt does not join them).
    const int threadsBefore = steadyThreadCount();
    auto driver = std::make_unique<T9Rev6_driver>(meterSettings({&meter}));
    QVERIFY(threadCount() >= threadsBefore + 2);  // worker and port enumeration
    QVERIFY(discovered(*driver));
    QVERIFY(driver->start(0));
    ThreadSpy readings(driver.get(), &T9Rev6_driver::power);
    QVERIFY(readings.wait(3000));
    QVERIFY(driver->thread() != QThread::currentThread());
    driver.reset();
    // The worker ends (not merely asked to; the system reaps it a moment after the join) and the
    // measuring line is closed.
    QTRY_COMPARE(threadCount(), threadsBefore);
    QCOMPARE(openDescriptors(meter.portName()), 1);

    // An enumeration that hangs does not hold quitting up beyond its bound, nor abort it.
    DriverSettings hanging = meterSettings({});
    hanging.portNames = [] {
        QThread::msleep(4000);
        return QStringList();
    };
    driver = std::make_unique<T9Rev6_driver>(hanging);
    QTest::qWait(100);  // the first enumeration is under way
    QElapsedTimer clock;
    clock.start();
    driver.reset();
    QVERIFY2(clock.elapsed() < 3500, qPrintable(QString::number(clock.elapsed())));
    QTRY_COMPARE_WITH_TIMEOUT(threadCount(), threadsBefore, 6000);  // it ends by itself later
}
