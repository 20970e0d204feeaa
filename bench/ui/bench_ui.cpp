// GUI-thread cost of one live reading with the chart, and of opening a large recording.
// Run offscreen: QT_QPA_PLATFORM=offscreen ./bench_ui [--quick] [--only
// chart|log|window|open|zoom|big1m|big3m|big5m]
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <QQuickView>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <limits>
#include <vector>

#include "chartfeeder.h"
#include "csvwriter.h"

#include "../../tests/support/mainwindow.h"
#include "../../tests/support/resident.h"

namespace {

struct Stats {
    double median, mean, max;
};

Stats stats(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    double sum = 0;
    for (double x : v)
        sum += x;
    return {v[v.size() / 2], sum / double(v.size()), v.back()};
}

double ms(const QElapsedTimer& t) {
    return double(t.nsecsElapsed()) / 1e6;
}

// Renders one frame synchronously (polish, sync, render) on this thread.
void frame(QQuickWindow* w) {
    (void)w->grabWindow();
}

// What the event loop does after a reading: queued calls and the deletion of objects released
// with deleteLater() (view delegates), which processEvents() alone leaves pending.
void settle() {
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// The floor for a reading's drawing: 1000 points like the live chart's, as one 1 px line on an
// image the size of the plot, the same raster engine, nothing else.
double bareLineMs(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    QPolygonF line;
    for (int i = 0; i < 1000; ++i)
        line << QPointF(i * width / 1000.0, height * (0.1 + 0.8 * (i % 29) / 28.0));
    std::vector<double> runs;
    for (int run = 0; run < 40; ++run) {
        image.fill(Qt::black);
        QPainter p(&image);
        p.setPen(QPen(QColor(0x80, 0xcb, 0xc4), 1));
        QElapsedTimer t;
        t.start();
        p.drawPolyline(line);
        p.end();
        runs.push_back(ms(t));
    }
    return stats(runs).median;
}

// One live reading through the controller at a full series (1000 records), then a frame.
void liveReadings(const char* label, QQuickWindow* window, FakeDevice& device, int runs) {
    for (int i = 0; i < 1000; ++i) {
        device.getPwr(-40.0 - (i % 37) * 0.1);
        if (i % 50 == 0)
            settle();
    }
    settle();
    frame(window);
    std::vector<double> logic, total;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        device.getPwr(-40.0 - (i % 29) * 0.2);
        settle();
        logic.push_back(ms(t));
        frame(window);
        total.push_back(ms(t));
    }
    // Parts of it: the chart's own hand-over, and the controller without any view.
    if (auto* feeder = window->findChild<ChartFeeder*>()) {
        std::vector<double> feed;
        for (int i = 0; i < runs; ++i) {
            QElapsedTimer t;
            t.start();
            feeder->refresh();
            feed.push_back(ms(t));
        }
        std::printf("%-34s feeder replace() of 1000 points %6.2f ms median\n", label,
                    stats(feed).median);
    }
    const Stats l = stats(logic), a = stats(total);
    std::sort(total.begin(), total.end());
    std::printf(
        "%-34s reading %7.2f ms median (%6.2f mean)   reading+frame %7.2f ms median "
        "(%6.2f mean, 90th percentile %6.2f, max %6.2f)\n",
        label, l.median, l.mean, a.median, a.mean, total[total.size() * 9 / 10], a.max);
    const QSize size = window->size();
    std::printf(
        "%-34s goal reading+frame <= 4 ms; limit: the bare 1000-point 1 px line on a %dx%d "
        "image %.2f ms\n",
        label, size.width(), size.height(), bareLineMs(size.width(), size.height()));
}

QString writeRecording(const QTemporaryDir& dir, int lines) {
    const QString path = dir.filePath(QStringLiteral("rec%1.csv").arg(lines));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    const QDateTime t0 = QDateTime::currentDateTime().addSecs(-lines);
    QByteArray all;
    for (int i = 0; i < lines; ++i)
        all += CsvWriter::formatLine(
                   PowerData(t0.addSecs(i), -50.0 + (i % 101) * 0.1, "дБм", 3000.0, "кГц"))
                   .toLocal8Bit();
    f.write(all);
    return path;
}

void openRecording(const char* label, QQuickWindow* window, ChartBuilder& builder,
                   const QString& path) {
    builder.setFilePath(QString());
    frame(window);
    QElapsedTimer t;
    t.start();
    builder.setFilePath(QUrl::fromLocalFile(path).toString());
    QCoreApplication::processEvents();  // the chart takes the new series here
    const double load = ms(t);
    frame(window);
    std::printf("%-34s load+feed %8.1f ms   load+feed+frame %8.1f ms\n", label, load, ms(t));
}

// A big recording written piece by piece (so that writing it does not count in the memory
// figures), one reading a second from 1 January 2026, midnight.
QString writeBigRecording(const QTemporaryDir& dir, int lines) {
    const QString path = dir.filePath(QStringLiteral("big%1.csv").arg(lines));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    QByteArray piece;
    char line[96];
    for (int i = 0; i < lines; ++i) {
        const QDate d = QDate(2026, 1, 1).addDays(i / 86400);
        const int s = i % 86400;
        const int n = std::snprintf(
            line, sizeof line, "%02d.%02d.%04d %02d::%02d::%02d;3000;кГц;%.4f;дБм\n", d.day(),
            d.month(), d.year(), s / 3600, s / 60 % 60, s % 60, -50.0 + (i % 101) * 0.1);
        piece.append(line, n);
        if (piece.size() > (1 << 20)) {
            f.write(piece);
            piece.clear();
        }
    }
    f.write(piece);
    return path;
}

// The floor for opening a file: reading its bytes from the page cache in 1 MiB pieces.
double pageCacheReadMs(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return qQNaN();
    QByteArray piece(1 << 20, Qt::Uninitialized);
    f.read(piece.data(), piece.size());  // warm: the file was just written
    f.seek(0);
    QElapsedTimer t;
    t.start();
    qint64 sum = 0;
    while (const qint64 n = f.read(piece.data(), piece.size()))
        sum += n > 0 ? piece.at(0) : (n < 0 ? 1 : 0);
    const double took = ms(t);
    return sum == std::numeric_limits<qint64>::min() ? 0 : took;
}

// Resident and peak resident memory of this process, MB (Linux).
std::pair<double, double> residentMb() {
    return {procStatusKiB("VmRSS") / 1024.0, procStatusKiB("VmHWM") / 1024.0};
}

// From choosing a big file to the drawn chart, with the window's event loop running: how long,
// and the longest the GUI thread was kept from its events (a 5 ms timer's longest late tick).
void openBigRecording(const char* label, QQuickWindow* window, ChartBuilder& builder,
                      PowerDataModel& model, const QString& path, int lines) {
    builder.setFilePath(QString());
    frame(window);
    QElapsedTimer sinceTick;
    double longest = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        longest = std::max(longest, ms(sinceTick) - 5.0);
        sinceTick.start();
    });
    QElapsedTimer t;
    t.start();
    sinceTick.start();
    ticker.start();
    QElapsedTimer call;
    call.start();
    builder.setFilePath(QUrl::fromLocalFile(path).toString());
    longest = std::max(longest, ms(call));
    double longestPass = 0;
    bool longestWhileLoading = false;
    while (builder.loading() || model.rowCount() != lines) {
        const bool wasLoading = builder.loading();
        QElapsedTimer pass;
        pass.start();
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        if (ms(pass) > longestPass) {
            longestPass = ms(pass);
            longestWhileLoading = wasLoading && builder.loading();
        }
    }
    const bool detail = qEnvironmentVariableIsSet("MD_BENCH_DETAIL");
    if (detail)
        std::printf("longest pass %.1f ms (%s)\n", longestPass,
                    longestWhileLoading ? "while reading" : "taking the file");
    // The chart takes the new series in the next pass, then one frame draws it.
    QCoreApplication::processEvents();
    QElapsedTimer drawing;
    drawing.start();
    frame(window);
    const double frameMs = ms(drawing);
    longest = std::max(longest, frameMs);
    const double total = ms(t);
    ticker.stop();
    if (detail) {
        std::printf("frame %.1f ms\n", frameMs);
        auto* feeder = window->findChild<ChartFeeder*>();
        QElapsedTimer r;
        r.start();
        const QList<QPointF> all = feeder->collect();
        const double collectMs = ms(r);
        r.restart();
        const QList<QPointF> fewer = ChartFeeder::reduce(all, feeder->pixelColumns());
        const double reduceMs = ms(r);
        r.restart();
        feeder->refresh();
        std::printf("collect %.1f ms, reduce %.1f ms (%lld points), refresh %.1f ms\n", collectMs,
                    reduceMs, qint64(fewer.size()), ms(r));
    }
    const auto [rss, hwm] = residentMb();
    std::printf(
        "%-26s chosen to drawn %7.0f ms   longest GUI-thread block %5.1f ms (goal <= 16)   "
        "resident %5.0f MB (peak %5.0f MB)\n",
        label, total, longest, rss, hwm);
    std::printf("%-26s limit: the file's bytes read from the page cache %.0f ms\n", label,
                pageCacheReadMs(path));
}

