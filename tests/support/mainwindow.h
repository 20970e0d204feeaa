#pragma once

#include <QQmlApplicationEngine>
#include <QQuickWindow>

#include "chartbuilder.h"
#include "fakedevice.h"
#include "meterdeck.h"
#include "startup.h"

// The real window's objects over the real controller, on the scripted meter and record writer,
// published under the names the documents use.
struct MainWindowRig {
    FakeDevice device;
    FakeWriter writer;
    Meterdeck meterdeck{std::vector<iDevice*>{&device}, &writer};
    ChartBuilder builder{meterdeck.powerModel()};
    QQmlApplicationEngine engine;  // declared last: its documents go before the objects they use

    MainWindowRig() {
        startup::publish(engine, &meterdeck, meterdeck.deviceModel(), meterdeck.powerModel(),
                         meterdeck.logsModel(), &builder);
    }
    // The main window; null when the document gives no root object.
    QQuickWindow* load() {
        return startup::loadMainWindow(engine)
                   ? qobject_cast<QQuickWindow*>(engine.rootObjects().first())
                   : nullptr;
    }
};
