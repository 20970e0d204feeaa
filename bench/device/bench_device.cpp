// Device layer figures over simulated meters on pseudo-terminals:
//  1. reply-to-signal latency: from the meter writing its reply's last byte to the facade's
//     powerUpdated() in the GUI thread (1000 readings, 10 ms poll interval);
//  2. duration of one discovery pass over 16 ports (4 meters, 4 silent, 8 that cannot be opened).
#include "rununtil.h"
#include "simmeter.h"
#include "t9rev6.h"
#include "t9rev6_driver.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <mutex>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    const size_t i = std::min(v.size() - 1, size_t(p / 100.0 * double(v.size() - 1) + 0.5));
    return v[i];
}

int toSeq(double dBm) {
    return int(std::lround((dBm + 199.0) * 1000.0));
}

int latency(int readings) {
    SimMeter meter;
    std::mutex mutex;
    std::vector<Clock::time_point> written(size_t(readings) + 16);
    int next = 0;
    // Each reading carries its own sequence number, so every signal finds its reply.
    // Kept inside the readings a meter can give (±200 dBm): -199.000, -198.999, ...
    meter.setReadingFunction([&](double, bool) { return -199.0 + 0.001 * next++; });
    meter.setReplyHook([&](const QByteArray&, const QByteArray& reply, Clock::time_point at) {
        const int seq = toSeq(reply.mid(6, reply.indexOf('}') - 6).toDouble());
        std::lock_guard<std::mutex> lock(mutex);
        if (seq >= 0 && size_t(seq) < written.size())
            written[size_t(seq)] = at;
    });

    DriverSettings s;
    s.portNames = simPortEnumeration({&meter});
    s.updateInterval = 300;
    s.probeTimeout = 200;
    // The poll is also the reply deadline: 10 ms leaves the meter's few-ms answers in time.
    s.powInterval = 10;
    s.procInterval = 1;
    T9rev6 facade(s);
    if (!runUntil([&] { return !facade.devList().isEmpty(); }, 5000) || !facade.start(0)) {
        std::fprintf(stderr, "latency: meter not found\n");
        return 1;
    }

    // Signal times by sequence number; matched with the write times once all are in, as the
    // meter's hook may run only after the reading already went through.
    std::vector<std::pair<int, Clock::time_point>> signalled;
    signalled.reserve(size_t(readings));
    QObject::connect(&facade, &T9rev6::powerUpdated, [&] {
        if (signalled.size() < size_t(readings))
            signalled.emplace_back(toSeq(facade.power()), Clock::now());
    });
    const auto t0 = Clock::now();
    runUntil([&] { return signalled.size() >= size_t(readings); }, 120000);
    const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
    facade.stop();
    if (signalled.size() < size_t(readings)) {
        std::fprintf(stderr, "latency: only %zu readings\n", signalled.size());
        return 1;
    }
    std::vector<double> us;
    {
        std::lock_guard<std::mutex> lock(mutex);
        for (const auto& [seq, at] : signalled) {
            if (seq < 0 || size_t(seq) >= written.size() ||
                written[size_t(seq)] == Clock::time_point{}) {
                std::fprintf(stderr, "latency: reading %d has no reply time\n", seq);
                return 1;
            }
            us.push_back(
                std::chrono::duration<double, std::micro>(at - written[size_t(seq)]).count());
        }
    }
    std::printf(
        "reply-to-signal over %d readings (%.1f s): min %.3f ms, median %.3f ms, p99 %.3f ms, max "
        "%.3f ms\n",
        readings, seconds, *std::min_element(us.begin(), us.end()) / 1000,
        percentile(us, 50) / 1000, percentile(us, 99) / 1000,
        *std::max_element(us.begin(), us.end()) / 1000);
    return 0;
}

int discovery(int passes) {
    std::vector<std::unique_ptr<SimMeter>> meters;
    QList<const SimMeter*> answering;
    QStringList others;
    for (int i = 0; i < 8; ++i) {
        meters.push_back(std::make_unique<SimMeter>());
        meters.back()->setIdentity("T9", QString("%1").arg(i, 4, 10, QChar('0')));
        if (i < 4)
            answering << meters.back().get();
        else {
            meters.back()->setSilent(true);
            others << meters.back()->portName();
        }
    }
    for (int i = 0; i < 8; ++i)
        others << QString("/dev/md-bench-absent-%1").arg(i);

    std::atomic<qint64> passStart{0};
    const auto inner = simPortEnumeration(answering, others);
    DriverSettings s;
    s.portNames = [&] {
        passStart = Clock::now().time_since_epoch().count();
        return inner();
    };
    // A silent line's probe keeps its port one time-out more after reporting; passes this far
    // apart find every port free, so each one covers all 16.
    s.updateInterval = 2500;
    T9Rev6_driver driver(s);

    std::vector<double> ms;
    int listed = 0;
    QObject::connect(&driver, &T9Rev6_driver::devListUpdated, [&](const QStringList& list) {
        const auto start = Clock::time_point(Clock::duration(passStart.load()));
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        listed = int(list.size());
    });
    runUntil([&] { return int(ms.size()) >= passes; }, passes * 3000 + 3000);
    if (int(ms.size()) < passes || listed != 4) {
        std::fprintf(stderr, "discovery: %zu passes, %d meters listed\n", ms.size(), listed);
        return 1;
    }
    std::printf(
        "discovery pass over 16 ports (4 meters, 4 silent, 8 unopenable), %d passes: "
        "median %.1f ms, max %.1f ms\n",
        passes, percentile(ms, 50), *std::max_element(ms.begin(), ms.end()));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // The probes' diagnostics would drown the figures.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    int rc = latency(1000);
    rc |= discovery(5);
    return rc;
}
