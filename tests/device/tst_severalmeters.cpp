// Several meters measured at once on pseudo-terminals: the main facade's discovery finds them,
// further facades open them at the ports it found, a shared poll clock asks them together, and
// discovery leaves the ports the others measure alone.
#include "../support/fastsettings.h"
#include "../support/pollcycles.h"
#include "pollclock.h"
#include "simmeter.h"
#include "t9rev6.h"
#include "t9rev6_driver.h"

#include <QLocale>
#include <QSet>
#include <QSignalSpy>
#include <QTest>

#include <atomic>
#include <memory>
#include <vector>

using namespace pollcycles;

namespace {
QString idOf(int k) {
    return QStringLiteral("M%1, SN: %2").arg(k).arg(k);
}

// Meters whose readings never repeat among them: meter k reads -10(k+1) dBm less a thousandth
// per request, so every reading names the meter and the request it answers.
struct Meters {
    std::vector<std::unique_ptr<SimMeter>> sims;
    QList<const SimMeter*> list;  // for the port enumeration
    explicit Meters(int n) {
        for (int k = 0; k < n; ++k) {
            list << sims.emplace_back(std::make_unique<SimMeter>()).get();
            sims.back()->setIdentity(QStringLiteral("M%1").arg(k), QString::number(k));
            sims.back()->setReadingFunction([k, n = 0](double, bool) mutable {
                return -10.0 * (k + 1) - 0.001 * (n++ % 5000);
            });
        }
    }
    SimMeter& operator[](int k) { return *sims[size_t(k)]; }
};

DriverSettings withoutDiscovery(DriverSettings s) {
    s.discover = false;
    return s;
}

}  // namespace

