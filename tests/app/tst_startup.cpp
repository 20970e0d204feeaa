// Start-up with the real controller (on a scripted device), the real models and chart builder.
#include <QApplication>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSplashScreen>
#include <QTemporaryDir>
#include <QXYSeries>
#include <QtTest>

#include "../support/fakedevice.h"
#include "chartbuilder.h"
#include "chartfeeder.h"
#include "csvwriter.h"
#include "meterdeck.h"
#include "startup.h"

namespace {

// The real objects as start-up makes them, on a fake meter family.
struct Logic {
    FakeDevice device;
    Meterdeck meterdeck{std::vector<iDevice*>{&device}};
    ChartBuilder builder{meterdeck.powerModel()};

    void publish(QQmlApplicationEngine& engine) {
        startup::publish(engine, &meterdeck, meterdeck.deviceModel(), meterdeck.powerModel(),
                         meterdeck.logsModel(), &builder);
    }
};

// Also finds what views create (their delegates have no QObject parent in the tree).
QObject* find(QObject* node, const QString& name) {
    if (node->objectName() == name)
        return node;
    for (QObject* c : node->children())
        if (QObject* f = find(c, name))
            return f;
    if (auto* item = qobject_cast<QQuickItem*>(node))
        for (QQuickItem* c : item->childItems())
            if (QObject* f = find(c, name))
                return f;
    if (auto* window = qobject_cast<QQuickWindow*>(node))
        if (QObject* f = find(window->contentItem(), name))
            return f;
    return nullptr;
}

QObject* child(QObject* root, const char* name) {
    QObject* found = find(root, QString::fromLatin1(name));
    if (!found)
        qFatal("no child %s", name);
    return found;
}

QUrl writeDocument(QTemporaryDir& dir, const char* name, const QByteArray& text) {
    QFile f(dir.filePath(QString::fromLatin1(name)));
    if (!f.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", name);
    f.write(text);
    return QUrl::fromLocalFile(f.fileName());
}

}  // namespace

class TestStartup : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        startup::setIdentity(*qApp);
        startup::prepareQml();
    }
    void identity();
    void splashStaysOnTopAndClosesItself();
    void contextPropertiesExistBeforeTheDocument();
    void mainWindowLoadsAndFollowsTheController();
    void openedRecordingReplacesTheCurve();
    void brokenDocumentGivesMinusOne();
};

void TestStartup::identity() {
    QCOMPARE(QCoreApplication::organizationName(), QString("Tarvent"));
    QCOMPARE(QCoreApplication::applicationName(), QString("Ортикс-Т9"));
    QVERIFY(!QCoreApplication::organizationDomain().isEmpty());
    QVERIFY(!QApplication::windowIcon().isNull());
    // Qt's own dialogs and buttons speak the program's language.
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Save"), QString("Сохранить"));
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString("Отмена"));
}

