// The controller's main-thread time per reading cycle: offset, filter, unit conversion, append to
// the power model, the reading log line and the record-file write, with no views attached.
//
//   bench_control [readings]     (default 5000; runs with the durability flush use a tenth)
#include <QCoreApplication>
#include <QTemporaryDir>
#include <QUrl>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <vector>

#include "csvwriter.h"
#include "meterdeck.h"

#include "../../tests/support/fakedevice.h"

namespace {

struct Figures {
    double median;
    double p99;
};

Figures run(const QString& dir, bool fullModel, bool record, bool flush, int readings) {
    FakeDevice dev;
    CsvWriter writer;
    writer.setSyncEnabled(flush);
    Meterdeck md({&dev}, &writer);
    md.setOffset_dB(10.0);
    md.setOffsetEn(true);
    md.setAverEn(true);
    md.setAver(3);
    md.setUnit(1);
    md.setFreq(433920.0);
    md.setFileName(
        QUrl::fromLocalFile(dir + QStringLiteral("/bench_%1_%2.csv").arg(fullModel).arg(flush))
            .toString());
    md.setNeedWrite(record);

    // A full series and a full log stay full: each reading drops the oldest.
    if (fullModel)
        for (int i = 0; i < 1000; ++i)
            dev.getPwr(-40.0 + (i % 97) * 0.01);

    std::vector<double> us;
    us.reserve(std::size_t(readings));
    const int warmUp = readings / 20;
    for (int i = 0; i < warmUp + readings; ++i) {
        if (!fullModel)
            md.powerModel()->clear();
        const double reading = -45.0 + (i % 1013) * 0.0317;  // crosses prefix boundaries
        const auto t0 = std::chrono::steady_clock::now();
        dev.getPwr(reading);
        const auto t1 = std::chrono::steady_clock::now();
        if (i >= warmUp)
            us.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
    }
    if (fullModel && md.powerModel()->rowCount() != 1000)
        std::fprintf(stderr, "series not full\n");
    std::sort(us.begin(), us.end());
    return {us[us.size() / 2], us[std::min(us.size() - 1, us.size() * 99 / 100)]};
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int readings = argc > 1 ? std::max(100, std::atoi(argv[1])) : 5000;
    QTemporaryDir dir;
    std::printf("reading cycle, main thread, %d readings (%d with the flush)\n", readings,
                readings / 10);
    std::printf("%-16s %-26s %12s %12s\n", "power model", "recording", "median us", "p99 us");
    struct Case {
        bool full, record, flush;
        const char* what;
    };
    const Case cases[] = {
        {false, false, false, "off"},
        {true, false, false, "off"},
        {false, true, false, "on, no durability flush"},
        {true, true, false, "on, no durability flush"},
        {false, true, true, "on, with the flush"},
        {true, true, true, "on, with the flush"},
    };
    for (const Case& c : cases) {
        const Figures f =
            run(dir.path(), c.full, c.record, c.flush, c.flush ? readings / 10 : readings);
        std::printf("%-16s %-26s %12.2f %12.2f\n", c.full ? "full (1000)" : "empty", c.what,
                    f.median, f.p99);
    }
    return 0;
}
