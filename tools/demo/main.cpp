// The program with simulated meters attached (one, or several with --meters): their lines are
// added to the ports that discovery enumerates, so the meters are listed and can be connected
// like real ones. For trying the program without hardware, and for whole-program benchmarks and
// tests.
#include <QApplication>
#include <QCommandLineParser>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSplashScreen>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "chartbuilder.h"
#include "meterdeck.h"
#include "ortix.h"
#include "pollclock.h"
#include "simmeter.h"
#include "simreading.h"
#include "startup.h"
#include "t9rev6.h"

namespace {

void say(const QString& line) {
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char* argv[]) {
    startup::prepareProcess();
    QApplication app(argc, argv);

    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral("Meterdeck with a simulated meter."));
    p.addHelpOption();
    const QCommandLineOption poll("poll", "Power poll interval, ms.", "ms", "1000");
    const QCommandLineOption pump("pump", "Command pump interval, ms.", "ms", "200");
    const QCommandLineOption autoConnect("connect", "Connect as soon as the meter is listed.");
    const QCommandLineOption prefill(
        "prefill", "After connecting, fill the chart with N readings at once.", "N", "0");
    const QCommandLineOption quitAfter("quit-after", "Quit after this many ms.", "ms", "0");
    const QCommandLineOption printLog("print-log",
                                      "Print every event-log line on standard output.");
    const QCommandLineOption noSplash("no-splash", "Skip the start-up picture.");
    const QCommandLineOption record("record", "With --connect: record into this file.", "file");
    const QCommandLineOption meters(
        "meters", "Simulated meters on one bench, 1 to 8 (the second 15 dB below the first).", "N",
        "1");
    for (const auto& o :
         {poll, pump, autoConnect, prefill, quitAfter, printLog, noSplash, record, meters})
        p.addOption(o);
    p.process(app);

    std::unique_ptr<QSplashScreen> splash;
    if (!p.isSet(noSplash))
        splash = startup::showSplash(2000);
    startup::setIdentity(app);
    startup::prepareQml();

    // Live until the process ends, like the objects below.
    const int count = std::clamp(p.value(meters).toInt(), 1, 8);
    const auto readings = coupledReadings(42, count);
    std::vector<SimMeter*> sims;
    for (int k = 0; k < count; ++k) {
        auto* meter = new SimMeter;
        meter->setIdentity(QStringLiteral("T9-SIM"),
                           QStringLiteral("%1").arg(42 + k, 6, 10, QLatin1Char('0')));
        meter->setReadingFunction(count == 1 ? plausibleReading(42) : readings[size_t(k)]);
        sims.push_back(meter);
    }

    DriverSettings settings;
    settings.portNames = [sims] {
        QStringList names = DriverSettings::systemPortNames();
        for (SimMeter* meter : sims)
            if (meter->isPlugged())
                names << meter->portName();
        return names;
    };
    // Unplugged, a simulated meter's pseudo-terminal stays: its own word counts.
    settings.portPresent = [sims,
                            system = DriverSettings::systemPortPresence()](const QString& name) {
        for (SimMeter* meter : sims)
            if (name == meter->portName())
                return meter->isPlugged();
        // An earlier line of a simulated meter (its name is empty while unplugged).
        if (name.startsWith(QLatin1String("/dev/pts/")))
            return false;
        return system ? system(name) : DriverSettings::systemPortNames().contains(name);
    };
    settings.powInterval = std::max(1, p.value(poll).toInt());
    settings.procInterval = std::max(1, p.value(pump).toInt());
    settings.pollClock = std::make_shared<PollClock>(settings.powInterval);

    QQmlApplicationEngine engine;
    auto* t9rev6 = new T9rev6(settings);
    auto* ortix = new Ortix;
    auto* meterdeck = new Meterdeck({t9rev6, ortix});
    meterdeck->setFurtherDevices(Meterdeck::furtherMeters(settings));
    auto* chartBuilder = new ChartBuilder(meterdeck->powerModel());
    startup::publish(engine, meterdeck, meterdeck->deviceModel(), meterdeck->powerModel(),
                     meterdeck->logsModel(), chartBuilder);

    if (p.isSet(printLog)) {
        QObject::connect(meterdeck->logsModel(), &QAbstractItemModel::modelReset, meterdeck,
                         [meterdeck] { say(meterdeck->logsModel()->lastLog()); });
        // Scripts driving the window wait for the meter's entry before they use the switch.
        QObject::connect(
            meterdeck->deviceModel(), &QAbstractItemModel::modelReset, meterdeck, [meterdeck] {
                say(QStringLiteral("meters listed: %1").arg(meterdeck->deviceModel()->rowCount()));
            });
    }
    if (p.isSet(autoConnect)) {
        const int fill = p.value(prefill).toInt();
        const QString recordFile = p.value(record);
        QObject::connect(
            meterdeck->deviceModel(), &QAbstractItemModel::modelReset, meterdeck,
            [meterdeck, fill, recordFile] {
                if (meterdeck->isStart() || meterdeck->deviceModel()->rowCount() == 0)
                    return;
                meterdeck->setIsStart(true);
                // Several meters on the bench: all of them are measured.
                for (int row = 0;
                     meterdeck->isStart() && row < meterdeck->deviceModel()->rowCount(); ++row)
                    meterdeck->addMeter(row);
                if (meterdeck->isStart() && !recordFile.isEmpty()) {
                    meterdeck->setFileName(recordFile);
                    meterdeck->setNeedWrite(true);
                }
                if (!meterdeck->isStart() || fill <= 0)
                    return;
                // One reading cycle per event-loop pass, as readings would come.
                auto* filler = new QTimer(meterdeck);
                auto left = std::make_shared<int>(fill);
                QObject::connect(filler, &QTimer::timeout, meterdeck, [=] {
                    if (--*left < 0 || !meterdeck->isStart()) {
                        filler->deleteLater();
                        return;
                    }
                    meterdeck->slot_updatePower();
                });
                filler->start(0);
            });
    }
    if (const int ms = p.value(quitAfter).toInt(); ms > 0)
        QTimer::singleShot(ms, &app, &QApplication::quit);

    if (!startup::loadMainWindow(engine))
        return -1;
    if (auto* window = qobject_cast<QQuickWindow*>(engine.rootObjects().first())) {
        // Keys reach the window once it is active (maybe before its first frame); scripts
        // typing into it wait for this.
        const auto sayActive = [window] {
            if (window->isActive())
                say(QStringLiteral("window active"));
        };
        QObject::connect(
            window, &QQuickWindow::frameSwapped, window,
            [window, sayActive] {
                say(QStringLiteral("window shown"));
                sayActive();
                QObject::connect(window, &QWindow::activeChanged, window, sayActive);
            },
            Qt::SingleShotConnection);
        if (p.isSet(printLog))
            QObject::connect(window, &QQuickWindow::activeFocusItemChanged, window, [window] {
                const QQuickItem* item = window->activeFocusItem();
                say(QStringLiteral("focus: ") + (item ? item->objectName() : QString()));
            });
    }
    return QApplication::exec();
}
