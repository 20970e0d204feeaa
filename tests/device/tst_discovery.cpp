#include "tst_device.h"

#include "testutil.h"

#include <QSerialPort>

#include <atomic>
#include <memory>

// A pass reports once, when every probe has or at its deadline: the meters in the order they
// answered. A silent line, a name that cannot be opened and a port another program holds (named
// as refused, and probed again once free; a test run as root cannot take the rights away, and Qt
// reports a lock the same way) list nothing; a port whose open() hangs (virtual Bluetooth and
// modem ports do) delays only itself and is not probed again while it hangs. The first pass runs
// at once, the next when a stop asks for it; a meter that left is gone, one back under another
// name is listed so. Neither connecting nor quitting waits for the hanging probe beyond its bound.
void TestDevice::discovery() {
    SimMeter slow;
    SimMeter silent;
    SimMeter fast;
    slow.setIdentity("Slow", "1");
    fast.setIdentity("Fast", "2");
    slow.setReplyDelay(100);
    silent.setSilent(true);
    QSerialPort holder;
    holder.setPortName(silent.portName());
    QVERIFY(holder.open(QIODevice::ReadWrite));
    const QString hanging = QStringLiteral("/dev/md-hanging-port");
    std::atomic<int> hangingOpens{0};
    DriverSettings s =
        fastSettings(simPortEnumeration({&slow, &silent, &fast}, {NoSuchPort, hanging}));
    s.probeTimeout = 400;
    s.updateInterval = 60000;
    s.beforeOpen = [&hangingOpens, hanging](const QString& name) {
        if (name == hanging) {
            ++hangingOpens;
            QThread::msleep(8000);
        }
    };
    Stopwatch clock;
    auto driver = std::make_unique<T9Rev6_driver>(s);
    ThreadSpy lists(driver.get(), &T9Rev6_driver::devListUpdated);
    ThreadSpy refused(driver.get(), &T9Rev6_driver::portRefused);
    const QStringList both{"Fast, SN: 2", "Slow, SN: 1"};
    QVERIFY(lists.wait(4000));
    QCOMPARE_GE(clock.elapsed(), 395);
    QCOMPARE(lists.last().toStringList(), both);
    QTRY_COMPARE(refused.last().toString(), silent.portName());
    holder.close();
    const auto pass = [&] {
        driver->stop();
        return lists.wait(4000) ? lists.last().toStringList() : QStringList{"no report"};
    };
    QCOMPARE(pass(), both);
    QCOMPARE(pass(), both);
    QCOMPARE(lists.count(), 3);
    QCOMPARE(hangingOpens.load(), 1);
    QCOMPARE(driver->listedPorts(), QStringList({fast.portName(), slow.portName()}));
    slow.unplug();
    QCOMPARE(pass(), QStringList{"Fast, SN: 2"});
    QVERIFY(slow.replug());
    QCOMPARE(pass(), both);
    QCOMPARE(driver->listedPorts(), QStringList({fast.portName(), slow.portName()}));
    QCOMPARE_GE(silent.commandCount("info.name"), 1);

    clock.restart();
    QVERIFY(driver->start(0));
    QCOMPARE_LT(clock.elapsed(), 2000);
    clock.restart();
    driver.reset();
    QCOMPARE_LT(clock.elapsed(), s.quitWaitMs + 1000);
}

// The next pass's probe opens the line and waits for a slow answer: connect right then. The
// probe's replies still come and must not be taken for the identity check's.
void TestDevice::connectWhileProbeHoldsPort() {
    Rig r([](DriverSettings& s) {
        s.updateInterval = 300;
        s.probeTimeout = 1000;
        s.powInterval = 1000;
    });
    QVERIFY(r.listed());
    r.meter.setReplyDelay(400);
    r.meter.clearReceived();
    QTRY_VERIFY_WITH_TIMEOUT(r.meter.commandCount("info.name") == 1, 3000);
    QVERIFY(r.driver.start(0));
    QVERIFY(r.readings.wait(5000));
}
