// The window's documents under Qt Quick Test, against a stand-in controller and the real models.
#include <QApplication>
#include <QQmlContext>
#include <QQmlEngine>
#include <QtQuickTest>

#include "chartbuilder.h"
#include "standin.h"
#include "startup.h"

class Setup : public QObject {
    Q_OBJECT
public:
    Setup()
        : devices(new DeviceModel),
          logs(new LogsModel),
          power(new PowerDataModel),
          builder(new ChartBuilder(power)),
          rig(devices, logs) {
        rig.power = power;
    }

public slots:
    void applicationAvailable() { startup::prepareQml(); }
    void qmlEngineAvailable(QQmlEngine* engine) {
        QQmlContext* root = engine->rootContext();
        root->setContextProperty(QStringLiteral("meterdeck"), &meterdeck);
        root->setContextProperty(QStringLiteral("deviceModel"), devices);
        root->setContextProperty(QStringLiteral("powerModel"), power);
        root->setContextProperty(QStringLiteral("logsModel"), logs);
        root->setContextProperty(QStringLiteral("chartBuilder"), builder);
        root->setContextProperty(QStringLiteral("rig"), &rig);
    }

private:
    StandInMeterdeck meterdeck;
    DeviceModel* devices;
    LogsModel* logs;
    PowerDataModel* power;
    ChartBuilder* builder;
    TestRig rig;
};

int main(int argc, char** argv) {
    // The chart needs a widgets application.
    QApplication app(argc, argv);
    Setup setup;
    startup::prepareQml();
    return quick_test_main_with_setup(argc, argv, "tst_qml", QUICK_TEST_SOURCE_DIR, &setup);
}

#include "tst_qml.moc"
