#include "startup.h"

#include <csignal>

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QPixmap>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickStyle>
#include <QSplashScreen>
#include <QTimer>
#include <QTranslator>
#include <QtQml>

#include "chartfeeder.h"
#include "uiformat.h"

// The documents and icons are compiled into the static `ui` library, which the linker would
// otherwise leave out; Q_INIT_RESOURCE declares a global function, so it cannot be called from
// inside the namespace below.
static void initUiResources() {
    Q_INIT_RESOURCE(resources);
}

namespace startup {

void prepareProcess() {
#ifdef SIGXFSZ
    // Left at its default the signal kills the process in the middle of a record line.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

void initResources() {
    initUiResources();
}

void prepareQml() {
    static bool done = false;
    if (done)
        return;
    done = true;
    initResources();
    QQuickStyle::setStyle(QStringLiteral("Material"));
    qmlRegisterType<ChartFeeder>("Meterdeck.Ui", 1, 0, "ChartFeeder");
    qmlRegisterSingletonType<UiFormat>(
        "Meterdeck.Ui", 1, 0, "UiFormat",
        [](QQmlEngine*, QJSEngine*) -> QObject* { return new UiFormat; });
}

void setIdentity(QApplication& app) {
    QApplication::setOrganizationName(QStringLiteral("Tarvent"));
    QApplication::setOrganizationDomain(QStringLiteral("tarvent.example"));
    QApplication::setApplicationName(QStringLiteral("Ортикс-Т9"));
    app.setWindowIcon(QIcon(QStringLiteral(":/icons/main.ico")));
    installQtTranslations(app);
}

bool installQtTranslations(QApplication& app) {
    // The program speaks Russian: so do Qt's own dialogs and standard buttons.
    auto* translator = new QTranslator(&app);
    if (!translator->load(QLocale(QLocale::Russian), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QApplication::installTranslator(translator);
}

std::unique_ptr<QSplashScreen> showSplash(int closeAfterMs) {
    initResources();
    const QPixmap picture(QStringLiteral(":/icons/splash.png"));
    auto splash = std::make_unique<QSplashScreen>(picture, Qt::WindowStaysOnTopHint);
    splash->show();
    QTimer::singleShot(closeAfterMs, splash.get(), &QWidget::close);
    return splash;
}

void publish(QQmlApplicationEngine& engine, QObject* meterdeck, QObject* deviceModel,
             QObject* powerModel, QObject* logsModel, QObject* chartBuilder) {
    QQmlContext* root = engine.rootContext();
    root->setContextProperty(QStringLiteral("meterdeck"), meterdeck);
    root->setContextProperty(QStringLiteral("deviceModel"), deviceModel);
    root->setContextProperty(QStringLiteral("powerModel"), powerModel);
    root->setContextProperty(QStringLiteral("logsModel"), logsModel);
    root->setContextProperty(QStringLiteral("chartBuilder"), chartBuilder);
}

bool loadMainWindow(QQmlApplicationEngine& engine, const QUrl& url) {
    engine.load(url);
    return !engine.rootObjects().isEmpty();
}

int run(QQmlApplicationEngine& engine, const QUrl& url) {
    if (!loadMainWindow(engine, url))
        return -1;
    return QApplication::exec();
}

}  // namespace startup
