#include "driversettings.h"

#include <QFileInfo>
#include <QSerialPortInfo>

QStringList DriverSettings::systemPortNames() {
    QStringList names;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : ports)
        names << info.portName();
    return names;
}

std::function<bool(const QString&)> DriverSettings::systemPortPresence() {
#if defined(Q_OS_UNIX)
    // An unplugged adapter takes its device file with it.
    return [](const QString& name) {
        return QFileInfo::exists(
            name.startsWith(QLatin1Char('/')) ? name : QStringLiteral("/dev/") + name);
    };
#else
    // COM ports are no files: the whole enumeration tells.
    return {};
#endif
}
