// The main window on the screens a bench PC has, under a real X server: for every screen size a
// fresh Xvfb, and in it this program again (`--check W H`) loading the real window with the real
// controller, at the size it opens with, at its minimum size and at the size of the whole screen.
// Nothing may overlap, every control must be whole inside its panel, every text whole.
#include <QApplication>
#include <QFontMetricsF>
#include <QProcess>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QScreen>
#include <QStandardPaths>
#include <QTextStream>
#include <QtTest>
#include <memory>

#include "../support/fakedevice.h"
#include "chartbuilder.h"
#include "meterdeck.h"
#include "startup.h"

namespace {

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

// Rectangles that share more than half a pixel of area.
bool overlap(const QRectF& a, const QRectF& b) {
    const QRectF i = a.intersected(b);
    return i.width() > 0.5 && i.height() > 0.5;
}

bool contains(const QRectF& outer, const QRectF& inner) {
    return outer.adjusted(-0.5, -0.5, 0.5, 0.5).contains(inner);
}

QString str(const QRectF& r) {
    return QString("(%1,%2 %3×%4)").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

// The checks, run inside the X server; every fault is one line of `faults`.
class Check {
public:
    Check(QQuickWindow* window, QStringList& faults) : m_window(window), m_faults(faults) {}

    QQuickItem* item(const char* name) {
        QQuickItem* found = findItem(m_window->contentItem(), QString::fromLatin1(name));
        if (!found)
            fault(QString("no item %1").arg(name));
        return found;
    }

    void fault(const QString& text) { m_faults.append(m_where + ": " + text); }
    void at(const QString& where) { m_where = where; }

    void run() {
        const QRectF content = sceneRect(m_window->contentItem());
        // Panels: inside the window, never over one another.
        const char* panelNames[] = {"toolbarSettings", "mainViewer", "measurementSettings",
                                    "outLogs", "deviceSettings"};
        QList<QPair<QString, QRectF>> panels;
        for (const char* name : panelNames) {
            QQuickItem* panel = item(name);
            if (!panel)
                continue;
            const QRectF r = sceneRect(panel);
            if (!contains(content, r) || r.width() < 1 || r.height() < 1)
                fault(QString("%1 %2 not inside the window %3").arg(name, str(r), str(content)));
            for (const auto& other : panels)
                if (overlap(other.second, r))
                    fault(QString("%1 %2 overlaps %3 %4")
                              .arg(name, str(r), other.first, str(other.second)));
            panels.append({name, r});
        }

        // The chart's time axis labels lie within the chart, above the log.
        if (QQuickItem* chart = item("chart")) {
            const QRectF plot =
                chart->property("chartView").value<QObject*>()->property("plotArea").toRectF();
            if (plot.bottom() + 14 > chart->height())
                fault(QString("time axis labels cut off: plot ends at %1 of %2")
                          .arg(plot.bottom())
                          .arg(chart->height()));
        }

        // Controls: whole inside their panel (the settings column brought into view first),
        // none over another, texts whole.
        QQuickItem* column = item("measurementSettings");
        const struct {
            const char* name;
            const char* panel;
        } controls[] = {{"averSwitch", "measurementSettings"},
                        {"averCombo", "measurementSettings"},
                        {"offsetSwitch", "measurementSettings"},
                        {"offsetField", "measurementSettings"},
                        {"unitCombo", "measurementSettings"},
                        {"deviceComboBox", "deviceSettings"},
                        {"onOff", "deviceSettings"},
                        {"attOnOff", "deviceSettings"},
                        {"freqField", "deviceSettings"},
                        {"buttonOpenFile", "toolbarSettings"},
                        {"buttonSaveFile", "toolbarSettings"},
                        {"buttonRec", "toolbarSettings"},
                        {"buttonNumber", "toolbarSettings"},
                        {"buttonChart", "toolbarSettings"},
                        {"buttonAbout", "toolbarSettings"}};
        QList<std::tuple<QString, QString, QRectF>> placed;
        for (const auto& c : controls) {
            QQuickItem* control = item(c.name);
            QQuickItem* panel = item(c.panel);
            if (!control || !panel)
                continue;
            if (!control->isVisible())
                fault(QString("%1 not visible").arg(c.name));
            // Out of view in the column is fine only while the column hides it.
            if (panel == column && !contains(sceneRect(column), sceneRect(control)) &&
                !column->clip())
                fault(QString("%1 drawn outside the settings column").arg(c.name));
            if (panel == column)
                QMetaObject::invokeMethod(column, "ensureVisible",
                                          Q_ARG(QVariant, QVariant::fromValue(control)));
            const QRectF r = sceneRect(control);
            const QRectF p = sceneRect(panel);
            if (r.width() < 10 || r.height() < 10 || !contains(p, r))
                fault(QString("%1 %2 not whole inside %3 %4").arg(c.name, str(r), c.panel, str(p)));
            // Positions in the column count at its top, as they are laid out.
            const QRectF laid =
                panel == column
                    ? control->mapRectToItem(column->property("contentItem").value<QQuickItem*>(),
                                             QRectF(0, 0, control->width(), control->height()))
                    : r;
            for (const auto& [name, otherPanel, rect] : placed)
                if (otherPanel == c.panel && overlap(rect, laid))
                    fault(QString("%1 overlaps %2").arg(c.name, name));
            placed.append({c.name, c.panel, laid});
        }
        if (column)
            column->setProperty("contentY", 0);

        for (const char* name : {"averCombo", "unitCombo", "deviceComboBox"})
            if (QQuickItem* combo = item(name))
                wholeEntries(combo, name);
        if (QQuickItem* converter = item("attOnOff"))
            wholeText(converter->property("contentItem").value<QQuickItem*>(), "attOnOff");
        if (QQuickItem* digits = item("digits"))
            wholeText(digits, "digits");
        // The settings labels: the Fit labels in the groups.
        for (const char* group : {"averagingSettings", "levelSettings", "displaySettings"})
            if (QQuickItem* g = item(group))
                labelsIn(g, group);
    }

private:
    void wholeText(QQuickItem* text, const QString& what) {
        if (!text)
            return;
        if (text->property("truncated").toBool())
            fault(QString("%1: text \"%2\" cut").arg(what, text->property("text").toString()));
        // A wrapped text breaks between words: its longest word fits its width.
        if (text->property("wrapMode").toInt() != 0) {
            const QStringList words =
                text->property("text").toString().split(' ', Qt::SkipEmptyParts);
            const QFontMetricsF metrics(text->property("font").value<QFont>());
            const double room = text->width() - text->property("leftPadding").toDouble() -
                                text->property("rightPadding").toDouble();
            for (const QString& word : words)
                if (metrics.horizontalAdvance(word) > room + 0.5)
                    fault(QString("%1: \"%2\" broken inside a word").arg(what, word));
        }
        const int lines = text->property("lineCount").toInt();
        const int maxLines = text->property("maximumLineCount").toInt();
        if (lines > 1 && lines > maxLines)
            fault(QString("%1: %2 lines").arg(what).arg(lines));
    }

    // Every entry of the combo box, shown in turn, fits its box.
    void wholeEntries(QQuickItem* combo, const QString& what) {
        const int count = combo->property("count").toInt();
        const int current = combo->property("currentIndex").toInt();
        QQuickItem* text = combo->property("contentItem").value<QQuickItem*>();
        for (int i = 0; i < count; ++i) {
            combo->setProperty("currentIndex", i);
            QCoreApplication::processEvents();
            wholeText(text, what);
        }
        combo->setProperty("currentIndex", current);
    }

    void labelsIn(QQuickItem* node, const QString& what) {
        for (QQuickItem* c : node->childItems()) {
            if (QString(c->metaObject()->className()).startsWith("FitLabel"))
                wholeText(c, what);
            labelsIn(c, what);
        }
    }

    QQuickWindow* m_window;
    QStringList& m_faults;
    QString m_where;
};

bool waitLaidOut(QQuickWindow* window) {
    // Two frames after the last resize: layouts and text fitting settle within a pass or two.
    for (int i = 0; i < 3; ++i) {
        QSignalSpy swapped(window, &QQuickWindow::frameSwapped);
        window->requestUpdate();
        if (!swapped.wait(3000))
            return false;
    }
    return true;
}

// Inside the X server: loads the window, checks it at both sizes, prints the faults.
int checkScreen(int argc, char** argv, int width, int height) {
    QApplication app(argc, argv);
    startup::setIdentity(app);
    startup::prepareQml();
    QStringList faults;
    QTextStream out(stdout);
    const QSize screen = app.primaryScreen()->size();
    if (screen != QSize(width, height)) {
        out << "screen is " << screen.width() << "×" << screen.height() << "\n";
        return 2;
    }
    FakeDevice device;
    Meterdeck meterdeck{std::vector<iDevice*>{&device}};
    ChartBuilder builder{meterdeck.powerModel()};
    QQmlApplicationEngine engine;
    startup::publish(engine, &meterdeck, meterdeck.deviceModel(), meterdeck.powerModel(),
                     meterdeck.logsModel(), &builder);
    if (!startup::loadMainWindow(engine))
        return 3;
    auto* window = qobject_cast<QQuickWindow*>(engine.rootObjects().first());
    device.getDevList({QStringLiteral("T9-SIM, SN: 000042")});
    meterdeck.setIsStart(true);
    for (int i = 0; i < 20; ++i)
        device.getPwr(-10.0412 - (i % 7) * 0.013);
    meterdeck.setAver(3);
    if (!QTest::qWaitForWindowExposed(window))
        return 4;

    Check check(window, faults);
    const QRect available = app.primaryScreen()->availableGeometry();
    const struct {
        const char* name;
        QRect geometry;
    } sizes[] = {{"opening size", QRect(window->position(), window->size())},
                 {"minimum size", QRect(window->position(), window->minimumSize())},
                 // What maximising gives (this X server has no window manager to ask).
                 {"whole screen", available}};
    for (const auto& s : sizes) {
        window->setGeometry(s.geometry);
        QDeadlineTimer resized(5000);
        while (window->size() != s.geometry.size() && !resized.hasExpired())
            QTest::qWait(20);
        if (!waitLaidOut(window))
            faults.append(QString(s.name) + ": no frame drawn");
        check.at(QString("%1×%2 %3 (%4×%5)")
                     .arg(width)
                     .arg(height)
                     .arg(s.name)
                     .arg(window->width())
                     .arg(window->height()));
        check.run();
    }
    for (const QString& f : faults)
        out << f << "\n";
    return faults.isEmpty() ? 0 : 1;
}

}  // namespace

class TestLayout : public QObject {
    Q_OBJECT
private slots:
    void fitsEveryScreen_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::newRow("1280×720") << 1280 << 720;
        QTest::newRow("1366×768") << 1366 << 768;
        QTest::newRow("1280×800") << 1280 << 800;
        QTest::newRow("1280×1024") << 1280 << 1024;
        QTest::newRow("1920×1080") << 1920 << 1080;
    }