class TestSeveralMeters : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Russian)); }

    // The main facade lists every meter at its port and holds the others' ports; further facades
    // open them there (each facade's readings traced to its own meter: tst_several). On a shared
    // clock the meters of a cycle are asked together: a median skew within 5 ms and none past half
    // a poll (a loaded machine may delay one thread's wake-up now and then; the benchmark gives
    // the figures).
    void measuresEach() {
        const int poll = 100, count = 3;
        Meters meters(count);
        DriverSettings s = fastSettings(simPortEnumeration(meters.list), poll);
        s.pollClock = std::make_shared<PollClock>(poll);
        std::vector<std::unique_ptr<T9rev6>> all;
        all.push_back(std::make_unique<T9rev6>(s));
        T9rev6& main = *all[0];
        QTRY_COMPARE_WITH_TIMEOUT(main.devList().size(), count, 5000);
        QVERIFY(main.start(int(main.devList().indexOf(idOf(0)))));
        QCOMPARE(main.portOf(idOf(0)), meters[0].portName());
        QCOMPARE(main.portOf(QStringLiteral("M9, SN: 9")), QString());
        QStringList ports, ids;
        for (int k = 1; k < count; ++k) {
            ports << main.portOf(idOf(k));
            ids << idOf(k);
            QCOMPARE(ports.last(), meters[k].portName());
        }
        main.holdPorts(ports, ids);
        for (int k = 1; k < count; ++k) {
            all.push_back(std::make_unique<T9rev6>(withoutDiscovery(s)));
            QVERIFY(all.back()->startAt(ids[k - 1], ports[k - 1]));
        }
        std::vector<std::unique_ptr<QSignalSpy>> readings;
        for (const auto& f : all)
            readings.push_back(std::make_unique<QSignalSpy>(f.get(), &T9rev6::powerUpdated));
        const auto enough = [&](int n) {
            return std::all_of(readings.begin(), readings.end(),
                               [n](const auto& r) { return r->size() >= n; });
        };
        QTRY_VERIFY_WITH_TIMEOUT(enough(2), 5000);
        const auto from = Clock::now();  // every meter is asked at the poll from here on
        QTRY_VERIFY_WITH_TIMEOUT(enough(14), 10000);
        const auto to = Clock::now();

        std::vector<Times> times;
        for (int k = 0; k < count; ++k)
            times.push_back(powerRequests(meters[k], from, to));
        const Skews skews = cycleSkews(times, poll);
        QCOMPARE_GE(skews.ms.size(), size_t(8));
        const double worst = *std::max_element(skews.ms.begin(), skews.ms.end());
        qInfo("%d meters: %zu cycles, skew median %.2f ms, max %.2f ms", count, skews.ms.size(),
              median(skews.ms), worst);
        QCOMPARE(skews.incomplete, 0);
        QCOMPARE_LE(median(skews.ms), 5.0);
        QCOMPARE_LE(worst, poll / 2.0);
        QCOMPARE(s.pollClock->subscribers(), count);

        // Stopped twice over (stop() says both stop_pow and stoped): the clock runs on for the
        // others and stops with the last.
        for (const auto& f : all) {
            f->stop();
            f->stop();
            QCOMPARE(s.pollClock->isActive(), f != all.back());
        }
    }

    // A meter joining a running clock just after a tick meets the next one well within its first
    // answer's time; its first command still has a whole interval, as with a timer of its own.
    void joinsMidInterval() {
        const int poll = 250;
        Meters meters(2);
        meters[0].setReplyDelay(25);
        DriverSettings s = fastSettings(simPortEnumeration(meters.list), poll);
        s.pollClock = std::make_shared<PollClock>(poll);
        T9rev6 main(s);
        QTRY_COMPARE_WITH_TIMEOUT(main.devList().size(), 2, 5000);
        const QString port = main.portOf(idOf(1));
        QVERIFY(main.start(int(main.devList().indexOf(idOf(0)))));
        QSignalSpy mainReadings(&main, &T9rev6::powerUpdated);
        QVERIFY(mainReadings.wait(3000));
        QVERIFY(mainReadings.wait(3000));  // a poll's reading: the next tick is 225 ms away

        // The answer to the name comes 240 ms after the line opens, the rest at once.
        std::atomic<int> replies{0};
        meters[1].setDelayFunction([&replies] { return replies++ == 0 ? 240 : 0; });
        T9rev6 joining(withoutDiscovery(s));
        const int names = meters[1].commandCount("info.name");
        QSignalSpy lost(&joining, &T9rev6::replyLost);
        QSignalSpy readings(&joining, &T9rev6::powerUpdated);
        QVERIFY(joining.startAt(idOf(1), port));
        QTRY_VERIFY_WITH_TIMEOUT(readings.size() >= 4, 5000);
        QCOMPARE(lost.size(), 0);
        QCOMPARE(meters[1].commandCount("info.name"), names + 1);  // the check's, asked once
    }

    // Held ports are never probed, and their meters stay listed while the port is enumerated; a
    // probe under way on a port being held is stopped at once. A facade that does not discover
    // lists nothing and touches the port only while told to measure there: it gives up another
    // meter found there, and its port is not reported as refused by the main one's discovery.
    void heldPortsAndAFacadeThatNeverProbes() {
        Meters meters(2);
        meters[1].setReplyDelay(100);  // its probe is still on the line when the hold comes
        DriverSettings s = fastSettings(simPortEnumeration(meters.list));
        T9rev6 main(s);
        QSignalSpy lists(&main, &T9rev6::devListUpdated);
        QSignalSpy refused(&main, &T9rev6::portRefused);
        QTRY_VERIFY_WITH_TIMEOUT(meters[1].commandCount("info.name") >= 1, 5000);
        const QString port = meters[1].portName();
        main.holdPorts({port}, {idOf(1)});
        meters[1].setReplyDelay(0);  // measured at the poll, which is also the reply deadline
        T9rev6 other(withoutDiscovery(s));
        QSignalSpy otherLists(&other, &T9rev6::devListUpdated);
        QSignalSpy missing(&other, &T9rev6::deviceMissing);
        QSignalSpy readings(&other, &T9rev6::powerUpdated);
        // Passes of the main facade measure the time: the held meter is asked nothing meanwhile
        // (a probe stopped by the hold may still have sent its second question).
        const auto passesLeaveAlone = [&] {
            const auto askedHeld = [&] {
                return meters[1].commandCount("info.name") + meters[1].commandCount("info.power");
            };
            const int asked = askedHeld();
            const int otherNames = meters[0].commandCount("info.name");
            lists.clear();
            return QTest::qWaitFor([&] { return lists.size() >= 3; }, 5000) &&
                   askedHeld() == asked && meters[0].commandCount("info.name") > otherNames;
        };
        QVERIFY(passesLeaveAlone());
        QCOMPARE(QSet<QString>(main.devList().begin(), main.devList().end()),
                 QSet<QString>({idOf(0), idOf(1)}));
        QCOMPARE(main.portOf(idOf(1)), port);
        QVERIFY(!other.driverObject()->discoveryActive());

        QVERIFY(other.startAt(QStringLiteral("M1, SN: 2"), port));
        QVERIFY(missing.wait(3000));
        QCOMPARE(meters[1].commandCount("info.power"), 0);
        QVERIFY(passesLeaveAlone());

        QVERIFY(other.startAt(idOf(1), port));
        QVERIFY(readings.wait(3000));
        QCOMPARE(other.portName(), port);
        lists.clear();
        QTRY_VERIFY_WITH_TIMEOUT(lists.size() >= 2, 5000);
        QVERIFY(main.devList().contains(idOf(1)));
        QCOMPARE(refused.size(), 0);
        other.stop();
        QVERIFY(passesLeaveAlone());
        QCOMPARE(otherLists.size(), 0);

        // Unplugged, the held meter leaves the list with its port.
        meters[1].unplug();
        lists.clear();
        QTRY_VERIFY_WITH_TIMEOUT(lists.size() >= 2, 5000);
        QCOMPARE(main.devList(), QStringList{idOf(0)});
    }
};

QTEST_GUILESS_MAIN(TestSeveralMeters)
#include "tst_severalmeters.moc"
