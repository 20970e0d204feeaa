#pragma once

#include <QString>
#include <QUrl>
#include <memory>

QT_BEGIN_NAMESPACE
class QApplication;
class QObject;
class QQmlApplicationEngine;
class QSplashScreen;
QT_END_NAMESPACE

// Steps of the program's start-up that do not depend on the logic objects, so that tests can
// run them with stand-ins.
namespace startup {

inline const QUrl mainWindowUrl{QStringLiteral("qrc:/MainWindow.qml")};

// Process-wide settings made before anything else: a write past the system's file-size limit
// fails (and is reported like a full disk) instead of ending the program with a signal.
void prepareProcess();

// Makes the icons reachable; they live in a static library.
void initResources();

// Material style, the QML types of the window (module "Meterdeck.Ui"), and the documents run from
// the code compiled into the program with no compiled-QML cache on disk. Call before the first
// document is loaded; repeated calls do nothing.
void prepareQml();

// Organisation, application name, window icon and Qt's own texts in Russian.
void setIdentity(QApplication& app);

// Qt's own dialogs and standard buttons in Russian (Qt's translations, Debian package
// qt6-translations-l10n); false when they are not installed.
bool installQtTranslations(QApplication& app);

// The still start-up picture, on top of other windows, closing itself after closeAfterMs.
std::unique_ptr<QSplashScreen> showSplash(int closeAfterMs = 2000);

// The chart builder's openings, notices and failures go to the event log (logsModel: a LogsModel).
void logChartBuilder(QObject* logsModel, QObject* chartBuilder);

// The five context properties the documents use, in this order (the log wired as above).
void publish(QQmlApplicationEngine& engine, QObject* meterdeck, QObject* deviceModel,
             QObject* powerModel, QObject* logsModel, QObject* chartBuilder);

// Loads the document synchronously; false when it yields no root object.
bool loadMainWindow(QQmlApplicationEngine& engine, const QUrl& url = mainWindowUrl);

// Loads the document and runs the event loop: its result, or -1 without a root object (the
// engine's own diagnostics are the only message then).
int run(QQmlApplicationEngine& engine, const QUrl& url = mainWindowUrl);

}  // namespace startup
