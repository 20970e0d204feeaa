#include "driversettings.h"

#include <QSerialPortInfo>

QStringList DriverSettings::systemPortNames() {
    QStringList names;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : ports)
        names << info.portName();
    return names;
}
