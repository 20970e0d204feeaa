#include <QApplication>
#include <QQmlApplicationEngine>
#include <QSplashScreen>

#include "chartbuilder.h"
#include "meterdeck.h"
#include "startup.h"

int main(int argc, char* argv[]) {
    startup::prepareProcess();
    QApplication app(argc, argv);
    const auto splash = startup::showSplash(2000);
    startup::setIdentity(app);
    startup::prepareQml();

    QQmlApplicationEngine engine;
    // Both live until the process ends; nothing depends on their destructors.
    auto* meterdeck = new Meterdeck;
    auto* chartBuilder = new ChartBuilder(meterdeck->powerModel());
    startup::publish(engine, meterdeck, meterdeck->deviceModel(), meterdeck->powerModel(),
                     meterdeck->logsModel(), chartBuilder);

    return startup::run(engine);
}