// Zoom, pan and resize with a big recording shown: each from the call to the drawn frame (the
// refresh, the chart's own drawing and one frame).
void viewBigRecording(const char* label, QQuickWindow* window) {
    auto* feeder = window->findChild<ChartFeeder*>();
    const bool detail = qEnvironmentVariableIsSet("MD_BENCH_DETAIL");
    const auto step = [&](const std::function<void()>& change) {
        QElapsedTimer t;
        t.start();
        change();
        const double called = ms(t);
        settle();
        const double refreshed = ms(t);
        settle();
        const double drawn = ms(t);
        frame(window);
        if (detail)
            std::printf(
                "  step: call %.1f, refresh %.1f, chart drawing %.1f, frame %.1f ms, %d "
                "points\n",
                called, refreshed - called, drawn - refreshed, ms(t) - drawn, feeder->pointCount());
        return ms(t);
    };
    std::vector<double> zoom, pan, resize;
    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < 10; ++i)
            zoom.push_back(step([&] { feeder->zoom(0.5, feeder->valueAt(0.4, 0).x()); }));
        for (int i = 0; i < 10; ++i)
            pan.push_back(step([&] { feeder->pan(i < 5 ? -0.2 : 0.2, 0); }));
        for (int i = 0; i < 10; ++i)
            zoom.push_back(step([&] { feeder->zoom(2, feeder->valueAt(0.4, 0).x()); }));
        zoom.push_back(step([&] { feeder->resetView(); }));
        for (int i = 0; i < 6; ++i)
            resize.push_back(step([&] { window->resize(960 + (i % 2 ? 0 : 200), 700); }));
    }
    const Stats z = stats(zoom), p = stats(pan), r = stats(resize);
    std::printf(
        "%-26s zoom %5.1f ms median (max %5.1f)   pan %5.1f (max %5.1f)   resize %5.1f "
        "(max %5.1f); goal <= 16 ms each\n",
        label, z.median, z.max, p.median, p.max, r.median, r.max);
}

