// Start-up steps: identity and Qt's own texts, the splash, a window that cannot load (the window
// itself is tst_qml's, loading it without a warning tst_chartwindow's).
#include <QApplication>
#include <QQmlApplicationEngine>
#include <QSplashScreen>
#include <QTemporaryDir>
#include <QtTest>

#include "startup.h"

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
    }

    void splashStaysOnTopAndClosesItself() {
        const auto splash = startup::showSplash(50);
        QVERIFY(splash->isVisible());
        QVERIFY(splash->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QTRY_VERIFY_WITH_TIMEOUT(!splash->isVisible(), 2000);
    }

    void brokenDocumentGivesMinusOne() {
        QTemporaryDir dir;
        QFile broken(dir.filePath("broken.qml"));
        QVERIFY(broken.open(QIODevice::WriteOnly) &&
                broken.write("import QtQuick\nItem { width: }\n") > 0);
        broken.close();
        QQmlApplicationEngine engine;
        // Should the event loop run after all, this ends it with 0 and the test fails.
        QTimer::singleShot(5000, qApp, &QCoreApplication::quit);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(".*"));
        QCOMPARE(startup::run(engine, QUrl::fromLocalFile(broken.fileName())), -1);
        QVERIFY(engine.rootObjects().isEmpty());
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
