#pragma once

#include <QString>

// How the controller's log lines and captions write a switch and a number.
namespace Wording {

inline QString onOff(bool on) {
    return on ? QStringLiteral("вкл.") : QStringLiteral("выкл.");
}

inline QString num(double value) {
    return QString::number(value, 'g', 6);
}

}  // namespace Wording