// Zoom steps on an opened recording: each from the call to the drawn frame (the refresh that
// thins the visible range, the axes, the series and one frame).
void zoomRecording(QQuickWindow* window, ChartBuilder& builder, const QString& path) {
    openRecording("100 000 lines, opened", window, builder, path);
    auto* feeder = window->findChild<ChartFeeder*>();
    // A file this size is read in a thread: the chart takes it a few passes later.
    while (builder.loading() || feeder->statsCount() < 100000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    frame(window);
    const bool detail = qEnvironmentVariableIsSet("MD_BENCH_DETAIL");
    const auto step = [&](const std::function<void()>& change) {
        QElapsedTimer t;
        t.start();
        change();
        // The feeder's refresh, then the chart's own drawing of its scene, a pass later.
        settle();
        settle();
        const double logic = ms(t);
        frame(window);
        if (detail)
            std::printf("  step: refresh and drawing %.1f ms, frame %.1f ms, %d points\n", logic,
                        ms(t) - logic, feeder->pointCount());
        return ms(t);
    };
    std::vector<double> wheel, rect;
    for (int round = 0; round < 3; ++round) {
        // Wheel steps in from the whole series down to a few minutes, and out again.
        for (int i = 0; i < 25; ++i)
            wheel.push_back(step([&] { feeder->zoom(0.8, feeder->valueAt(0.4, 0).x()); }));
        for (int i = 0; i < 25; ++i)
            wheel.push_back(step([&] { feeder->zoom(1.25, feeder->valueAt(0.4, 0).x()); }));
        // A rectangle of a tenth of the series, then back to the whole.
        rect.push_back(step([&] {
            feeder->zoomTo(feeder->valueAt(0.45, 0).x(), feeder->valueAt(0.55, 0).x(), 0, 0);
        }));
        rect.push_back(step([&] { feeder->resetView(); }));
    }
    const Stats a = stats(wheel), b = stats(rect);
    std::sort(wheel.begin(), wheel.end());
    std::printf(
        "%-34s wheel step %6.1f ms median (%6.1f 90th percentile, %6.1f max, %zu steps)   "
        "rectangle/reset %6.1f ms median (%6.1f max); goal < 100 ms\n",
        "zoom, 100 000 lines", a.median, wheel[wheel.size() * 9 / 10], a.max, wheel.size(),
        b.median, b.max);
}

using Scene = MainWindowRig;

// A document alone on the scene's objects, 1000 x 600 px.
std::unique_ptr<QQuickView> chartView(Scene& s, const QUrl& url) {
    auto view = std::make_unique<QQuickView>(&s.engine, nullptr);
    view->setResizeMode(QQuickView::SizeRootObjectToView);
    view->resize(1000, 600);
    view->setSource(url);
    if (!view->rootObject())
        qFatal("cannot load %s", qPrintable(url.toString()));
    view->show();
    return view;
}

// The real main window on the scene's objects, 960 x 700 px.
QQuickWindow* mainWindow(Scene& scene) {
    QQuickWindow* window = scene.load();
    if (!window)
        qFatal("cannot load the main window");
    window->resize(960, 700);
    return window;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    startup::prepareQml();
    QTemporaryDir dir;
    const int runs = qEnvironmentVariableIntValue("MD_BENCH_RUNS") > 0
                         ? qEnvironmentVariableIntValue("MD_BENCH_RUNS")
                         : 40;
    // The mapper runs take minutes; --quick leaves them out.
    const bool withMapper = !app.arguments().contains(QStringLiteral("--quick"));
    // --only chart|log|window|open|zoom|big1m|big3m|big5m runs one part (the big ones only when
    // named).
    const int onlyAt = int(app.arguments().indexOf(QStringLiteral("--only")));
    const QString only = onlyAt > 0 ? app.arguments().value(onlyAt + 1) : QString();
    const auto part = [&only](const char* name) {
        if (QByteArray(name).startsWith("big"))
            return only == QLatin1String(name);
        return only.isEmpty() || only == QLatin1String(name);
    };

    if (part("chart")) {
        FakeDevice device;
        Meterdeck meterdeck{std::vector<iDevice*>{&device}};
        for (int i = 0; i < 1000; ++i)
            device.getPwr(-40.0);
        std::vector<double> bare;
        for (int i = 0; i < runs; ++i) {
            QElapsedTimer t;
            t.start();
            device.getPwr(-41.0 - i % 3);
            bare.push_back(ms(t));
        }
        std::printf("Controller alone, no view: %.3f ms median per reading\n\n",
                    stats(bare).median);

        std::printf("Chart alone, 1000 x 600 px, %d readings at 1000 records\n", runs);
        {
            Scene s;
            auto view = chartView(s, QUrl(QStringLiteral("qrc:/BaseChart_1LineDate.qml")));
            liveReadings("chart feeder (replace once)", view.get(), s.device, runs);
        }
        if (withMapper) {
            Scene s;
            auto view =
                chartView(s, QUrl::fromLocalFile(QStringLiteral(BENCH_DIR "/MapperChart.qml")));
            liveReadings("model mapper (point by point)", view.get(), s.device, runs);
        }
    }

    if (part("log")) {
        std::printf("\nEvent log alone, 700 x 180 px, %d readings at 1000 lines\n", runs);
        Scene s;
        auto view = chartView(s, QUrl(QStringLiteral("qrc:/OutLogs.qml")));
        view->resize(700, 180);
        liveReadings("event log view", view.get(), s.device, runs);
    }

    if (part("big1m") || part("big3m") || part("big5m")) {
        // One size per run (--only big1m / big3m / big5m), so the peak memory is that size's
        // alone.
        const int lines = only == QLatin1String("big5m")   ? 5000000
                          : only == QLatin1String("big3m") ? 3000000
                                                           : 1000000;
        const QString path = writeBigRecording(dir, lines);
        Scene whole;
        QQuickWindow* window = mainWindow(whole);
        frame(window);
        const auto [rss, hwm] = residentMb();
        std::printf(
            "\nOpening a big recording in the main window (960 x 700 px); before: resident "
            "%.0f MB (peak %.0f MB)\n",
            rss, hwm);
        const QByteArray label = QByteArray::number(lines) + " lines";
        openBigRecording(label, window, whole.builder, *whole.meterdeck.powerModel(), path, lines);
        viewBigRecording(label, window);
    }

    if (part("zoom")) {
        Scene whole;
        QQuickWindow* window = mainWindow(whole);
        std::printf("\nZooming a recording in the main window (960 x 700 px)\n");
        zoomRecording(window, whole.builder, writeRecording(dir, 100000));
    }

    if (part("window") || part("open")) {
        Scene whole;
        QQuickWindow* window = mainWindow(whole);
        if (part("window")) {
            std::printf(
                "\nWhole main window (960 x 700 px), chart feeder, %d readings at 1000 "
                "records\n",
                runs);
            liveReadings("main window", window, whole.device, runs);
        }
        if (part("open")) {
            std::printf("\nOpening a recording into the main window\n");
            openRecording("100 000 lines, chart feeder", window, whole.builder,
                          writeRecording(dir, 100000));
            if (withMapper) {
                Scene s;
                auto view =
                    chartView(s, QUrl::fromLocalFile(QStringLiteral(BENCH_DIR "/MapperChart.qml")));
                openRecording("2 000 lines, model mapper", view.get(), s.builder,
                              writeRecording(dir, 2000));
            }
        }
    }
    return 0;
}
