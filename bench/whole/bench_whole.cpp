// Whole-program figures from the demo build (program + simulated meter), offscreen:
//  1. time from process start to the main window's first frame (the splash does not delay it),
//     beside its goal, with an empty cache folder, and the compiled-QML cache files left in it;
//  2. CPU time over 60 s at one reading per second with the chart full (1000 records);
//  3. resident memory at start and along 10 000 readings at a shortened poll.
// Usage: bench_whole [seconds for 2, default 60] [readings for 3, default 10000]
#include <unistd.h>
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "../../tests/support/resident.h"

namespace {

// Start-up goal: process start to the first frame, median.
constexpr double startGoalMs = 150;

// Caches go to a folder of the benchmark's, empty at first: a start as on a fresh machine, and
// what the program leaves there can be counted.
QTemporaryDir& cacheHome() {
    static QTemporaryDir dir;
    return dir;
}

// Compiled-QML cache files under the benchmark's cache folder.
int qmlCacheFiles() {
    int n = 0;
    for (QDirIterator it(cacheHome().path(), {"*.qmlc", "*.jsc"}, QDir::Files,
                         QDirIterator::Subdirectories);
         it.hasNext(); it.next())
        ++n;
    return n;
}

struct Demo {
    QProcess proc;
    QByteArray pending;
    int readings = 0;
    bool shown = false, connected = false;

    void start(const QStringList& args) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_CACHE_HOME"), cacheHome().path());
        // The QML cache as the program sets it, whatever the shell has.
        for (const char* name : {"QML_DISABLE_DISK_CACHE", "QML_DISK_CACHE", "QML_DISK_CACHE_PATH",
                                 "QML_FORCE_DISK_CACHE"})
            env.remove(QString::fromLatin1(name));
        proc.setProcessEnvironment(env);
        proc.setStandardErrorFile(QProcess::nullDevice());
        proc.start(QStringLiteral(MD_DEMO_PATH), args);
        proc.waitForStarted(10000);
    }
    // Reads what the demo printed so far; false once it ended.
    bool pump(int waitMs) {
        proc.waitForReadyRead(waitMs);
        pending += proc.readAllStandardOutput();
        int nl;
        while ((nl = pending.indexOf('\n')) >= 0) {
            const QByteArray line = pending.left(nl);
            pending.remove(0, nl + 1);
            if (line == "window shown")
                shown = true;
            if (line.contains("прошло успешно"))
                connected = true;
            if (line.contains(" Мощность = "))
                ++readings;
        }
        return proc.state() == QProcess::Running;
    }
    ~Demo() {
        proc.kill();
        proc.waitForFinished(5000);
    }
    // utime + stime in seconds, and resident KiB, from /proc.
    double cpuSeconds() const {
        QFile f(QStringLiteral("/proc/%1/stat").arg(proc.processId()));
        if (!f.open(QIODevice::ReadOnly))
            return 0;
        const QByteArray s = f.readAll();
        const QList<QByteArray> fields = s.mid(s.lastIndexOf(')') + 2).split(' ');
        return (fields[11].toDouble() + fields[12].toDouble()) / double(sysconf(_SC_CLK_TCK));
    }
    long residentKiB() const { return procStatusKiB("VmRSS", proc.processId()); }
    // Time on a CPU so far, all threads, in ms (nanoseconds from the scheduler): unlike the
    // start's wall time, hardly moved by other work on the machine.
    double taskCpuMs() const {
        const QString tasks = QStringLiteral("/proc/%1/task").arg(proc.processId());
        double ns = 0;
        for (const QString& task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QFile f(tasks + '/' + task + QStringLiteral("/schedstat"));
            if (f.open(QIODevice::ReadOnly))
                ns += f.readAll().split(' ').value(0).toDouble();
        }
        return ns / 1e6;
    }
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const int cpuSeconds = argc > 1 ? atoi(argv[1]) : 60;
    const int rssReadings = argc > 2 ? atoi(argv[2]) : 10000;

    // 1. Start-up.
    std::vector<double> startMs, startCpuMs;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer t;
        t.start();
        Demo d;
        d.start({});
        while (!d.shown && d.pump(50) && t.elapsed() < 30000) {
        }
        startMs.push_back(t.nsecsElapsed() / 1e6);
        startCpuMs.push_back(d.taskCpuMs());
    }
    std::sort(startMs.begin(), startMs.end());
    std::sort(startCpuMs.begin(), startCpuMs.end());
    std::printf(
        "start to main window shown: median %.0f ms (min %.0f, max %.0f, 5 runs); goal <= %.0f ms:"
        " %s; QML cache files written: %d\n",
        startMs[2], startMs.front(), startMs.back(), startGoalMs,
        startMs[2] <= startGoalMs ? "met" : "MISSED", qmlCacheFiles());
    std::printf("CPU time of the program to its first frame: median %.0f ms (min %.0f, max %.0f)\n",
                startCpuMs[2], startCpuMs.front(), startCpuMs.back());

    // 2. CPU at one reading per second, chart full.
    {
        Demo d;
        d.start({"--connect", "--prefill", "1000", "--no-splash", "--print-log"});
        QElapsedTimer t;
        t.start();
        while (!d.connected && d.pump(100) && t.elapsed() < 60000) {
        }
        if (!d.connected)
            std::printf("the demo did not connect\n");
        while (d.readings < 1000 && d.pump(100) && t.elapsed() < 120000) {
        }                                           // the prefill
        const qint64 settled = t.elapsed() + 3000;  // and whatever it left to do
        while (d.pump(100) && t.elapsed() < settled) {
        }
        const int r0 = d.readings;
        const double c0 = d.cpuSeconds();
        QElapsedTimer w;
        w.start();
        while (d.pump(200) && w.elapsed() < cpuSeconds * 1000) {
        }
        const double c1 = d.cpuSeconds();
        const double secs = w.nsecsElapsed() / 1e9;
        std::printf(
            "CPU over %.0f s at 1 reading/s with the chart full: %.2f s = %.2f%% of one core"
            " (%d readings, resident %ld KiB)\n",
            secs, c1 - c0, 100.0 * (c1 - c0) / secs, d.readings - r0, d.residentKiB());
    }

    // 3. Resident memory along many readings at a shortened poll.
    {
        Demo d;
        d.start({"--connect", "--poll", "2", "--pump", "1", "--no-splash", "--print-log"});
        QElapsedTimer t;
        t.start();
        while (!d.connected && d.pump(100) && t.elapsed() < 60000) {
        }
        if (!d.connected)
            std::printf("the demo did not connect\n");
        std::printf("resident at connection: %ld KiB\n", d.residentKiB());
        int next = 1000;
        while (d.pump(100) && d.readings < rssReadings && t.elapsed() < 1800000) {
            if (d.readings >= next) {
                std::printf("resident after %5d readings: %ld KiB (%.0f s)\n", d.readings,
                            d.residentKiB(), t.elapsed() / 1000.0);
                std::fflush(stdout);
                next += next < 2000 ? 1000 : 2000;
            }
        }
        std::printf("resident after %5d readings: %ld KiB (%.0f s)\n", d.readings, d.residentKiB(),
                    t.elapsed() / 1000.0);
    }
    return 0;
}
