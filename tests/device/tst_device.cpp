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
#include <QTest>

#include <atomic>
#include <functional>
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
    explicit Rig(const std::function<void(DriverSettings&)>& tune = {}) : driver(settings(tune)) {}

    SimMeter meter;
    std::atomic<bool> hidden{false};  // the enumeration lists no port
    std::atomic<int> enumerations{0};
    T9Rev6_driver driver;
    ThreadSpy lists{&driver, &T9Rev6_driver::devListUpdated};
    ThreadSpy readings{&driver, &T9Rev6_driver::power};
    ThreadSpy lost{&driver, &T9Rev6_driver::replyLost};
    ThreadSpy unusable{&driver, &T9Rev6_driver::replyUnusable};
    ThreadSpy missing{&driver, &T9Rev6_driver::deviceMissing};

    bool listed() {
        return QTest::qWaitFor([this] { return !lists.last().toStringList().isEmpty(); }, 5000);
    }

private:
    DriverSettings settings(const std::function<void(DriverSettings&)>& tune) {
        DriverSettings s = fastSettings(simPortEnumeration({&meter}));
        s.portNames = [this, inner = s.portNames] {
            ++enumerations;
            return hidden ? QStringList() : inner();
        };
        if (tune)
            tune(s);
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
        const auto row = [](const char* tag, const char* bytes, const char* text, double value) {
            QTest::newRow(tag) << QByteArray(bytes) << QByteArray(text) << value;
        };
        const double none = qQNaN();
        row("number", "{\"OK\":-20.5}\r\n", "-20.5", -20.5);
        row("string", R"({"OK":" -7.25 "})", " -7.25 ", -7.25);
        row("no OK", R"({"ERR":1})", "", none);
        row("blank", R"({"OK":" \r\t"})", " \r\t", none);
        row("n/a", R"({"OK":"n/a"})", "n/a", none);
        row("comma", R"({"OK":"-7,25"})", "-7,25", none);
    }

    // Framing, texts and ranges in general are the reply fuzzer's (its replay runs the corpus);
    // here, replies that must and must not give a reading.
    void replies() {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, text);
        QFETCH(double, value);
        QJsonObject object;
        QCOMPARE(recognise(bytes, true, &object), Reply::Complete);
        QCOMPARE(okText(object), text);
        const std::optional<double> got = reading(object);
        QCOMPARE(got.has_value(), !qIsNaN(value));
        if (got)
            QCOMPARE(*got, value);
    }

    void probe_data() {
        QTest::addColumn<QByteArray>("name");  // reply bodies; empty: the meter's own
        QTest::addColumn<QByteArray>("serial");
        QTest::addColumn<QByteArray>("report");  // empty: no meter, reported at the time-out
        QTest::addColumn<QByteArray>("asked");   // empty: a port name that does not open
        const auto row = [](const char* tag, const QByteArray& name, const char* serial,
                            const char* report, const char* asked) {
            QTest::newRow(tag) << name << QByteArray(serial) << QByteArray(report)
                               << QByteArray(asked);
        };
        const char* both = "info.name\r\ninfo.sn\r\n";
        row("meter", "", "", "T9, SN: 0001", both);
        row("numeric serial", "", "{\"OK\":12}", "T9, SN: 12", both);
        row("no OK", "{\"ERR\":1}", "{\"ERR\":2}", ", SN: ", both);
        row("serial never ends", "", "{\"OK\":", "", both);
        row("streaming garbage", QByteArray(64 * 1024, '['), "", "", "info.name\r\n");
        row("no such port", "", "", "", "");
    }

    // Replies come in pieces. One report, then the port is closed; an empty one at the time-out.
    void probe() {
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, serial);
        QFETCH(QByteArray, report);
        QFETCH(QByteArray, asked);
        SimMeter meter;
        if (!name.isEmpty())
            meter.setNameReply(name);
        if (!serial.isEmpty())
            meter.setSerialReply(serial);
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
        QVERIFY(!probe.isPortOpen());
        QCOMPARE(openDescriptors(meter.portName()), 1);  // only the meter's own
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

    // A meter replaced on its port since the pass is never read; an unplugged one leaves the list.
    void connectAndStop() {
        Rig r;
        QVERIFY(r.listed());
        QVERIFY(r.driver.start(0));
        QVERIFY(!r.driver.discoveryActive() && r.driver.pollActive());
        QCOMPARE(openDescriptors(r.meter.portName()), 2);
        QVERIFY(r.readings.wait(3000));
        r.driver.setFreq(1500.25);
        r.driver.setAtt(true);
        QVERIFY(r.readings.wait(3000) && r.readings.wait(3000));
        QVERIFY(
            r.meter.received().endsWith("info.power {\"Freq\":1500.250000, \"Att\":true }\r\n"));
        QVERIFY(r.driver.start(0));
        QCOMPARE(openDescriptors(r.meter.portName()), 2);
        r.driver.stop();
        QVERIFY(r.driver.discoveryActive() && r.driver.pumpActive() && !r.driver.pollActive());
        QCOMPARE(openDescriptors(r.meter.portName()), 1);
        QCOMPARE(r.driver.queuedCommands(), 0);

        r.meter.setIdentity("B", "2");
        r.meter.clearReceived();
        QVERIFY(r.driver.startMeter("T9, SN: 0001"));
        QVERIFY(r.missing.wait(3000));
        QTRY_VERIFY(r.driver.discoveryActive());
        QCOMPARE(r.meter.commandCount("info.power"), 0);
        QTRY_COMPARE_WITH_TIMEOUT(r.lists.last().toStringList(), QStringList{"B, SN: 2"}, 3000);
        QVERIFY(!r.driver.startMeter("T9, SN: 0001"));

        r.meter.unplug();
        QVERIFY(!r.driver.start(0));
        QVERIFY(r.driver.discoveryActive());
        QTRY_COMPARE(r.lists.last().toStringList(), QStringList());
    }

    // One request per poll, never a burst from the fast pump. A reply complete at 80 % of the
    // poll, in pieces, gives one reading: the deadline is the next poll, not the short watchdog.
    void pollCycle() {
        Rig r([](DriverSettings& s) {
            s.powInterval = 500;
            s.procInterval = 10;
        });
        QVERIFY(r.listed());
        r.meter.setReplyDelay(360);
        r.meter.setChunks(3, 20);
        r.meter.clearReceived();
        Stopwatch clock;
        QVERIFY(r.driver.start(0));
        QVERIFY(r.readings.wait(3000));
        const int probes = r.meter.commandCount("info.name");  // no probe touches the line
        QTRY_VERIFY_WITH_TIMEOUT(r.readings.count() >= 5, 8000);
        QCOMPARE(r.meter.commandCount("info.name"), probes);
        const qint64 elapsed = clock.elapsed();
        r.driver.stop();
        const int requests = r.meter.commandCount("info.power");
        QCOMPARE_LE(requests, elapsed / 500 + 1);
        QCOMPARE_LE(r.readings.count(), requests);
        QCOMPARE_GE(r.readings.count(), requests - 1);  // the last reply may be on its way
        QCOMPARE(r.lost.count(), 0);
        QVERIFY(r.lists.wait(3000));  // discovery resumes at once; nothing more is sent
        QCOMPARE(r.meter.commandCount("info.power"), requests);
    }

    void unusableReplies_data() {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QByteArray>("reported");
        QTest::newRow("no OK") << QByteArray("{\"ERR\":1}") << QByteArray("{\"ERR\":1}");
        QTest::newRow("bad rule") << QByteArray("xx}") << QByteArray("xx}");
        // Longer than any reply and never complete: dropped at the bound, not at the next poll.
        QTest::newRow("overlong") << QByteArray(64 * 1024, '[') << QByteArray(64, '[');
    }

    // No reading, one report per reply, a bounded receive buffer; usable replies read as before.
    void unusableReplies() {
        QFETCH(QByteArray, reply);
        QFETCH(QByteArray, reported);
        Rig r;
        QVERIFY(r.listed());
        r.meter.setPowerReply(reply);
        QVERIFY(r.driver.start(0));
        QTRY_VERIFY_WITH_TIMEOUT(r.unusable.count() >= 3, 3000);
        QCOMPARE(r.readings.count(), 0);
        QCOMPARE(r.unusable.records.at(0).at(0).toByteArray(), reported);
        QCOMPARE_LE(r.driver.bufferedBytes(), MaxReplyBytes);
        r.meter.setPowerReply({});
        QVERIFY(r.readings.wait(3000));
        QCOMPARE(r.readings.last().toDouble(), -20.0);
    }

    // A lost reply costs its reading only; a late one (a poll and a half, so a worker held up half
    // a poll still sees it) is never taken for a later request's. While the name is out of the
    // enumeration but the line is open (Windows), one request waits: no burst when it is back.
    void lostReplies() {
        Rig r([](DriverSettings& s) { s.powInterval = 200; });
        QVERIFY(r.listed() && r.driver.start(0) && r.readings.wait(3000));
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
        for (const auto& reading : r.readings.records)
            QCOMPARE(reading.at(0).toDouble(), -20.0);

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
        static std::atomic<bool> hang{false};  // static: the hanging enumeration outlives the test
        static std::atomic<bool> hanging{false};
        SimMeter meter;
        DriverSettings s = fastSettings({});
        s.portNames = [meterPorts = simPortEnumeration({&meter})] {
            if (!hang)
                return meterPorts();
            hanging = true;
            QThread::msleep(4000);
            return QStringList();
        };
        auto driver = std::make_unique<T9Rev6_driver>(s);
        QVERIFY(QTest::qWaitFor([&] { return !driver->listedPorts().isEmpty(); }, 5000));
        hang = true;
        QVERIFY(QTest::qWaitFor([] { return hanging.load(); }, 3000));
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
        meter.setReading(-31.5);
        DriverSettings s;
        s.portNames = simPortEnumeration({&meter});
        s.updateInterval = 200;
        s.probeTimeout = 150;
        T9rev6 facade(s);
        QSignalSpy power(&facade, &T9rev6::powerUpdated);
        QSignalSpy missing(&facade, &T9rev6::deviceMissing);
        QVERIFY(qIsNaN(facade.power()));
        bool inGuiThread = true;
        connect(&facade, &T9rev6::powerUpdated, this,
                [&] { inGuiThread = inGuiThread && QThread::currentThread() == thread(); });
        QTRY_COMPARE(facade.devList(), QStringList{"T9, SN: 0001"});
        QVERIFY(facade.start(0));
        QTRY_COMPARE_WITH_TIMEOUT(power.count(), 2, 3000);
        QCOMPARE(facade.power(), -31.5);
        QVERIFY(inGuiThread);

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
