// Record-file figures for this machine: writer cost per line, reader throughput and peak memory,
// and the chart builder's load of a recording into the power model.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>
#include <QUrl>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "chartbuilder.h"
#include "csvparser.h"
#include "csvwriter.h"
#include "powerdatamodel.h"

#if defined(Q_OS_UNIX)
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

// Peak resident set since the last reset, in MiB (Linux); -1 where unknown.
double peakRssMiB() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return -1;
}

void resetPeakRss() {
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

// Readings in dBm, or in watts around a prefix boundary, the unit text changing every line.
QString makeFile(const QString& dir, int lines, bool watts = false) {
    const QString path = dir + QStringLiteral("/rec_%1%2.csv").arg(lines).arg(watts ? "w" : "");
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    QDateTime t(QDate(2026, 3, 28),
                QTime(12, 0, 0));  // crosses a daylight-saving change in many zones
    QByteArray buf;
    for (int i = 0; i < lines; ++i) {
        PowerData d(t.addSecs(i), -40.0 + (i % 1000) * 0.01234, QStringLiteral("дБм"), 433920.0,
                    QStringLiteral("кГц"));
        if (watts)
            d = PowerData(d.time(), i % 2 ? 999.77 : 1.00069,
                          i % 2 ? QStringLiteral("мкВт") : QStringLiteral("мВт"), 433920.0,
                          QStringLiteral("кГц"));
        buf += CsvWriter::formatLine(d).toUtf8();
        if (buf.size() > (1 << 20)) {
            f.write(buf);
            buf.clear();
        }
    }
    f.write(buf);
    return path;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    qputenv("QT_LOGGING_RULES", "*.debug=false");
    QTemporaryDir dir(QDir::currentPath() + QStringLiteral("/bench_files_XXXXXX"));

    // Writer: a line per call, by name, as while recording; beside it the floor, one append
    // write() of the same bytes to a file already open (no look-up, no formatting).
    {
        CsvWriter writer;
        const QString path = dir.path() + QStringLiteral("/write.csv");
        for (bool sync : {true, false}) {
            writer.setSyncEnabled(sync);
            std::vector<double> us;
            for (int i = 0; i < 300; ++i) {
                PowerData d(QDateTime::currentDateTime(), -12.3456, QStringLiteral("дБм"), 1e6,
                            QStringLiteral("кГц"));
                QElapsedTimer t;
                t.start();
                writer.write(path, d);
                us.push_back(t.nsecsElapsed() / 1000.0);
            }
            std::printf("CsvWriter::write %s: median %.1f us per line (300 lines)\n",
                        sync ? "with durability flush" : "without flush", median(us));
        }
#if defined(Q_OS_UNIX)
        const QByteArray line =
            CsvWriter::formatLine(PowerData(QDateTime::currentDateTime(), -12.3456,
                                            QStringLiteral("дБм"), 1e6, QStringLiteral("кГц")))
                .toUtf8();
        const QByteArray floorPath = QFile::encodeName(dir.path() + QStringLiteral("/floor.csv"));
        const int fd =
            ::open(floorPath.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        std::vector<double> us;
        for (int i = 0; fd >= 0 && i < 300; ++i) {
            QElapsedTimer t;
            t.start();
            const ssize_t n = ::write(fd, line.constData(), size_t(line.size()));
            us.push_back(t.nsecsElapsed() / 1000.0);
            if (n != line.size())
                break;
        }
        if (fd >= 0)
            ::close(fd);
        if (us.size() == 300)
            std::printf("  floor, one append write() of a line to an open file: median %.1f us\n",
                        median(us));
#endif
    }

    // Reader throughput.
    for (auto [lines, watts] : {std::pair(100000, false), {1000000, false}, {1000000, true}}) {
        const QString path = makeFile(dir.path(), lines, watts);
        const double mb = QFileInfo(path).size() / 1e6;
        CsvParser parser;
        std::vector<double> secs;
        double peak = 0;
        for (int run = 0; run < 3; ++run) {
            parser.parse(QString());  // release the previous result before measuring again
            resetPeakRss();
            QElapsedTimer t;
            t.start();
            parser.parse(path);
            secs.push_back(t.nsecsElapsed() / 1e9);
            peak = std::max(peak, peakRssMiB());
        }
        const double s = median(secs);
        std::printf(
            "CsvParser::parse %d lines%s (%.1f MB): median %.3f s, %.2f M lines/s, %.1f MB/s,"
            " peak RSS %.0f MiB, records %lld\n",
            lines, watts ? " in мВт/мкВт by turns" : "", mb, s, lines / s / 1e6, mb / s, peak,
            qlonglong(parser.getData().size()));
    }

    // The general-purpose conversion the reader avoids, for comparison.
    {
        const QString fmt = QStringLiteral("dd.MM.yyyy HH::mm::ss");
        const QString text = QStringLiteral("28.03.2026 12::34::56");
        QElapsedTimer t;
        t.start();
        qint64 sum = 0;
        for (int i = 0; i < 20000; ++i)
            sum += QDateTime::fromString(text, fmt).toSecsSinceEpoch();
        std::printf("QDateTime::fromString with the record pattern: %.2f us per call (%lld)\n",
                    t.nsecsElapsed() / 1e3 / 20000, sum % 7);
    }

    // Chart builder: read 100 000 lines and put them into the power model.
    {
        const QString path = makeFile(dir.path(), 100000);
        PowerDataModel model;
        ChartBuilder builder(&model);
        QElapsedTimer t;
        t.start();
        builder.setFilePath(QUrl::fromLocalFile(path).toString());
        // Over a megabyte: read in the builder's thread, taken into the model by an event.
        while (builder.loading())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        std::printf("ChartBuilder load of 100000 lines into the model: %.1f ms, rows %d\n",
                    t.nsecsElapsed() / 1e6, model.rowCount());
    }
    return 0;
}
