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

// Said before the frequency actually set: the meter measures at the limit, not at what was typed.
inline QString frequencyOutOfRange(double typedKHz) {
    return QStringLiteral("Частота ") + num(typedKHz) +
           QStringLiteral(" кГц вне диапазона 300 … 3 200 000 кГц.");
}

}  // namespace Wording
