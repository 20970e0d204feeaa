#pragma once

#include <QString>
#include <QStringList>

// How the controller's log lines and captions write a switch and a number.
namespace Wording {

inline QString onOff(bool on) {
    return on ? QStringLiteral("вкл.") : QStringLiteral("выкл.");
}

inline QString num(double value) {
    return QString::number(value, 'g', 6);
}

// What setting a frequency says: a typed one outside the range first (the meter measures at the
// limit, not at what was typed), then the one set.
inline QStringList frequencySet(double typedKHz, double setKHz) {
    QStringList lines;
    if (setKHz != typedKHz)
        lines << QStringLiteral("Частота ") + num(typedKHz) +
                     QStringLiteral(" кГц вне диапазона 300 … 3 200 000 кГц.");
    return lines << QStringLiteral("Установка новой частоты = ") + num(setKHz) +
                        QStringLiteral(" кГц");
}

}  // namespace Wording
