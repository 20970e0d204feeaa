#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include "idevice.h"

// A meter family's device object as the controller connects to it: the interface and every
// signal a family may announce, declared once for the families and their test doubles. A
// family that cannot tell a fault never emits its signal.
class MeterDevice : public QObject, public iDevice {
    Q_OBJECT
    Q_INTERFACES(iDevice)

public:
    using QObject::QObject;

    // The meters discovery listed last, in its order.
    QStringList& devList() override { return lastDevList; }

public slots:
    void getDevList(QStringList devList) {
        lastDevList = devList;
        emit devListUpdated();
    }
    void deviceState() { emit deviceMissing(); }

signals:
    void powerUpdated();
    void devListUpdated();
    void deviceMissing();
    // Faults of single replies while measuring, one signal per reply.
    void replyLost();
    void replyUnusable(QString reply);
    // Discovery could not open this port for lack of rights (every pass that tries it).
    void portRefused(QString portName);
    // A port answered discovery too slowly for its meter to be listed (every pass it happens in).
    void portSlow(QString portName);

protected:
    QStringList lastDevList;
};