    void fitsEveryScreen() {
        QFETCH(int, width);
        QFETCH(int, height);
        const QString xvfb = QStandardPaths::findExecutable("Xvfb");
        if (xvfb.isEmpty())
            QSKIP("Xvfb is not installed (Debian package xvfb)");

        // The server picks a free display and writes its number to the pipe.
        QProcess server;
        server.setProcessChannelMode(QProcess::SeparateChannels);
        server.start(xvfb, {"-displayfd", "1", "-screen", "0",
                            QString("%1x%2x24").arg(width).arg(height), "-nolisten", "tcp"});
        QVERIFY2(server.waitForStarted(), "Xvfb does not start");
        QTRY_VERIFY_WITH_TIMEOUT(server.canReadLine() || server.state() != QProcess::Running,
                                 10000);
        const QString display = QString::fromLatin1(server.readLine()).trimmed();
        QVERIFY2(!display.isEmpty(), "Xvfb gave no display");

        QProcess check;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", ":" + display);
        env.insert("QT_QPA_PLATFORM", "xcb");
        check.setProcessEnvironment(env);
        check.setProcessChannelMode(QProcess::MergedChannels);
        check.start(QCoreApplication::applicationFilePath(),
                    {"--check", QString::number(width), QString::number(height)});
        const bool finished = check.waitForFinished(60000);
        const QString output = QString::fromUtf8(check.readAll());
        server.terminate();
        server.waitForFinished(5000);
        QVERIFY2(finished, "the window check did not finish");
        QVERIFY2(check.exitStatus() == QProcess::NormalExit && check.exitCode() == 0,
                 qPrintable(QString("exit %1:\n%2").arg(check.exitCode()).arg(output)));
    }
};

int main(int argc, char** argv) {
    if (argc == 4 && QByteArray(argv[1]) == "--check")
        return checkScreen(argc, argv, QByteArray(argv[2]).toInt(), QByteArray(argv[3]).toInt());
    QCoreApplication app(argc, argv);
    TestLayout test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_layout.moc"
