// The serial driver on pseudo-terminals, against the simulated meter.
#include "../support/fastsettings.h"
#include "comportinfo.h"
#include "meterprotocol.h"
#include "simmeter.h"
#include "t9rev6.h"
#include "t9rev6_driver.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLocale>
#include <QRegularExpression>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <memory>

using namespace MeterProtocol;

namespace {
const char* NoSuchPort = "/dev/md-no-such-port";

struct Stopwatch : QElapsedTimer {
    Stopwatch() { start(); }
};

// Descriptors of this process on the device at path (the simulated meter keeps one of its own).
int openDescriptors(const QString& path) {
    const auto fds = QDir(QStringLiteral("/proc/self/fd"))
                         .entryInfoList(QDir::Files | QDir::System | QDir::NoDotAndDotDot);
    return int(std::count_if(fds.begin(), fds.end(),
                             [&](const QFileInfo& fd) { return fd.symLinkTarget() == path; }));
}
}  // namespace

// QSignalSpy for another thread's signals: recorded here, queued, so the test never races them.
class ThreadSpy : public QObject {
    Q_OBJECT

public:
    template <typename Sender, typename... Args>
    ThreadSpy(Sender* sender, void (Sender::*signal)(Args...)) {
        connect(
            sender, signal, this,
            [this](Args... args) {
                records.append(QVariantList{QVariant::fromValue(args)...});
                emit recorded();
            },
            Qt::QueuedConnection);
    }
    qsizetype count() const { return records.size(); }
    QVariant last() const { return records.isEmpty() ? QVariant() : records.last().value(0); }
    bool wait(int ms) { return QSignalSpy(this, &ThreadSpy::recorded).wait(ms); }

    QList<QVariantList> records;

signals:
    void recorded();
};

// A driver on one simulated meter ("T9, SN: 0001", -20 dBm), its signals recorded from the start.
struct Rig {
    explicit Rig(int pollMs = 100) : driver(settings(pollMs)) {}

    SimMeter meter;
    std::atomic<bool> hidden{false};  // the enumeration lists no port
    std::atomic<int> enumerations{0};
    T9Rev6_driver driver;
    ThreadSpy lists{&driver, &T9Rev6_driver::devListUpdated};
    ThreadSpy readings{&driver, &T9Rev6_driver::reading};
    ThreadSpy lost{&driver, &T9Rev6_driver::replyLost};
    ThreadSpy unusable{&driver, &T9Rev6_driver::replyUnusable};
    ThreadSpy missing{&driver, &T9Rev6_driver::deviceMissing};

    bool listed() {
        return QTest::qWaitFor([this] { return !lists.last().toStringList().isEmpty(); }, 5000);
    }
    DriverSettings settings(int pollMs) {
        DriverSettings s = fastSettings(simPortEnumeration({&meter}), pollMs);
        s.portNames = [this, inner = s.portNames] {
            ++enumerations;
            return hidden ? QStringList() : inner();
        };
        return s;
    }
};

