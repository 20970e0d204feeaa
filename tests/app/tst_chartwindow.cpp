// The chart in the real window: zoom and pan with the mouse; a picture of it saved as PNG and
// copied to the clipboard, and a save that cannot be written reported. CMake runs it under Xvfb
// too, whose render loop shows the chart's drawing a frame or more later than the offscreen one.
#include <QCategoryAxis>
#include <QClipboard>
#include <QGuiApplication>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QtTest>

#include "../support/mainwindow.h"
#include "../support/tracelist.h"
#include "chartfeeder.h"
#include "chartimage.h"

namespace {

// Distinct colours of the rows from..to (a blank strip has one or two), and the pixels there of
// about the colour `like`.
std::pair<int, int> survey(const QImage& image, int from, int to, QColor like) {
    QSet<QRgb> seen;
    int near = 0;
    for (int y = std::max(0, from); y < std::min(image.height(), to); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            seen.insert(c.rgb());
            near += std::abs(c.red() - like.red()) + std::abs(c.green() - like.green()) +
                        std::abs(c.blue() - like.blue()) <
                    30;
        }
    return {int(seen.size()), near};
}

}  // namespace

class TestChartWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { startup::prepareQml(); }

    // Wheel around the pointer, a double click, a rectangle, a right or Shift drag; then a picture
    // of what the chart shows, a further meter's trace included, saved and copied.
    void mouseThenPicture() {
        QTest::failOnWarning(QRegularExpression(".*"));
        MainWindowRig rig;
        QQuickWindow* window = rig.load();
        QVERIFY(window);
        auto* viewer = window->findChild<QQuickItem*>("mainViewer");
        auto* plot = window->findChild<QQuickItem*>("plotMouse");
        auto* feeder = window->findChild<ChartFeeder*>();
        QVERIFY(viewer && plot && feeder);
        // A place on the plot, as fractions of its width and height.
        const auto at = [plot](double fx, double fy) {
            return plot->mapToScene(QPointF(fx * plot->width(), fy * plot->height())).toPoint();
        };
        const auto span = [feeder] { return feeder->viewXMax() - feeder->viewXMin(); };
        // Labels on whole seconds within exactly the view the pointer left.
        const auto roundLabels = [feeder, axis = qobject_cast<QCategoryAxis*>(feeder->axisX())] {
            bool round = axis->count() >= 2 && axis->min() == feeder->viewXMin();
            for (const QString& label : axis->categoriesLabels())
                round = round && std::fmod(axis->endValue(label), 1000.0) == 0;
            return round;
        };
        // A long recording (a reading a millisecond, so that the time labels keep their width
        // as the view changes): the copy drawn for the picture takes longer than a frame.
        std::deque<PowerData> records;
        for (int i = 0; i < 100000; ++i)
            records.push_back(PowerData(QDateTime::fromMSecsSinceEpoch(i),
                                        -40.0 + 5 * std::sin(i / 900.0) + (i * 7919 % 101) * 0.01,
                                        "дБм", 3e3, "кГц"));
        rig.meterdeck.powerModel()->replaceAll(records);
        // A further meter's trace, well below the chart's own curve.
        TraceList traces;
        const QColor traceColour("#ff8000");
        std::deque<PowerData> below;
        for (int i = 0; i < 100000; i += 100)
            below.push_back(PowerData(QDateTime::fromMSecsSinceEpoch(i),
                                      -60.0 + 3 * std::cos(i / 9000.0), "дБм", 3e3, "кГц"));
        qobject_cast<PowerDataModel*>(traces.add("Ортикс-Т9, SN: 0002", traceColour))
            ->replaceAll(below);
        QVERIFY(window->findChild<QQuickItem*>("chart")->setProperty(
            "traces", QVariant::fromValue<QObject*>(&traces)));
        QTRY_COMPARE(feeder->statsCount(), 100000);
        window->resize(1280, 720);  // the offscreen screen's window leaves a narrow plot
        QTRY_VERIFY(window->isExposed() && plot->width() > 300);
        const double whole = span(), atQuarter = feeder->valueAt(0.25, 0).x();
        QWheelEvent wheel(at(0.25, 0.5), window->mapToGlobal(at(0.25, 0.5)), {}, {0, 120},
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(window, &wheel);
        QTRY_VERIFY(feeder->zoomed() && feeder->statsCount() < 100000);
        // Within a pixel: the pointer is at a whole pixel, the axis at whole milliseconds.
        const double pixel = whole / plot->width();
        QVERIFY(std::abs(span() - whole * 0.8) < pixel);
        QVERIFY(std::abs(feeder->valueAt(0.25, 0).x() - atQuarter) < pixel);
        QTRY_VERIFY(roundLabels());

        QTest::mouseDClick(window, Qt::LeftButton, {}, at(0.5, 0.5));
        QTRY_VERIFY(!feeder->zoomed());

        const double from = feeder->valueAt(0.2, 0).x(), to = feeder->valueAt(0.6, 0).x();
        QTest::mousePress(window, Qt::LeftButton, {}, at(0.2, 0.5));
        QTest::mouseMove(window, at(0.4, 0.5));
        QTest::mouseRelease(window, Qt::LeftButton, {}, at(0.6, 0.5));
        QTRY_VERIFY(feeder->zoomed());
        QTRY_VERIFY(std::abs(feeder->viewXMin() - from) < pixel);
        QVERIFY(std::abs(feeder->viewXMax() - to) < pixel);
        QVERIFY(!feeder->fixedRange() && roundLabels());

        // Dragged a tenth of the plot to the right, the view shows what lay left of it.
        for (const auto& [button, modifiers] :
             {std::pair{Qt::RightButton, Qt::KeyboardModifiers()},
              std::pair{Qt::LeftButton, Qt::KeyboardModifiers(Qt::ShiftModifier)}}) {
            const double before = feeder->viewXMin(), shift = 0.1 * span();
            QTest::mousePress(window, button, modifiers, at(0.5, 0.5));
            QTest::mouseMove(window, at(0.6, 0.5));
            QTest::mouseRelease(window, button, modifiers, at(0.6, 0.5));
            QTRY_VERIFY(std::abs(feeder->viewXMin() - (before - shift)) < 0.02 * shift);
            QVERIFY(roundLabels());
        }
        const QColor curve =
            window->findChild<QObject*>("curve")->property("color").value<QColor>();
        // Taken from a window at rest: its chart drawn (the legend mark in the curve's colour;
        // the curve itself fades behind the number), no frame pending.
        QTRY_VERIFY(survey(window->grabWindow(), 0, INT_MAX, curve).second > 20);
        QTemporaryDir dir;
        const QUrl file = QUrl::fromLocalFile(dir.filePath("chart.png"));
        QSignalSpy saved(viewer, SIGNAL(imageSaved(bool, QString)));
        QMetaObject::invokeMethod(viewer, "saveImage", Q_ARG(QVariant, file));
        QVERIFY(saved.wait(10000));
        QCOMPARE(saved.first().first().toBool(), true);
        const QImage image(file.toLocalFile());
        QVERIFY2(image.width() >= 1600 && image.height() > 900, "the plot and its caption below");
        const auto [colours, curvePixels] = survey(image, 0, image.height(), curve);
        QVERIFY2(colours > 50, "a picture, not a blank");
        QVERIFY2(curvePixels > 1000, "the curve across the plot, not the legend mark alone");
        QVERIFY2(survey(image, 0, image.height(), traceColour).second > 1000, "the trace too");
        QVERIFY2(survey(image, image.height() / 2, image.height(), traceColour).second > 500,
                 "the trace below the chart's own curve, in the plot's lower half");
        // A caption goes below the plot, which stays as it was.
        const QImage captioned = ChartImage::captioned(image, "07.12.2026 12:00:00 · T9, SN: 1");
        QVERIFY(captioned.height() > image.height());
        QCOMPARE(captioned.copy(image.rect()).convertToFormat(image.format()), image);
        QVERIFY(survey(captioned, image.height(), INT_MAX, Qt::black).second > 50);
        // Nothing drawn (the window refused the grab), or a file that cannot be written: said
        // why, nothing written.
        ChartImage saver;
        QVERIFY(!saver.save(QVariant(), file) && !saver.errorText().isEmpty());
        QCOMPARE(QImage(file.toLocalFile()).size(), image.size());
        const QString missing = dir.filePath("missing/chart.png");
        QVERIFY(!saver.save(QVariant::fromValue(image), QUrl::fromLocalFile(missing)));
        QVERIFY2(saver.errorText().contains(missing), qPrintable(saver.errorText()));
        QVERIFY(!QFile::exists(missing));

        QSignalSpy copied(viewer, SIGNAL(imageCopied(bool)));
        QMetaObject::invokeMethod(viewer, "copyImage");
        QVERIFY(copied.wait(10000));
        QCOMPARE(QGuiApplication::clipboard()->image().size(), image.size());
    }
};

QTEST_MAIN(TestChartWindow)
#include "tst_chartwindow.moc"
