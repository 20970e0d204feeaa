// The main window on the screens a bench PC has (ctest runs it in a fresh Xvfb of each size), at
// the size it opens with, its minimum size and the whole screen: nothing may overlap, every control
// must be whole inside its panel, every text whole.
#include <QApplication>
#include <QCategoryAxis>
#include <QFontMetricsF>
#include <QQuickItem>
#include <QQuickWindow>
#include <QScreen>
#include <QValueAxis>
#include <QtTest>
#include <functional>

#include "../support/mainwindow.h"

namespace {

// The panels in the window ("": the window itself) and the controls each holds; the row of
// meters is checked while it is shown.
const std::pair<const char*, const char*> kPanels[] = {
    {"",
     "toolbarSettings mainViewer measurementSettings outLogs deviceSettings statusLine "
     "statusCounts"},
    {"mainViewer", "chartTools statsLine"},
    {"measurementSettings", "averSwitch averCombo offsetSwitch offsetField unitCombo"},
    {"deviceSettings", "deviceComboBox onOff deviceList"},
    {"deviceList", "attOnOff freqField"},
    {"toolbarSettings",
     "buttonOpenFile buttonSaveFile buttonRec buttonNumber buttonRelative buttonChart "
     "buttonAbout"},
    {"meterRow", "meterTileA meterTile0 differenceTile addMeter"}};

// By the visual tree: the list's delegates have no object parent.
QQuickItem* findItem(QQuickItem* node, const QString& name) {
    if (node->objectName() == name)
        return node;
    for (QQuickItem* c : node->childItems())
        if (QQuickItem* f = findItem(c, name))
            return f;
    return nullptr;
}

QRectF sceneRect(const QQuickItem* item) {
    return item->mapRectToScene(QRectF(0, 0, item->width(), item->height()));
}

QString str(const QRectF& r) {
    return QString("(%1,%2 %3×%4)").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

// The checks at the window's present size, each fault one line of `faults`: every control
// visible and whole inside its panel (half a pixel spare; in the settings column once scrolled
// into view, clipped while out of it), none over another by more than half a pixel; the time
// axis labels within the chart; every text whole.
void checkLayout(QQuickWindow* window, const QString& where, QStringList& faults) {
    const auto fault = [&](const QString& text) { faults.append(where + ": " + text); };
    const auto item = [&](const QString& name) {
        QQuickItem* found = findItem(window->contentItem(), name);
        if (!found)
            qFatal("%s: no item %s", qPrintable(where), qPrintable(name));
        return found;
    };
    // Not cut, and wrapped (if at all) between words: its longest word fits its width.
    const auto wholeText = [&](QQuickItem* text, const QString& what) {
        const QString shown = text->property("text").toString();
        if (text->property("truncated").toBool())
            fault(QString("%1: text \"%2\" cut").arg(what, shown));
        const QFontMetricsF metrics(text->property("font").value<QFont>());
        const double room = text->width() - text->property("leftPadding").toDouble() -
                            text->property("rightPadding").toDouble();
        for (const QString& word : shown.split(' ', Qt::SkipEmptyParts))
            if (text->property("wrapMode").toInt() != 0 &&
                metrics.horizontalAdvance(word) > room + 0.5)
                fault(QString("%1: \"%2\" broken inside a word").arg(what, word));
        const int lines = text->property("lineCount").toInt();
        if (lines > 1 && lines > text->property("maximumLineCount").toInt())
            fault(QString("%1: %2 lines").arg(what).arg(lines));
    };
    QQuickItem* column = item("measurementSettings");
    QQuickItem* columnContent = column->property("contentItem").value<QQuickItem*>();
    const auto inside = [](const QRectF& outer, const QRectF& inner) {
        return outer.adjusted(-0.5, -0.5, 0.5, 0.5).contains(inner);
    };
    const auto overlap = [](const QRectF& a, const QRectF& b) {
        const QRectF shared = a.intersected(b);
        return shared.width() > 0.5 && shared.height() > 0.5;
    };
    for (const auto& [panelName, names] : kPanels) {
        QQuickItem* panel = *panelName ? item(panelName) : window->contentItem();
        if (!panel->isVisible())  // each other panel is a control of another, checked there
            continue;
        const double least = QLatin1String(panelName) == "meterRow" ? 40 : 10;  // a tile's text
        QList<QPair<QString, QRectF>> placed;
        for (const QString& name : QString(names).split(' ')) {
            QQuickItem* control = item(name);
            if (!control->isVisible())
                fault(name + " not visible");
            if (panel == column) {
                if (!inside(sceneRect(column), sceneRect(control)) && !column->clip())
                    fault(name + " drawn outside the settings column");
                QMetaObject::invokeMethod(column, "ensureVisible",
                                          Q_ARG(QVariant, QVariant::fromValue(control)));
            }
            const QRectF r = sceneRect(control), p = sceneRect(panel);
            if (r.width() < least || r.height() < 10 || !inside(p, r))
                fault(QString("%1 %2 not whole inside %3 %4").arg(name, str(r), panelName, str(p)));
            // Positions in the column count at its top, as they are laid out.
            const QRectF laid = panel == column
                                    ? control->mapRectToItem(columnContent, control->boundingRect())
                                    : r;
            for (const auto& [other, rect] : placed)
                if (overlap(rect, laid))
                    fault(QString("%1 overlaps %2").arg(name, other));
            placed.append({name, laid});
        }
    }
    column->setProperty("contentY", 0);

    // The row of meters, while shown, clear of the chart and the settings.
    for (const char* name : {"mainViewer", "measurementSettings", "toolbarSettings"})
        if (item("meterRow")->isVisible() &&
            overlap(sceneRect(item("meterRow")), sceneRect(item(name))))
            fault(QString("meter row overlaps %1").arg(name));

    // The chart's time axis labels lie within the chart, above the log.
    QQuickItem* chart = item("chart");
    const QRectF plot =
        chart->property("chartView").value<QObject*>()->property("plotArea").toRectF();
    if (plot.bottom() + 14 > chart->height())
        fault(QString("time axis labels cut off: plot ends at %1 of %2")
                  .arg(plot.bottom())
                  .arg(chart->height()));
    // The chart's texts whole: the statistics line, the legend, the time labels.
    wholeText(item("statsLine"), "statsLine");
    QObject* view = chart->property("chartView").value<QObject*>();
    QObject* legend = view->property("legend").value<QObject*>();
    const QString series = chart->property("series").value<QObject*>()->property("name").toString();
    // (A recording's name may give way in its middle; the quantity and unit never.)
    if (!series.startsWith("Мощность, ") ||
        (series.contains(QChar(0x2026)) && series.indexOf(QChar(0x2026)) < 14) ||
        QFontMetricsF(legend->property("font").value<QFont>()).horizontalAdvance(series) + 40 >
            chart->width())
        fault(QString("legend \"%1\" cut").arg(series));
    // Value labels apart: where they do not fit, Qt Charts shows every one as "...".
    auto* axisY = qobject_cast<QValueAxis*>(chart->property("axisY").value<QObject*>());
    if (axisY &&
        (axisY->tickCount() - 1) * QFontMetricsF(axisY->labelsFont()).height() > plot.height())
        fault(QString("%1 value labels in a plot %2 high")
                  .arg(axisY->tickCount())
                  .arg(plot.height()));
    // Time labels, each where its tick is: none over its neighbour, none the same as another.
    auto* axisX = qobject_cast<QCategoryAxis*>(chart->property("axisX").value<QObject*>());
    const QFontMetricsF xMetrics(axisX->labelsFont());
    const double perMs = plot.width() / (axisX->max() - axisX->min());
    QStringList times = axisX->categoriesLabels();
    for (qsizetype i = 1; i < times.size(); ++i)
        if ((axisX->endValue(times[i]) - axisX->endValue(times[i - 1])) * perMs <
            (xMetrics.horizontalAdvance(times[i]) + xMetrics.horizontalAdvance(times[i - 1])) / 2)
            fault(QString("time labels %1 and %2 overlap").arg(times[i - 1], times[i]));
    for (QString& t : times)
        t = t.trimmed();
    if (times.removeDuplicates() > 0)
        fault("time labels repeat");
    // A tall window has larger small texts and chart tools.
    if (window->height() >= 1000 &&
        (item("statusLine")->property("font").value<QFont>().pixelSize() < 16 ||
         item("pauseButton")->width() < 34))
        fault("the status line or the chart tools too small");
    // A floating placeholder stays above the text it names.
    QQuickItem* freq = item("freqField");
    QQuickItem* label = findItem(freq, "floatingLabel");
    const double textTop =
        freq->property("topPadding").toDouble() +
        (freq->height() - freq->property("topPadding").toDouble() -
         freq->property("bottomPadding").toDouble() - freq->property("contentHeight").toDouble()) /
            2;
    if (label->y() + label->height() > textTop + 0.5)
        fault(QString("the frequency's label reaches %1 into its text at %2")
                  .arg(label->y() + label->height())
                  .arg(textTop));
    // Texts: every entry of the combo boxes shown in turn, the converter's label, the
    // read-out, the labels of the settings groups.
    for (const char* name : {"averCombo", "unitCombo", "deviceComboBox"}) {
        QQuickItem* combo = item(name);
        const int current = combo->property("currentIndex").toInt();
        for (int i = 0; i < combo->property("count").toInt(); ++i) {
            combo->setProperty("currentIndex", i);
            QCoreApplication::processEvents();
            wholeText(combo->property("contentItem").value<QQuickItem*>(), name);
        }
        combo->setProperty("currentIndex", current);
    }
    wholeText(item("attOnOff")->property("contentItem").value<QQuickItem*>(), "attOnOff");
    wholeText(item("digits"), "digits");
    // A recording into the default (long) file name with failed writes: the counts stay whole.
    wholeText(item("statusCounts"), "statusCounts");
    if (!item("statusCounts")->property("text").toString().contains("сбоев записи: 1"))
        fault("the failed writes not shown");
    wholeText(item("unit"), "unit");
    // The status text gives way only where the line is full.
    if (item("statusLine")->property("truncated").toBool() &&
        sceneRect(item("statusCounts")).right() < window->width() - 12)
        fault("the status text elided with room to spare");
    for (const char* group : {"averagingSettings", "levelSettings", "displaySettings"})
        for (QQuickItem* label : item(group)->findChildren<QQuickItem*>())
            if (QString(label->metaObject()->className()).startsWith("FitLabel"))
                wholeText(label, group);
}

}  // namespace

class TestLayout : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        startup::setIdentity(*qApp);
        startup::prepareQml();
    }

    // The window at the size it opens with, at its minimum size and at the size of the whole
    // screen (what maximising gives; the X server here has no window manager).
    void windowFits() {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("needs an X server of the screen's size: ctest runs it under xvfb-run");
        const QSize screen = QGuiApplication::primaryScreen()->size();
        MainWindowRig rig;
        QQuickWindow* window = rig.load();
        QVERIFY(window);
        // Two meters measured: the second beside the first, with a read-out of its own.
        QList<FakeDevice*> further;
        rig.meterdeck.setFurtherDevices([&further] {
            auto device = std::make_unique<FakeDevice>();
            further.append(device.get());
            return std::unique_ptr<QObject>(std::move(device));
        });
        rig.device.getDevList(
            {QStringLiteral("T9-SIM, SN: 000042"), QStringLiteral("T9-SIM, SN: 000043")});
        rig.device.ports = {{QStringLiteral("T9-SIM, SN: 000043"), QStringLiteral("pB")}};
        rig.meterdeck.setIsStart(true);
        QVERIFY(rig.meterdeck.addMeter(1));
        for (int i = 0; i < 20; ++i) {
            rig.device.getPwr(-10.0412 - (i % 7) * 0.013);
            further[0]->getPwr(-25.0412 - (i % 5) * 0.011);
        }
        rig.meterdeck.setAver(3);
        rig.meterdeck.setNeedWrite(true);
        rig.writer.result = false;
        rig.device.getPwr(-10.0);
        QVERIFY(QTest::qWaitForWindowExposed(window));

        QStringList faults;
        const std::pair<const char*, QRect> sizes[] = {
            {"opening size", QRect(window->position(), window->size())},
            {"minimum size", QRect(window->position(), window->minimumSize())},
            {"whole screen", QGuiApplication::primaryScreen()->availableGeometry()}};
        // Recording with failed writes and Δ on; then the meter lost and awaited; then an empty
        // chart after a disconnection.
        const std::pair<const char*, std::function<void()>> states[] = {
            {"recording, Δ on", [&] { rig.meterdeck.setRelative(true); }},
            {"meter lost", [&] { rig.device.deviceState(); }},
            {"empty chart", [&] {
                 rig.meterdeck.setIsStart(false);
                 rig.meterdeck.powerModel()->clear();
             }}};
        for (const auto& [state, enter] : states) {
            enter();
            for (const auto& [name, geometry] : sizes) {
                window->setGeometry(geometry);
                if (!QTest::qWaitFor([&] { return window->size() == geometry.size(); }, 5000))
                    faults.append(QString(name) + ": the window kept its size");
                // Frames after the resize: layouts and text fitting settle within a pass or two.
                for (int i = 0; i < 3; ++i) {
                    QSignalSpy swapped(window, &QQuickWindow::frameSwapped);
                    window->requestUpdate();
                    if (!swapped.wait(10000))
                        faults.append(QString(name) + ": no frame drawn");
                }
                const QString where =
                    QString::asprintf("%d×%d %s, %s (%d×%d)", screen.width(), screen.height(),
                                      state, name, window->width(), window->height());
                // MD_LAYOUT_SHOTS=folder keeps a picture of each state and size to look at.
                if (const QString shots = qEnvironmentVariable("MD_LAYOUT_SHOTS"); !shots.isEmpty())
                    window->grabWindow().save(QString("%1/%2 %3.png").arg(shots, state, name));
                checkLayout(window, where, faults);
            }
        }
        for (const QString& f : faults)
            qWarning().noquote() << f;
        QVERIFY2(faults.isEmpty(), "the faults above");
    }
};

QTEST_MAIN(TestLayout)
#include "tst_layout.moc"
