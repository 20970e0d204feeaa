// Several meters measured at once over simulated meters on pseudo-terminals, at the product's
// poll (1000 ms): one main facade with discovery and N-1 further facades opened where it listed
// their meters, all on one shared poll clock.
//  1. for N = 1, 2, 4, 8: the largest and median skew between the meters' requests of one
//     cycle, the process's CPU over the run (the simulated meters' threads included), and its
//     resident memory at the run's start and end;
//  2. four meters, one unplugged half-way: the largest lateness of the others' polls.
// MD_BENCH_SECONDS sets each run's length (default 20 s).
#include "../../tests/support/pollcycles.h"
#include "pollclock.h"
#include "rununtil.h"
#include "simmeter.h"
#include "t9rev6.h"

#include <QCoreApplication>
#include <QFile>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

using namespace pollcycles;

namespace {

constexpr int kPollMs = 1000;
constexpr double kSkewGoalMs = 20;
constexpr double kLatenessGoalMs = 50;

QString idOf(int k) {
    return QStringLiteral("B%1, SN: %2").arg(k).arg(k);
}

// The longest time between two requests in a row; 0 with fewer than two.
inline double longestGap(const Times& t) {
    double longest = 0;
    for (size_t i = 1; i < t.size(); ++i)
        longest = std::max(longest, ms(t[i] - t[i - 1]));
    return longest;
}

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

long residentKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

struct Bench {
    std::vector<std::unique_ptr<SimMeter>> sims;
    std::shared_ptr<PollClock> clock = std::make_shared<PollClock>(kPollMs);
    std::unique_ptr<T9rev6> main;
    std::vector<std::unique_ptr<T9rev6>> further;
    std::vector<int> readings;

    // False when a meter was not listed or not opened.
    bool open(int n) {
        QList<const SimMeter*> list;
        for (int k = 0; k < n; ++k) {
            sims.push_back(std::make_unique<SimMeter>());
            sims.back()->setIdentity(QStringLiteral("B%1").arg(k), QString::number(k));
            sims.back()->setReading(-10.0 - k);
            list << sims.back().get();
        }
        DriverSettings s;
        s.portNames = simPortEnumeration(list);
        s.pollClock = clock;
        main = std::make_unique<T9rev6>(s);
        if (!runUntil([&] { return main->devList().size() == n; }, 10000))
            return false;
        QStringList ports, ids;
        for (int k = 1; k < n; ++k) {
            ports << main->portOf(idOf(k));
            ids << idOf(k);
        }
        main->holdPorts(ports, ids);
        if (!main->start(int(main->devList().indexOf(idOf(0)))))
            return false;
        s.discover = false;
        for (int k = 1; k < n; ++k) {
            further.push_back(std::make_unique<T9rev6>(s));
            if (!further.back()->startAt(ids[k - 1], ports[k - 1]))
                return false;
        }
        readings.assign(size_t(n), 0);
        for (int k = 0; k < n; ++k) {
            T9rev6* f = facade(k);
            QObject::connect(f, &T9rev6::powerUpdated, f, [this, k] { ++readings[size_t(k)]; });
        }
        return runUntil(
            [&] {
                return std::all_of(readings.begin(), readings.end(), [](int r) { return r > 0; });
            },
            5000);
    }
    T9rev6* facade(int k) { return k == 0 ? main.get() : further[size_t(k - 1)].get(); }
};

int skewRun(int n, int seconds) {
    Bench bench;
    if (!bench.open(n)) {
        std::fprintf(stderr, "%d meters: not all listed and opened\n", n);
        return 1;
    }
    const long rssStart = residentKiB();
    const double cpu0 = cpuSeconds();
    const auto from = Clock::now();
    runUntil([] { return false; }, seconds * 1000);
    const auto to = Clock::now();
    const double cpu = (cpuSeconds() - cpu0) / ms(to - from) * 1000 * 100;
    const long rssEnd = residentKiB();

    std::vector<Times> times;
    for (const auto& sim : bench.sims)
        times.push_back(powerRequests(*sim, from, to));
    const Skews skews = cycleSkews(times, kPollMs);
    const double worst = skews.ms.empty() ? 0 : *std::max_element(skews.ms.begin(), skews.ms.end());
    std::printf(
        "N=%d: %zu cycles (%d incomplete), skew max %.2f ms, median %.2f ms (goal <= %.0f ms: "
        "%s); CPU %.2f %%; resident %ld KiB at start, %ld KiB at end\n",
        n, skews.ms.size(), skews.incomplete, worst, median(skews.ms), kSkewGoalMs,
        worst <= kSkewGoalMs && skews.incomplete == 0 ? "met" : "MISSED", cpu, rssStart, rssEnd);
    return worst <= kSkewGoalMs ? 0 : 1;
}

int unplugRun(int seconds) {
    const int n = 4;
    Bench bench;
    if (!bench.open(n)) {
        std::fprintf(stderr, "unplug: not all listed and opened\n");
        return 1;
    }
    bool missing = false;
    QObject::connect(bench.facade(n - 1), &T9rev6::deviceMissing, [&] { missing = true; });
    const auto from = Clock::now();
    runUntil([] { return false; }, seconds * 500);
    bench.sims.back()->unplug();
    runUntil([] { return false; }, seconds * 500);
    const auto to = Clock::now();
    double late = 0;
    for (int k = 0; k + 1 < n; ++k)
        late =
            std::max(late, longestGap(powerRequests(*bench.sims[size_t(k)], from, to)) - kPollMs);
    std::printf(
        "4 meters, one unplugged half-way (%s): largest lateness of the others' polls %.2f ms "
        "(goal <= %.0f ms: %s)\n",
        missing ? "reported missing" : "NOT reported missing", late, kLatenessGoalMs,
        late <= kLatenessGoalMs ? "met" : "MISSED");
    return late <= kLatenessGoalMs && missing ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // The probes' diagnostics would drown the figures.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    const int seconds = std::max(2, qEnvironmentVariableIntValue("MD_BENCH_SECONDS") > 0
                                        ? qEnvironmentVariableIntValue("MD_BENCH_SECONDS")
                                        : 20);
    std::printf("poll %d ms, %d s per run\n", kPollMs, seconds);
    std::fflush(stdout);
    int rc = 0;
    for (const int n : {1, 2, 4, 8}) {
        rc |= skewRun(n, seconds);
        std::fflush(stdout);
    }
    rc |= unplugRun(seconds);
    return rc;
}
