// GUI-thread time of one poll cycle with several meters measured, in the real main window with
// the chart full: every meter's reading (the main one and each further one), then the frame.
// Run offscreen: QT_QPA_PLATFORM=offscreen ./bench_meters_ui [meter counts, default 1 2 4 8]
// Wall time (median, 90th percentile) and the GUI thread's CPU time per cycle, which other work
// on the machine hardly moves. MD_BENCH_RUNS sets the cycles per count (default 200).
#include <time.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QQuickWindow>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "../../tests/support/mainwindow.h"
#include "../../tests/support/resident.h"

namespace {

constexpr double kGoalMs = 15;  // eight meters

double ms(const QElapsedTimer& t) {
    return double(t.nsecsElapsed()) / 1e6;
}

// The event loop's share of a reading: queued calls and deferred deletions (view delegates).
void settle() {
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// This thread's CPU time, ms: beside the wall time, little moved by other work on the machine.
double threadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

double at(std::vector<double> v, double fraction) {
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(double(v.size()) * fraction))];
}

struct Figures {
    double median, p90, max, readingsMedian, cpuMedian;
    int rows;  // the smallest model's records when measuring
};

Figures measure(int meters, int runs) {
    MainWindowRig rig;
    std::vector<FakeDevice*> further;
    rig.meterdeck.setFurtherDevices([&further] {
        auto device = std::make_unique<FakeDevice>();
        further.push_back(device.get());
        return std::unique_ptr<QObject>(std::move(device));
    });
    QQuickWindow* window = rig.load();
    if (!window)
        qFatal("cannot load the main window");
    window->resize(960, 700);

    QStringList ids;
    for (int k = 0; k < meters; ++k)
        ids << QStringLiteral("T9-SIM, SN: %1").arg(42 + k, 6, 10, QLatin1Char('0'));
    for (int k = 1; k < meters; ++k)
        rig.device.ports.insert(ids[k], QStringLiteral("p%1").arg(k));
    rig.device.getDevList(ids);
    rig.meterdeck.setIsStart(true);
    for (int row = 1; row < meters; ++row)
        if (!rig.meterdeck.addMeter(row))
            qFatal("meter %d was not added", row);

    // Levels 15 dB apart per meter, a little ripple so that the axes keep moving.
    const auto cycle = [&](int i) {
        rig.device.getPwr(-10.0 - (i % 29) * 0.05);
        for (size_t k = 0; k < further.size(); ++k)
            further[k]->getPwr(-25.0 - 15.0 * double(k) - (i % 23) * 0.05);
    };
    for (int i = 0; i < 1000; ++i) {
        cycle(i);
        if (i % 50 == 0)
            settle();
    }
    settle();
    (void)window->grabWindow();

    int rows = rig.meterdeck.powerModel()->rowCount();
    for (int k = 0; k < rig.meterdeck.traces()->count(); ++k)
        rows = std::min(rows, rig.meterdeck.traces()->at(k)->model()->rowCount());

    std::vector<double> readings, total, cpu;
    for (int i = 0; i < runs; ++i) {
        const double cpu0 = threadCpuMs();
        QElapsedTimer t;
        t.start();
        cycle(1000 + i);
        settle();
        readings.push_back(ms(t));
        (void)window->grabWindow();
        total.push_back(ms(t));
        cpu.push_back(threadCpuMs() - cpu0);
    }
    return {at(total, 0.5), at(total, 0.9), at(total, 1.0), at(readings, 0.5), at(cpu, 0.5), rows};
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    startup::prepareQml();
    const int runs = qEnvironmentVariableIntValue("MD_BENCH_RUNS") > 0
                         ? qEnvironmentVariableIntValue("MD_BENCH_RUNS")
                         : 200;
    std::vector<int> counts;
    for (int i = 1; i < argc; ++i)
        counts.push_back(std::clamp(atoi(argv[i]), 1, 8));
    if (counts.empty())
        counts = {1, 2, 4, 8};

    std::printf("Main window 960 x 700 px, %d poll cycles per count, 1000 records per meter\n",
                runs);
    double floor = -1;
    for (int meters : counts) {
        const Figures f = measure(meters, runs);
        if (meters == 1)
            floor = f.median;
        std::printf(
            "%d meter%s: cycle (readings + frame) %6.2f ms median, 90th percentile %6.2f, max "
            "%6.2f; readings alone %6.2f ms median; GUI-thread CPU %6.2f ms median; %d+ records "
            "each; resident %ld KiB\n",
            meters, meters == 1 ? " " : "s", f.median, f.p90, f.max, f.readingsMedian, f.cpuMedian,
            f.rows, procStatusKiB("VmRSS"));
        if (meters == 8)
            std::printf("8 meters: goal cycle <= %.0f ms (median): %s%s\n", kGoalMs,
                        f.median <= kGoalMs ? "met" : "MISSED",
                        floor >= 0 ? qPrintable(QString::asprintf(
                                         "; floor, one meter in the same run: %.2f ms", floor))
                                   : "");
    }
    return 0;
}