void TestStartup::splashStaysOnTopAndClosesItself() {
    const auto splash = startup::showSplash(50);
    QVERIFY(splash->isVisible());
    QVERIFY(splash->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QCOMPARE(splash->pixmap().size(), QSize(640, 360));
    QTRY_VERIFY_WITH_TIMEOUT(!splash->isVisible(), 2000);
}

void TestStartup::contextPropertiesExistBeforeTheDocument() {
    QTemporaryDir dir;
    const QUrl url = writeDocument(dir, "probe.qml", R"(
import QtQuick
import QtQuick.Window
Window {
    // Read during the very first evaluation of the document.
    property var seen: [meterdeck, deviceModel, powerModel, logsModel, chartBuilder]
})");
    Logic logic;
    QQmlApplicationEngine engine;
    logic.publish(engine);
    QVERIFY(startup::loadMainWindow(engine, url));
    const QVariantList seen = engine.rootObjects().first()->property("seen").toList();
    QCOMPARE(seen.size(), 5);
    QCOMPARE(seen[0].value<QObject*>(), &logic.meterdeck);
    QCOMPARE(seen[1].value<QObject*>(), logic.meterdeck.deviceModel());
    QCOMPARE(seen[2].value<QObject*>(), logic.meterdeck.powerModel());
    QCOMPARE(seen[3].value<QObject*>(), logic.meterdeck.logsModel());
    QCOMPARE(seen[4].value<QObject*>(), &logic.builder);
}

void TestStartup::mainWindowLoadsAndFollowsTheController() {
    QTest::failOnWarning(QRegularExpression(".*"));
    Logic logic;
    QQmlApplicationEngine engine;
    QList<QQmlError> errors;
    connect(&engine, &QQmlEngine::warnings, this, [&](const QList<QQmlError>& w) { errors += w; });
    logic.publish(engine);
    QVERIFY(startup::loadMainWindow(engine));
    auto* window = qobject_cast<QQuickWindow*>(engine.rootObjects().first());
    QVERIFY(window);
    QCOMPARE(window->title(), QString("Ортикс-Т9"));
    QTRY_VERIFY(window->isExposed());
    QSignalSpy frames(window, &QQuickWindow::frameSwapped);
    window->requestUpdate();
    QVERIFY(frames.wait());
    QVERIFY(errors.isEmpty());
    const auto shown = [&](const char* name, const char* property) {
        return child(window, name)->property(property);
    };
    QCOMPARE(shown("digits", "text").toString(), QString("NaN"));
    QCOMPARE(shown("unit", "text").toString(), QString("дБм"));
    QVERIFY(!shown("onOff", "enabled").toBool());
    QVERIFY(shown("buttonOpenFile", "enabled").toBool());
    QVERIFY(!shown("buttonRec", "enabled").toBool());

    logic.device.getDevList({"T9, SN: 0001"});
    QTRY_COMPARE(shown("deviceComboBox", "count").toInt(), 1);
    QVERIFY(shown("onOff", "enabled").toBool());
    QCOMPARE(shown("freqField", "text").toString(), QString("3 000.000"));

    logic.meterdeck.setIsStart(true);
    QVERIFY(shown("onOff", "checked").toBool());
    QVERIFY(!shown("buttonOpenFile", "enabled").toBool());
    QVERIFY(shown("buttonRec", "enabled").toBool());
    QVERIFY(shown("freqField", "enabled").toBool());

    logic.device.getPwr(-12.3456);
    QCOMPARE(shown("digits", "text").toString(), QString("-12.35"));

    // A refused offset does not stay in the field as if taken; the log says why.
    QObject* offsetField = child(window, "offsetField");
    offsetField->setProperty("text", "1e300");
    QMetaObject::invokeMethod(offsetField, "apply");
    QCOMPARE(offsetField->property("text").toString(), QString("0.000"));
    QCOMPARE(logic.meterdeck.logsModel()->lastLog(),
             QString("Смещение 1e+300 дБ не принято: допустимо от -100 до +100 дБ."));
    auto* feeder = window->findChild<ChartFeeder*>();
    QVERIFY(feeder);
    QTRY_COMPARE(feeder->pointCount(), 1);

    logic.meterdeck.setNeedWrite(true);
    QVERIFY(shown("buttonRec", "isWrite").toBool());
    QVERIFY(!shown("buttonSaveFile", "enabled").toBool());

    // The converter switch, the meter's entry and what the meter is told agree across a
    // disconnect, a rediscovery and a new connection.
    QMetaObject::invokeMethod(child(window, "attOnOff"), "toggle");
    QMetaObject::invokeMethod(child(window, "attOnOff"), "toggled");
    QVERIFY(logic.meterdeck.att());
    logic.meterdeck.setNeedWrite(false);
    logic.meterdeck.setIsStart(false);
    logic.device.getDevList({"T9, SN: 0001"});  // the next discovery pass rebuilds the list
    QTRY_VERIFY(shown("attOnOff", "checked").toBool());
    logic.device.calls.clear();
    logic.meterdeck.setIsStart(true);
    QVERIFY(shown("attOnOff", "checked").toBool());
    QVERIFY(logic.meterdeck.att());
    QVERIFY(!logic.device.calls.contains("att 0"));
    logic.meterdeck.setAtt(false);  // a write from elsewhere reaches the switch too
    QVERIFY(!shown("attOnOff", "checked").toBool());

    logic.meterdeck.setFileName(QStringLiteral("file:///tmp/md-startup.csv"));
    logic.meterdeck.setNeedWrite(true);
    // Qt Widgets' message box says this about the offscreen platform, nothing about us.
    QTest::ignoreMessage(QtWarningMsg, "This plugin does not support propagateSizeHints()");
    logic.device.deviceState();  // the meter is lost: the switch stays on while it is awaited
    QVERIFY(logic.meterdeck.reconnecting());
    QVERIFY(shown("onOff", "checked").toBool() && shown("onOff", "enabled").toBool());
    // The operator is told at once, and can still stop the recording that waits for the meter.
    QVERIFY(shown("infoMessage", "text").toString().startsWith("Связь с устройством T9, SN: 0001"));
    QVERIFY(shown("buttonRec", "isWrite").toBool() && shown("buttonRec", "enabled").toBool());
    QMetaObject::invokeMethod(child(window, "buttonRec"), "clicked");
    QVERIFY(!logic.meterdeck.needWrite());
    QVERIFY(!shown("buttonRec", "enabled").toBool());
    logic.meterdeck.setIsStart(false);  // what flipping it off writes
    QVERIFY(!shown("onOff", "checked").toBool());
}

void TestStartup::openedRecordingReplacesTheCurve() {
    QTest::failOnWarning(QRegularExpression(".*"));
    QTemporaryDir dir;
    const QString path = dir.filePath("rec.csv");
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        const QDateTime t0 = QDateTime::currentDateTime().addSecs(-3600);
        for (int i = 0; i < 300; ++i)
            f.write(
                CsvWriter::formatLine(PowerData(t0.addSecs(i), -30.0 - i % 5, "дБм", 3000.0, "кГц"))
                    .toLocal8Bit());
    }
    Logic logic;
    QQmlApplicationEngine engine;
    logic.publish(engine);
    QVERIFY(startup::loadMainWindow(engine));
    QObject* window = engine.rootObjects().first();
    logic.device.getPwr(-1.0);  // a live reading first
    logic.builder.setFilePath(QUrl::fromLocalFile(path).toString());
    PowerDataModel* model = logic.meterdeck.powerModel();
    QCOMPARE(model->rowCount(), 300);
    QObject* chart = child(window, "chart");
    auto* series = qobject_cast<QXYSeries*>(chart->property("series").value<QObject*>());
    QVERIFY(series);
    QCOMPARE(series->name(), QString("Мощность, дБм (rec.csv)"));
    // The curve spans the file (thinned to the plot's width, never beyond the records).
    QTRY_VERIFY(series->count() > 0 &&
                series->at(0).x() == double(model->timeMin().toMSecsSinceEpoch()));
    QTRY_COMPARE(window->findChild<ChartFeeder*>()->pointCount(), series->count());
    QVERIFY(series->count() <= 300);
    QCOMPARE(series->at(series->count() - 1).x(), double(model->timeMax().toMSecsSinceEpoch()));
    QObject* axisX = chart->property("axisX").value<QObject*>();
    QObject* axisY = chart->property("axisY").value<QObject*>();
    // The axes hold the records with a margin, on round values.
    QVERIFY(axisX->property("min").toDateTime() <= model->timeMin());
    QVERIFY(axisX->property("max").toDateTime() >= model->timeMax());
    QVERIFY(axisY->property("min").toDouble() < -34.0);
    QVERIFY(axisY->property("max").toDouble() > -30.0);
    QVERIFY(axisY->property("min").toDouble() >= -35.0);

    // A file that cannot be shown is reported, and the chart keeps what it showed.
    QTest::ignoreMessage(QtWarningMsg, "This plugin does not support propagateSizeHints()");
    logic.builder.setFilePath(QUrl::fromLocalFile(dir.filePath("gone.csv")).toString());
    QCOMPARE(model->rowCount(), 300);
    QCOMPARE(child(window, "infoMessage")->property("text").toString(),
             "Не удалось открыть запись " + dir.filePath("gone.csv") + ": файл не найден.");
    QVERIFY(child(window, "infoMessage")->property("visible").toBool());
}

void TestStartup::brokenDocumentGivesMinusOne() {
    QTemporaryDir dir;
    const QUrl url = writeDocument(dir, "broken.qml", "import QtQuick\nItem { width: }\n");
    Logic logic;
    QQmlApplicationEngine engine;
    logic.publish(engine);
    // Should the event loop run after all, this ends it with 0 and the test fails.
    QTimer::singleShot(5000, qApp, &QCoreApplication::quit);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(".*"));
    QCOMPARE(startup::run(engine, url), -1);
    QVERIFY(engine.rootObjects().isEmpty());
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