class TestDevice : public QObject {
    Q_OBJECT

private slots:
    // The product's decimal-comma locale: numbers on the line must keep their point.
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Russian)); }

    void replies_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("text");  // as a part of the identification
        QTest::addColumn<double>("value");     // NaN: no reading at all
        QTest::newRow("number") << QByteArray("{\"OK\":-20.5}\r\n") << QByteArray("-20.5") << -20.5;
        QTest::newRow("string") << QByteArray(R"({"OK":" -7.25 "})") << QByteArray(" -7.25 ")
                                << -7.25;
        QTest::newRow("blank") << QByteArray(R"({"OK":" \r\t"})") << QByteArray(" \r\t") << qQNaN();
        QTest::newRow("comma") << QByteArray(R"({"OK":"-7,25"})") << QByteArray("-7,25") << qQNaN();
        QTest::newRow("error") << QByteArray(R"({"ERR":1,"OK":-3})") << QByteArray("-3") << qQNaN();
    }

    // Framing and ranges are the reply fuzzer's; here, replies that must and must not be readings.
    void replies() {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, text);
        QFETCH(double, value);
        QJsonObject object;
        QCOMPARE(recognise(bytes, true, &object), Reply::Complete);
        QCOMPARE(okText(object), text);
        QCOMPARE(reading(object).value_or(qQNaN()), value);
    }

    void probe_data() {
        QTest::addColumn<QByteArray>("body");    // of the identity replies; empty: the meter's own
        QTest::addColumn<QByteArray>("report");  // empty: no meter, reported at the time-out
        QTest::addColumn<QByteArray>("asked");   // empty: a port name that does not open
        const auto row = [](const char* tag, const QByteArray& body, const char* report,
                            const char* asked) {
            QTest::newRow(tag) << body << QByteArray(report) << QByteArray(asked);
        };
        const char* both = "info.name\r\ninfo.sn\r\n";
        row("meter", "", "T9, SN: 0001", both);
        row("no OK", "{\"ERR\":1}", ", SN: ", both);
        row("streaming garbage", QByteArray(64 * 1024, '['), "", "info.name\r\n");
        row("no such port", "", "", "");
    }

    // Replies come in pieces. One report, then the port is closed; an empty one at the time-out.
    void probe() {
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, report);
        QFETCH(QByteArray, asked);
        SimMeter meter;
        if (!body.isEmpty()) {
            meter.setNameReply(body);
            meter.setSerialReply(body);
        }
        meter.setChunks(4, 15);
        const QString port = asked.isEmpty() ? QString::fromLatin1(NoSuchPort) : meter.portName();
        if (asked.isEmpty())
            QTest::ignoreMessage(
                QtWarningMsg,
                QRegularExpression("^Ошибка: не удалось открыть порт \"" + port + "\" - \".+\"$"));
        Stopwatch clock;
        ComPortInfo probe(port, 600);
        QSignalSpy spy(&probe, &ComPortInfo::info);
        QVERIFY(spy.wait(3000));
        QCOMPARE(spy.at(0).at(0).toByteArray(), report);
        QCOMPARE(spy.at(0).at(1).toString(), port);
        QCOMPARE_GE(clock.elapsed(), report.isEmpty() ? 595 : 0);
        QTRY_COMPARE(openDescriptors(meter.portName()), 1);  // the meter's own, after a time-out
        QVERIFY(probe.bufferedBytes() <= MaxReplyBytes);
        QVERIFY(!spy.wait(300));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(meter.received(), asked);
    }

    // A pass reports once, meters in the order they answered. A port another program holds is
    // refused, then probed once free (root keeps its rights; Qt reports a lock alike). A port whose
    // open() hangs is left to it, and no connect or quit waits for it beyond its bound. Connecting
    // stops a probe that holds the line, and the probe's late replies do no harm.
    void discovery() {
        SimMeter slow, silent, fast;
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
        s.probeTimeout = 1000;
        s.updateInterval = 60000;
        s.powInterval = 1000;
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
        ThreadSpy readings(driver.get(), &T9Rev6_driver::power);
        const QStringList both{"Fast, SN: 2", "Slow, SN: 1"};
        QVERIFY(lists.wait(4000));
        QCOMPARE_GE(clock.elapsed(), 995);
        QCOMPARE(lists.last().toStringList(), both);
        QTRY_COMPARE(refused.last().toString(), silent.portName());
        holder.close();
        driver->stop();  // asks for the next pass at once
        QVERIFY(lists.wait(4000));
        QCOMPARE(lists.last().toStringList(), both);
        QCOMPARE(lists.count(), 2);
        QCOMPARE(hangingOpens.load(), 1);
        QCOMPARE(driver->listedPorts(), QStringList({fast.portName(), slow.portName()}));
        QCOMPARE_GE(silent.commandCount("info.name"), 1);

        fast.setReplyDelay(400);
        const int asked = fast.commandCount("info.name");
        driver->stop();
        QTRY_VERIFY_WITH_TIMEOUT(fast.commandCount("info.name") > asked, 3000);
        clock.restart();
        QVERIFY(driver->start(0));
        QCOMPARE_LT(clock.elapsed(), 2000);
        QVERIFY(readings.wait(5000));
        clock.restart();
        driver.reset();
        QCOMPARE_LT(clock.elapsed(), s.quitWaitMs + 1000);
    }

    // One request per poll, never a burst from the fast pump; a reply complete at 80 % of the
    // poll, in pieces, gives one reading: the deadline is the next poll, not the short watchdog.
    void connectAndStop() {
        Rig r(500);
        QVERIFY(r.listed());
        r.meter.setReplyDelay(360);
        r.meter.setChunks(3, 20);
        r.driver.setFreq(1500.25);
        r.driver.setAtt(true);
        Stopwatch clock;
        QVERIFY(r.driver.start(0));
        QVERIFY(r.readings.wait(3000));
        const int probes = r.meter.commandCount("info.name");  // no probe touches the line
        QTRY_VERIFY_WITH_TIMEOUT(r.readings.count() >= 5, 8000);
        QCOMPARE(r.meter.commandCount("info.name"), probes);
        const qint64 elapsed = clock.elapsed();
        r.meter.setReplyDelay(0);  // for the next pass to list it
        r.driver.stop();
        QCOMPARE(openDescriptors(r.meter.portName()), 1);
        const int requests = r.meter.commandCount("info.power");
        QCOMPARE_LE(requests, elapsed / 500 + 1);
        QCOMPARE_LE(r.readings.count(), requests);
        QCOMPARE_GE(r.readings.count(), requests - 1);  // the last reply may be on its way
        QCOMPARE(r.lost.count(), 0);
        QVERIFY(
            r.meter.received().contains("info.power {\"Freq\":1500.250000, \"Att\":true }\r\n"));
        QVERIFY(r.lists.wait(3000));  // discovery resumes at once; nothing more is sent
        QCOMPARE(r.meter.commandCount("info.power"), requests);

        QVERIFY(r.driver.start(0) && r.driver.start(0));
        QCOMPARE(openDescriptors(r.meter.portName()), 2);
    }

    // Another meter of the same model, put on the port name the pass listed, is never read.
    void sameModel() {
        SimMeter listed, other;
        other.setIdentity("T9", "0002");
        QTemporaryDir dir;
        const QString link = dir.filePath("ttySIM0");
        QVERIFY(QFile::link(listed.portName(), link));
        DriverSettings s = fastSettings([link] { return QStringList{link}; });
        s.updateInterval = 60000;  // the list stays the first pass's
        T9Rev6_driver driver(s);
        ThreadSpy missing(&driver, &T9Rev6_driver::deviceMissing);
        QTRY_VERIFY(!driver.listedPorts().isEmpty());
        QVERIFY(QFile::remove(link) && QFile::link(other.portName(), link));
        QVERIFY(driver.startMeter("T9, SN: 0001") && missing.wait(3000));
        QCOMPARE(other.commandCount("info.power"), 0);
    }

    // A meter slower than a probe's time-out for one answer is told as slow. The serial number the
    // first probe waited for in vain comes (sent here) after the next probe's first question and
    // is not taken for its name, nor is what came before a probe opened. A meter answering in
    // 400 ms is listed: each answer has a time-out of its own.
    void slowProbes() {
        SimMeter meter;
        meter.setIdentity("RM0", "S0");
        meter.setReplyDelay(400);
        std::atomic<bool> first{true};
        meter.setReplyHook([&](const QByteArray& command, const QByteArray&, auto) {
            if (command == "info.name" && first.exchange(false))
                meter.dropReplies(1);  // the first probe's serial number
        });
        DriverSettings s = fastSettings(simPortEnumeration({&meter}));
        s.probeTimeout = 600;
        s.beforeOpen = [&meter](const QString&) { meter.send("{\"OK\":\"X\"}\r\n"); };
        T9Rev6_driver driver(s);
        ThreadSpy lists(&driver, &T9Rev6_driver::devListUpdated);
        ThreadSpy slow(&driver, &T9Rev6_driver::portSlow);
        QVERIFY(slow.wait(3000));
        QCOMPARE(slow.last().toString(), meter.portName());
        QTRY_VERIFY_WITH_TIMEOUT(meter.commands().size() >= 3, 5000);
        meter.send("{\"OK\":\"S0\"}\r\n");
        QTRY_COMPARE_WITH_TIMEOUT(lists.last().toStringList(), QStringList{"RM0, SN: S0"}, 5000);
        for (const QVariantList& list : std::as_const(lists.records))
            QVERIFY(list.at(0).toStringList().filter("SN: RM0").isEmpty());
        QVERIFY(lists.wait(3000));  // the next pass, without help
        QCOMPARE(lists.last().toStringList(), QStringList{"RM0, SN: S0"});
    }

    // Replies late in any mix (20 to 150 ms at a 60 ms poll, in pieces, some never, some after a
    // head that never ended), frequency and converter switched all along: every reading answers
    // the request it comes with, measured at what that request asked, never an earlier one's or
    // an identity answer (numeric here, and some readings read like the name).
    void lateReplies() {
        Rig r(60);
        r.meter.setNameReply(R"({"OK":7})");
        r.meter.setSerialReply(R"({"OK":12})");
        QTRY_COMPARE(r.lists.last().toStringList(), QStringList{"7, SN: 12"});
        r.meter.setChunks(2, 15);
        const auto measured = [](double f, bool a) {
            const int k = int(f / 1000);
            return k % 4 ? -k - (a ? 0.5 : 0) : 7.0;
        };
        r.meter.setReadingFunction(measured);
        std::atomic<int> replies{0};
        r.meter.setReplyHook([&](const QByteArray&, const QByteArray&, auto) {
            static const int delays[] = {20, 150, 25, 110, 20, 80, 130, 30, 65};
            r.meter.setReplyDelay(delays[replies++ % 9]);
            if (replies % 7 == 0)
                r.meter.dropReplies(1);
            if (replies % 11 == 0)
                r.meter.send("{\"OK\":");  // a head that never ends
        });
        QVERIFY(r.driver.start(0));
        int step = 0;
        QVERIFY(QTest::qWaitFor(
            [&] {
                r.driver.setFreq(1000.0 * (++step % 190 + 1));
                r.driver.setAtt(step % 3 == 0);
                return r.readings.count() >= 10;
            },
            20000));
        for (const QVariantList& t : std::as_const(r.readings.records))
            QCOMPARE(t.at(0).toDouble(), measured(t.at(1).toDouble(), t.at(2).toBool()));
        QCOMPARE_GT(r.lost.count(), 0);
    }

    // Unusable replies: no reading, one report each, a bounded buffer (an endless one is dropped at
    // the bound, not the next poll). A lost reply costs its reading and the resync query's. A name
    // out of the enumeration while the line is open (Windows) holds one request: no burst when it
    // is back.
    void badReplies() {
        Rig r(200);
        QVERIFY(r.listed());
        for (const QByteArray& reply : {QByteArray("{\"ERR\":1}"), QByteArray(64 * 1024, '[')}) {
            r.meter.setPowerReply(reply);
            r.unusable.records.clear();
            QVERIFY(r.driver.start(0));
            QTRY_VERIFY_WITH_TIMEOUT(r.unusable.count() >= 3, 3000);
            QCOMPARE(r.unusable.last().toByteArray(), reply.left(64));
            QCOMPARE_LE(r.driver.bufferedBytes(), MaxReplyBytes);
            r.driver.stop();
        }
        QCOMPARE(r.readings.count(), 0);
        r.meter.setPowerReply({});
        QVERIFY(r.driver.start(0) && r.readings.wait(3000));
        QCOMPARE(r.readings.last().toDouble(), -20.0);
        r.meter.clearReceived();
        r.meter.dropReplies(1);
        r.readings.records.clear();
        r.lost.records.clear();
        QTRY_VERIFY_WITH_TIMEOUT(r.readings.count() >= 2, 3000);
        QCOMPARE_GE(r.lost.count(), 1);
        QCOMPARE(r.meter.commandCount("info.name"), r.lost.count());  // a resync query each

        r.hidden = true;
        const int before = r.enumerations;
        QTRY_VERIFY(r.enumerations >= before + 6);  // one per poll
        QVERIFY(r.missing.count() > 0);
        QCOMPARE_LE(r.driver.queuedCommands(), 1);
        r.hidden = false;
        QVERIFY(r.readings.wait(3000));
    }

    // Connecting and disconnecting never wait for a port enumeration under way; quitting waits
    // for a hanging one no longer than its bound, and closes the line.
    void threadsAndQuitting() {
        static std::atomic<int> hang{0};  // 2: under way; static: the enumeration outlives the test
        SimMeter meter;
        DriverSettings s = fastSettings({});
        s.portNames = [meterPorts = simPortEnumeration({&meter})] {
            if (!hang)
                return meterPorts();
            hang = 2;
            QThread::msleep(4000);
            return QStringList();
        };
        auto driver = std::make_unique<T9Rev6_driver>(s);
        QVERIFY(QTest::qWaitFor([&] { return !driver->listedPorts().isEmpty(); }, 5000));
        hang = 1;
        QVERIFY(QTest::qWaitFor([] { return hang == 2; }, 3000));
        Stopwatch clock;
        QVERIFY(driver->start(0));
        driver->stop();
        QVERIFY(driver->start(0));
        QCOMPARE_LT(clock.elapsed(), 2000);
        clock.restart();
        driver.reset();
        QCOMPARE_LT(clock.elapsed(), 3500);
        QCOMPARE(openDescriptors(meter.portName()), 1);
    }

    // Readings reach the GUI thread, none queued behind a disconnect; an unplugged meter is
    // reported within a poll and a pump (product pacing: a request a second, a pump every 200 ms).
    void facade() {
        SimMeter meter;
        meter.setReadingFunction([](double f, bool a) { return a ? -f / 100 : 0; });
        DriverSettings s;
        s.portNames = simPortEnumeration({&meter});
        s.updateInterval = 200;
        s.probeTimeout = 150;
        T9rev6 facade(s);
        facade.setFreq(3150);
        facade.setAtt(true);
        QSignalSpy power(&facade, &T9rev6::powerUpdated);
        QSignalSpy missing(&facade, &T9rev6::deviceMissing);
        connect(&facade, &T9rev6::powerUpdated, this,
                [this] { QCOMPARE(QThread::currentThread(), thread()); });
        QTRY_COMPARE(facade.devList(), QStringList{"T9, SN: 0001"});
        QVERIFY(facade.start(0));
        QTRY_COMPARE_WITH_TIMEOUT(power.count(), 2, 3000);
        QCOMPARE(facade.power(), -31.5);
        QCOMPARE(facade.readingFreq(), 3150.0);
        QCOMPARE(facade.readingAtt(), true);

        QMetaObject::invokeMethod(&facade, "getPwr", Qt::QueuedConnection, Q_ARG(double, 99.0));
        QVERIFY(facade.stop());
        power.clear();
        QCoreApplication::sendPostedEvents();
        QCOMPARE(power.count(), 0);
        QCOMPARE(facade.power(), -31.5);  // the value stays after the connection closed
        QVERIFY(facade.start(0));         // and a new connection reads again
        QVERIFY(power.wait(3000));

        Stopwatch clock;
        meter.unplug();
        QVERIFY(missing.wait(3000));
        QCOMPARE_LT(clock.elapsed(), 1900);  // two polls would be 2.2 s
    }
};

QTEST_GUILESS_MAIN(TestDevice)
#include "tst_device.moc"
