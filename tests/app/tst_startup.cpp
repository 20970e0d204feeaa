// Start-up steps: identity and Qt's own texts, the splash, loading the window with the real
// objects (the window's behaviour is tst_qml's, but for the lost meter).
#include <QApplication>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <QSplashScreen>
#include <QTemporaryDir>
#include <QtTest>

#include "../support/fakedevice.h"
#include "chartbuilder.h"
#include "meterdeck.h"
#include "startup.h"

namespace {

// The real objects as start-up makes them, on a fake meter family, and an engine they outlive.
struct Logic {
    FakeDevice device;
    Meterdeck meterdeck{std::vector<iDevice*>{&device}};
    ChartBuilder builder{meterdeck.powerModel()};
    QQmlApplicationEngine engine;
    Logic() {
        startup::publish(engine, &meterdeck, meterdeck.deviceModel(), meterdeck.powerModel(),
                         meterdeck.logsModel(), &builder);
    }
};

}  // namespace

class TestStartup : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        startup::setIdentity(*qApp);
        startup::prepareQml();
    }

    void identityAndQtTexts() {
        QCOMPARE(QCoreApplication::organizationName(), QString("Tarvent"));
        QCOMPARE(QCoreApplication::applicationName(), QString("Ортикс-Т9"));
        QVERIFY(!QApplication::windowIcon().isNull());
        // Qt's own dialogs and buttons speak the program's language.
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Save"), QString("Сохранить"));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString("Отмена"));
    }

    void splashStaysOnTopAndClosesItself() {
        const auto splash = startup::showSplash(50);
        QVERIFY(splash->isVisible());
        QVERIFY(splash->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QTRY_VERIFY_WITH_TIMEOUT(!splash->isVisible(), 2000);
    }

    // The window loads without a warning. A lost meter is shown at once, and the recording that
    // waits for it can still be stopped.
    void mainWindowShowsALostMeter() {
        QTest::failOnWarning(QRegularExpression(".*"));
        Logic logic;
        QVERIFY(startup::loadMainWindow(logic.engine));
        auto* window = qobject_cast<QQuickWindow*>(logic.engine.rootObjects().first());
        QVERIFY(window);
        QCOMPARE(window->title(), QString("Ортикс-Т9"));
        QTRY_VERIFY(window->isExposed());
        QSignalSpy frames(window, &QQuickWindow::frameSwapped);
        window->requestUpdate();
        QVERIFY(frames.wait());

        QTemporaryDir dir;
        logic.device.getDevList({"T9, SN: 0001"});
        logic.meterdeck.setIsStart(true);
        logic.meterdeck.setFileName(dir.filePath("rec.csv"));
        logic.meterdeck.setNeedWrite(true);
        // Qt Widgets' message box says this about the offscreen platform, nothing about us.
        QTest::ignoreMessage(QtWarningMsg, "This plugin does not support propagateSizeHints()");
        logic.device.deviceState();
        QObject* box = window->findChild<QObject*>("infoMessage");
        QObject* rec = window->findChild<QObject*>("buttonRec");
        QObject* onOff = window->findChild<QObject*>("onOff");
        QVERIFY(box && rec && onOff);
        // The switch stays on while the meter is awaited.
        QVERIFY(logic.meterdeck.reconnecting() && onOff->property("checked").toBool() &&
                onOff->property("enabled").toBool());
        QVERIFY(box->property("visible").toBool());
        QVERIFY(box->property("text").toString().startsWith("Связь с устройством T9, SN: 0001"));
        QVERIFY(rec->property("isWrite").toBool() && rec->property("enabled").toBool());
        QMetaObject::invokeMethod(rec, "clicked");
        QVERIFY(!logic.meterdeck.needWrite() && !rec->property("enabled").toBool());
    }

    void brokenDocumentGivesMinusOne() {
        QTemporaryDir dir;
        QFile broken(dir.filePath("broken.qml"));
        QVERIFY(broken.open(QIODevice::WriteOnly) &&
                broken.write("import QtQuick\nItem { width: }\n") > 0);
        broken.close();
        Logic logic;
        // Should the event loop run after all, this ends it with 0 and the test fails.
        QTimer::singleShot(5000, qApp, &QCoreApplication::quit);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(".*"));
        QCOMPARE(startup::run(logic.engine, QUrl::fromLocalFile(broken.fileName())), -1);
        QVERIFY(logic.engine.rootObjects().isEmpty());
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
