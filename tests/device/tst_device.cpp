// The serial driver on pseudo-terminals, against the simulated meter: what only a real line and
// real threads show. The protocol's logic is the session's suite's.
#include "../support/fastsettings.h"
#include "comportinfo.h"
#include "meterprotocol.h"
#include "simmeter.h"
#include "t9rev6.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLocale>
#include <QRegularExpression>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTest>

#include <atomic>
#include <memory>

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

// The driver is reached through its facade, whose signals come in this thread.
class TestDevice : public QObject {
    Q_OBJECT

private slots:
    // The product's decimal-comma locale: numbers on the line must keep their point.
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Russian)); }

    // Replies come in pieces. One report each, then the port is closed; an empty one at the
    // time-out. The probes run side by side.
    void probe() {
        SimMeter meter, noOk, garbage;
        noOk.setNameReply("{\"ERR\":1}");
        noOk.setSerialReply("{\"ERR\":1}");
        garbage.setNameReply(QByteArray(64 * 1024, '['));
        const QByteArray both = "info.name\r\ninfo.sn\r\n";
        // The meter (none: a port name that does not open), its report, what it was asked.
        const QList<std::tuple<SimMeter*, QByteArray, QByteArray>> cases{
            {&meter, "T9, SN: 0001", both},
            {&noOk, ", SN: ", both},
            {&garbage, "", "info.name\r\n"},
            {nullptr, "", ""}};
        QTest::ignoreMessage(
            QtWarningMsg,
            QRegularExpression(QStringLiteral("^Ошибка: не удалось открыть порт \"%1\" - \".+\"$")
                                   .arg(NoSuchPort)));
        Stopwatch clock;
        std::vector<std::unique_ptr<ComPortInfo>> probes;
        std::vector<std::unique_ptr<QSignalSpy>> spies;
        QList<qint64> at(cases.size());
        for (const auto& [m, report, asked] : cases) {
            if (m)
                m->setChunks(4, 15);
            auto* probe = new ComPortInfo(m ? m->portName() : QString(NoSuchPort), 250);
            probes.emplace_back(probe);
            spies.push_back(std::make_unique<QSignalSpy>(probe, &ComPortInfo::info));
            connect(probe, &ComPortInfo::info, this,
                    [&, i = spies.size() - 1] { at[i] = clock.elapsed(); });
        }
        const auto reports = [&](qsizetype n) {
            return std::all_of(spies.begin(), spies.end(), [n](auto& s) { return s->size() >= n; });
        };
        QTRY_VERIFY(reports(1));
        QVERIFY(!QTest::qWaitFor([&] { return reports(2); }, 250));  // nor at a late time-out
        for (size_t i = 0; i < probes.size(); ++i) {
            const auto& [m, report, asked] = cases[i];
            QCOMPARE(*spies[i], QList<QVariantList>({{report, probes[i]->portName()}}));
            QCOMPARE_GE(at[i], report.isEmpty() ? 245 : 0);
            QVERIFY(probes[i]->bufferedBytes() <= MeterProtocol::MaxReplyBytes);
            if (m) {
                QTRY_COMPARE(openDescriptors(m->portName()), 1);  // the meter's own
                QCOMPARE(m->received(), asked);
            }
        }
    }

    // A pass reports once, meters in the order they answered. A port another program holds is
    // refused, then probed once free (root keeps its rights). A port whose open() hangs is left to
    // it. Connecting stops a probe on the line; its late replies do no harm. An enumeration under
    // way holds up no connect or disconnect; quitting waits for it and a hanging probe no longer
    // than their bounds, and closes the line.
    void discovery() {
        static std::atomic<int> hang{0};  // 2: under way; static: the enumeration outlives the test
        SimMeter slow, silent, fast;
        slow.setIdentity("Slow", "1");
        fast.setIdentity("Fast", "2");
        slow.setReplyDelay(50);
        silent.setSilent(true);
        QSerialPort holder;
        holder.setPortName(silent.portName());
        QVERIFY(holder.open(QIODevice::ReadWrite));
        const QString hanging = QStringLiteral("/dev/md-hanging-port");
        std::atomic<int> hangingOpens{0};
        DriverSettings s = fastSettings({}, 300);
        s.portNames = [ports = simPortEnumeration({&slow, &silent, &fast}, {NoSuchPort, hanging})] {
            if (!hang)
                return ports();
            hang = 2;
            QThread::msleep(4000);
            return QStringList();
        };
        s.probeTimeout = 200;
        s.updateInterval = 60000;
        s.quitWaitMs = 300;
        s.beforeOpen = [&hangingOpens, hanging](const QString& name) {
            if (name == hanging) {
                ++hangingOpens;
                QThread::msleep(3000);
            }
        };
        Stopwatch clock;
        auto facade = std::make_unique<T9rev6>(s);
        QSignalSpy lists(facade.get(), &T9rev6::devListUpdated);
        QSignalSpy refused(facade.get(), &T9rev6::portRefused);
        QSignalSpy readings(facade.get(), &T9rev6::powerUpdated);
        const QStringList both{"Fast, SN: 2", "Slow, SN: 1"};
        QVERIFY(lists.wait(4000));
        QCOMPARE_GE(clock.elapsed(), 195);
        QCOMPARE(facade->devList(), both);
        QTRY_VERIFY(!refused.isEmpty());
        QCOMPARE(refused.last().at(0).toString(), silent.portName());
        holder.close();
        QVERIFY(facade->stop());  // asks for the next pass at once
        QVERIFY(lists.wait(4000));
        QCOMPARE(facade->devList(), both);
        QCOMPARE(lists.count(), 2);
        QCOMPARE(hangingOpens.load(), 1);
        QCOMPARE_GE(silent.commandCount("info.name"), 1);

        fast.setReplyDelay(100);
        const int asked = fast.commandCount("info.name");
        facade->stop();
        QTRY_VERIFY_WITH_TIMEOUT(fast.commandCount("info.name") > asked, 3000);
        clock.restart();
        QVERIFY(facade->start(0));
        QCOMPARE_LT(clock.elapsed(), 1000);
        QVERIFY(readings.wait(3000));

        hang = 1;  // the next poll's enumeration
        QVERIFY(QTest::qWaitFor([] { return hang == 2; }, 3000));
        clock.restart();
        QVERIFY(facade->stop() && facade->start(0));
        QCOMPARE_LT(clock.elapsed(), 1000);
        clock.restart();
        facade.reset();
        QCOMPARE_LT(clock.elapsed(), s.quitWaitMs + 2000 + 1000);  // the enumeration's bound: 2 s
        QCOMPARE(openDescriptors(fast.portName()), 1);
    }

    // Replies in pieces, read in this thread, at most one request per poll; a lost and an unusable
    // reply reported. No probe touches the line; a stop closes it, discovery resumes at once and
    // nothing more is sent or shown; a second start replaces the first one's port. Another meter
    // of the same model, put on the listed port, is never read.
    void connectAndStop() {
        SimMeter meter;
        DriverSettings s = fastSettings(simPortEnumeration({&meter}), 200);
        s.updateInterval = 60000;  // a pass only when asked for
        T9rev6 facade(s);
        QSignalSpy lists(&facade, &T9rev6::devListUpdated);
        QSignalSpy readings(&facade, &T9rev6::powerUpdated);
        QSignalSpy lost(&facade, &T9rev6::replyLost);
        QSignalSpy unusable(&facade, &T9rev6::replyUnusable);
        QSignalSpy missing(&facade, &T9rev6::deviceMissing);
        connect(&facade, &T9rev6::powerUpdated, this,
                [this] { QCOMPARE(QThread::currentThread(), thread()); });
        QVERIFY(lists.wait(3000));
        meter.setChunks(3, 10);
        facade.setFreq(1500.25);
        facade.setAtt(true);
        Stopwatch clock;
        QVERIFY(facade.start(0) && readings.wait(3000));
        const int probes = meter.commandCount("info.name");
        meter.dropReplies(1);
        QVERIFY(lost.wait(3000) && readings.wait(3000));
        meter.setPowerReply("{\"ERR\":1}");
        QVERIFY(unusable.wait(3000));
        QCOMPARE(unusable.last().at(0).toString(), "{\"ERR\":1}");
        const qint64 elapsed = clock.elapsed();
        QMetaObject::invokeMethod(&facade, "getPwr", Qt::QueuedConnection, Q_ARG(double, 99.0));
        QVERIFY(facade.stop());
        readings.clear();
        QCoreApplication::sendPostedEvents();
        QCOMPARE(readings.count(), 0);  // none queued behind the stop
        QCOMPARE(openDescriptors(meter.portName()), 1);
        QCOMPARE(lost.count(), 1);
        QCOMPARE(meter.commandCount("info.name"), probes + 1);  // the resync query
        const int requests = meter.commandCount("info.power");
        QCOMPARE_LE(requests, elapsed / 200 + 1);
        QCOMPARE(QVariantList({facade.power(), facade.readingFreq(), facade.readingAtt()}),
                 QVariantList({-20.0, 1500.25, true}));  // kept after the connection closed
        QVERIFY(meter.received().contains("info.power {\"Freq\":1500.250000, \"Att\":true }\r\n"));
        QVERIFY(lists.wait(3000));
        QCOMPARE(meter.commandCount("info.power"), requests);

        QVERIFY(facade.start(0) && facade.start(0));
        QCOMPARE(openDescriptors(meter.portName()), 2);
        QVERIFY(facade.stop() && lists.wait(3000));
        meter.setIdentity("T9", "0002");
        const int before = meter.commandCount("info.power");
        QVERIFY(facade.start(0) && missing.wait(3000));
        QCOMPARE(meter.commandCount("info.power"), before);
    }

    // A meter slower than a probe's time-out for one answer is told as slow. The serial number the
    // first probe waited for in vain comes (sent here) after the next probe's first question and
    // is not taken for its name, nor is what came before a probe opened. A meter answering in
    // two thirds of the time-out is listed: each answer has a time-out of its own.
    void slowProbes() {
        SimMeter meter;
        meter.setIdentity("RM0", "S0");
        meter.setReplyDelay(200);
        std::atomic<bool> first{true};
        meter.setReplyHook([&](const QByteArray& command, const QByteArray&, auto) {
            if (command == "info.name" && first.exchange(false))
                meter.dropReplies(1);  // the first probe's serial number
        });
        DriverSettings s = fastSettings(simPortEnumeration({&meter}));
        s.probeTimeout = 300;
        s.beforeOpen = [&meter](const QString&) { meter.send("{\"OK\":\"X\"}\r\n"); };
        T9rev6 facade(s);
        QStringList lists;
        connect(&facade, &T9rev6::devListUpdated, this, [&] { lists += facade.devList(); });
        QSignalSpy slow(&facade, &T9rev6::portSlow);
        QVERIFY(slow.wait(3000));
        QCOMPARE(slow.last().at(0).toString(), meter.portName());
        QTRY_VERIFY_WITH_TIMEOUT(meter.commands().size() >= 3, 5000);
        meter.send("{\"OK\":\"S0\"}\r\n");
        QTRY_COMPARE_WITH_TIMEOUT(facade.devList(), QStringList{"RM0, SN: S0"}, 5000);
        QVERIFY(lists.filter("SN: RM0").isEmpty());
        QSignalSpy next(&facade, &T9rev6::devListUpdated);
        QVERIFY(next.wait(3000));  // the next pass, without help
        QCOMPARE(facade.devList(), QStringList{"RM0, SN: S0"});
    }

    // An unplugged meter is reported within a poll and a pump (product pacing: a request a second,
    // a pump every 200 ms), whether the port is looked for in a whole enumeration or by a
    // presence check of its own. With the check, no port is enumerated while measuring;
    // disconnected, discovery enumerates again.
    void unplugged_data() {
        QTest::addColumn<bool>("checked");
        QTest::newRow("enumerated") << false;
        QTest::newRow("presence checked") << true;
    }
    void unplugged() {
        QFETCH(bool, checked);
        SimMeter meter;
        DriverSettings s;
        std::atomic<int> enumerations{0};
        s.portNames = [&enumerations, names = simPortEnumeration({&meter})] {
            ++enumerations;
            return names();
        };
        if (checked)
            s.portPresent = [&meter](const QString& name) {
                return name == meter.portName() && meter.isPlugged();
            };
        s.updateInterval = 200;
        s.probeTimeout = 150;
        T9rev6 facade(s);
        QSignalSpy power(&facade, &T9rev6::powerUpdated);
        QSignalSpy missing(&facade, &T9rev6::deviceMissing);
        QTRY_COMPARE(facade.devList(), QStringList{"T9, SN: 0001"});
        QVERIFY(facade.start(0) && power.wait(3000));
        const int before = enumerations;
        if (checked) {
            QVERIFY(power.wait(3000) && power.wait(3000));
            QCOMPARE(enumerations.load(), before);
        }
        Stopwatch clock;
        meter.unplug();
        QVERIFY(missing.wait(3000));
        QCOMPARE_LT(clock.elapsed(), 1900);  // two polls would be 2.2 s
        facade.stop();
        QTRY_VERIFY(enumerations.load() > before);
    }
};

QTEST_GUILESS_MAIN(TestDevice)
#include "tst_device.moc"
