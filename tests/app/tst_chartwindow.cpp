// The chart in the real window: zoom and pan with the mouse; a picture of it saved as PNG and
// copied to the clipboard, and a save that cannot be written reported.
#include <QClipboard>
#include <QGuiApplication>
#include <QProcess>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include "../support/fakedevice.h"
#include "chartbuilder.h"
#include "chartfeeder.h"
#include "chartimage.h"
#include "meterdeck.h"
#include "startup.h"

namespace {

struct Window {
    FakeDevice device;
    Meterdeck meterdeck{std::vector<iDevice*>{&device}};
    ChartBuilder builder{meterdeck.powerModel()};
    QQmlApplicationEngine engine;
    QQuickWindow* window = nullptr;
    QQuickItem* viewer = nullptr;
    QQuickItem* plot = nullptr;
    ChartFeeder* feeder = nullptr;
    Window() {
        startup::publish(engine, &meterdeck, meterdeck.deviceModel(), meterdeck.powerModel(),
                         meterdeck.logsModel(), &builder);
        if (!startup::loadMainWindow(engine))
            return;
        window = qobject_cast<QQuickWindow*>(engine.rootObjects().first());
        viewer = window->findChild<QQuickItem*>("mainViewer");
        plot = window->findChild<QQuickItem*>("plotMouse");
        feeder = window->findChild<ChartFeeder*>();
        const qint64 t0 = QDateTime(QDate(2026, 3, 1), QTime(12, 0)).toMSecsSinceEpoch();
        for (int i = 0; i < 300; ++i)
            meterdeck.powerModel()->append(PowerData(QDateTime::fromMSecsSinceEpoch(t0 + i * 1000),
                                                     -40.0 + 5 * std::sin(i / 9.0), "дБм", 3e3,
                                                     "кГц"));
    }
    // A place on the plot, as fractions of its width and height.
    QPoint at(double fx, double fy) const {
        return plot->mapToScene(QPointF(fx * plot->width(), fy * plot->height())).toPoint();
    }
    double span() const { return feeder->viewXMax() - feeder->viewXMin(); }
};

// Pixels of about this colour.
int pixelsLike(const QImage& image, QColor color) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            n += std::abs(c.red() - color.red()) + std::abs(c.green() - color.green()) +
                     std::abs(c.blue() - color.blue()) <
                 30;
        }
    return n;
}

// Distinct colours of the rows from..to: a blank picture (or a blank strip) has one or two.
int colours(const QImage& image, int from, int to) {
    QSet<QRgb> seen;
    for (int y = std::max(0, from); y < std::min(image.height(), to); ++y)
        for (int x = 0; x < image.width(); ++x)
            seen.insert(image.pixel(x, y));
    return int(seen.size());
}

}  // namespace

class TestChartWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { startup::prepareQml(); }

    // Wheel around the pointer, a rectangle, a right or Shift drag, a double click.
    void mouseZoomsPansAndResets() {
        Window w;
        QVERIFY(w.plot && w.feeder);
        QTRY_COMPARE(w.feeder->statsCount(), 300);
        w.window->resize(1280, 720);  // the offscreen screen's window leaves a narrow plot
        QTRY_VERIFY(w.window->isExposed() && w.plot->width() > 300);
        const double whole = w.span(), atQuarter = w.feeder->valueAt(0.25, 0).x();
        QWheelEvent wheel(w.at(0.25, 0.5), w.window->mapToGlobal(w.at(0.25, 0.5)), {}, {0, 120},
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(w.window, &wheel);
        QTRY_VERIFY(w.feeder->zoomed() && w.feeder->statsCount() < 300);
        // Within a pixel: the pointer is at a whole pixel, the axis at whole milliseconds.
        const double pixel = whole / w.plot->width();
        QVERIFY(std::abs(w.span() - whole * 0.8) < pixel);
        QVERIFY(std::abs(w.feeder->valueAt(0.25, 0).x() - atQuarter) < pixel);

        QTest::mouseDClick(w.window, Qt::LeftButton, {}, w.at(0.5, 0.5));
        QTRY_VERIFY(!w.feeder->zoomed());
        QTRY_COMPARE(w.span(), whole);

        const double from = w.feeder->valueAt(0.2, 0).x(), to = w.feeder->valueAt(0.6, 0).x();
        QTest::mousePress(w.window, Qt::LeftButton, {}, w.at(0.2, 0.5));
        QTest::mouseMove(w.window, w.at(0.4, 0.5));
        QTest::mouseRelease(w.window, Qt::LeftButton, {}, w.at(0.6, 0.5));
        QTRY_VERIFY(w.feeder->zoomed());
        QTRY_VERIFY(std::abs(w.feeder->viewXMin() - from) < pixel);
        QVERIFY(std::abs(w.feeder->viewXMax() - to) < pixel);
        QVERIFY(!w.feeder->fixedRange());

        // Dragged a tenth of the plot to the right, the view shows what lay left of it.
        for (const auto& [button, modifiers] :
             {std::pair{Qt::RightButton, Qt::KeyboardModifiers()},
              std::pair{Qt::LeftButton, Qt::KeyboardModifiers(Qt::ShiftModifier)}}) {
            const double before = w.feeder->viewXMin(), shift = 0.1 * w.span();
            QTest::mousePress(w.window, button, modifiers, w.at(0.5, 0.5));
            QTest::mouseMove(w.window, w.at(0.6, 0.5));
            QTest::mouseRelease(w.window, button, modifiers, w.at(0.6, 0.5));
            QTRY_VERIFY(std::abs(w.feeder->viewXMin() - (before - shift)) < 0.02 * shift);
        }
    }

    void savedAndCopiedAtPictureSize() {
        QTest::failOnWarning(QRegularExpression(".*"));
        Window w;
        QVERIFY(w.viewer);
        // A long recording: the copy drawn for the picture takes longer than a frame.
        std::deque<PowerData> records;
        for (int i = 0; i < 100000; ++i)
            records.push_back(PowerData(QDateTime::fromMSecsSinceEpoch(i * 1000LL),
                                        -40.0 + 5 * std::sin(i / 900.0) + (i * 7919 % 101) * 0.01,
                                        "дБм", 3e3, "кГц"));
        w.meterdeck.powerModel()->replaceAll(records);
        QTRY_COMPARE(w.feeder->statsCount(), 100000);
        const QColor curve = w.window->findChild<QQuickItem*>("chart")
                                 ->property("series")
                                 .value<QObject*>()
                                 ->property("color")
                                 .value<QColor>();
        // Taken from a window at rest: its chart drawn (the legend mark in the curve's colour;
        // the curve itself fades behind the number), no frame pending.
        QTRY_VERIFY(pixelsLike(w.window->grabWindow(), curve) > 20);
        QTemporaryDir dir;
        const QUrl file = QUrl::fromLocalFile(dir.filePath("chart.png"));
        QSignalSpy saved(w.viewer, SIGNAL(imageSaved(bool, QString)));
        QMetaObject::invokeMethod(w.viewer, "saveImage", Q_ARG(QVariant, file));
        QVERIFY(saved.wait(10000));
        QCOMPARE(saved.first().first().toBool(), true);
        const QImage image(file.toLocalFile());
        QVERIFY(image.width() >= 1600 && image.height() >= 900);
        QVERIFY2(colours(image, 0, image.height()) > 50, "a picture, not a blank");
        // The curve across the plot, not the legend mark alone.
        QVERIFY(pixelsLike(image, curve) > 1000);
        // Legend above the plot, the statistics line under it: neither strip is blank.
        QVERIFY(colours(image, 0, 60) > 10);
        QVERIFY(colours(image, image.height() - 22, image.height()) > 10);

        QSignalSpy copied(w.viewer, SIGNAL(imageCopied(bool)));
        QMetaObject::invokeMethod(w.viewer, "copyImage");
        QVERIFY(copied.wait(10000));
        QCOMPARE(QGuiApplication::clipboard()->image().size(), image.size());
    }

    // The same under a real X server, whose render loop shows the chart's drawing a frame or
    // more later than the offscreen one (skipped without Xvfb).
    void savedUnderX() {
        const QString xvfb = QStandardPaths::findExecutable("Xvfb");
        if (xvfb.isEmpty() || qEnvironmentVariable("QT_QPA_PLATFORM") == "xcb")
            QSKIP("no Xvfb (Debian package xvfb), or running under X already");
        QProcess server;
        server.start(xvfb, {"-displayfd", "1", "-screen", "0", "1366x768x24", "-nolisten", "tcp"});
        QVERIFY2(server.waitForStarted(), "Xvfb does not start");
        QTRY_VERIFY_WITH_TIMEOUT(server.canReadLine() || server.state() != QProcess::Running,
                                 10000);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", ":" + QString::fromLatin1(server.readLine()).trimmed());
        env.insert("QT_QPA_PLATFORM", "xcb");
        QProcess run;
        run.setProcessEnvironment(env);
        run.setProcessChannelMode(QProcess::MergedChannels);
        run.start(QCoreApplication::applicationFilePath(), {"savedAndCopiedAtPictureSize"});
        const bool finished = run.waitForFinished(60000);
        const QString output = QString::fromUtf8(run.readAll());
        server.terminate();
        server.waitForFinished(5000);
        QVERIFY2(finished && run.exitStatus() == QProcess::NormalExit && run.exitCode() == 0,
                 qPrintable(output));
    }

    void unwritableFileIsReported() {
        ChartImage saver;
        QImage image(1600, 900, QImage::Format_RGB32);
        image.fill(Qt::white);
        QTemporaryDir dir;
        const QString path = dir.filePath("missing/chart.png");
        QVERIFY(!saver.save(QVariant::fromValue(image), QUrl::fromLocalFile(path)));
        QVERIFY2(saver.errorText().contains(path), qPrintable(saver.errorText()));
        QVERIFY(!QFile::exists(path));
        const QUrl file = QUrl::fromLocalFile(dir.filePath("chart.png"));
        QVERIFY(saver.save(QVariant::fromValue(image), file));
        QVERIFY(saver.errorText().isEmpty());
        QCOMPARE(QImage(file.toLocalFile()).size(), image.size());
        // No picture drawn (the window refused the grab): said so, the file left as it was.
        QVERIFY(!saver.save(QVariant(), file));
        QVERIFY(!saver.errorText().isEmpty());
        QCOMPARE(QImage(file.toLocalFile()).size(), image.size());
    }
};

QTEST_MAIN(TestChartWindow)
#include "tst_chartwindow.moc"
