#include "readingpipeline.h"

#include <cmath>
#include <utility>

#include "averagingfilter.h"
#include "powerunits.h"
#include "wording.h"

using Wording::num;
using Wording::onOff;

ReadingPipeline::ReadingPipeline(LogSink log) : log(std::move(log)) {
    m_unitNames = {QStringLiteral("дБм"), QStringLiteral("Ватт"), QStringLiteral("В")};
    m_averNames = {QStringLiteral("авто 1 дБ"), QStringLiteral("авто 0.1 дБ"),
                   QStringLiteral("авто 0.01 дБ"), QStringLiteral("авто 0.001 дБ")};
}

void ReadingPipeline::setOffset(double offset) {
    // A NaN offset would turn every later reading into NaN.
    if (!std::isfinite(offset)) {
        log(QStringLiteral("Смещение не изменено: введено не число."));
        return;
    }
    // No attenuator or amplifier on a bench is beyond this; 1e300 dB would wreck every figure.
    if (std::fabs(offset) > offsetLimit) {
        log(QStringLiteral("Смещение ") + num(offset) +
            QStringLiteral(" дБ не принято: допустимо от -100 до +100 дБ."));
        return;
    }
    m_offset_dB = offset;
    log(QStringLiteral("Смещение = ") + num(offset) + QStringLiteral(" дБ"));
}

// A setting taken with its log line; false where nothing changes (or the index is out of range).
template <class T>
static bool changeSetting(T& setting, T value, const LogSink& log, const QString& line) {
    if (value == setting)
        return false;
    setting = value;
    log(line);
    return true;
}

bool ReadingPipeline::setOffsetEn(bool on) {
    return changeSetting(m_offsetEn, on, log, QStringLiteral("Смещение = ") + onOff(on));
}

bool ReadingPipeline::setUnit(int unit) {
    return unit >= 0 && unit < m_unitNames.size() &&
           changeSetting(m_unit, unit, log,
                         QStringLiteral("Единицы измерения изменены на ") + m_unitNames.at(unit));
}

bool ReadingPipeline::setAverEn(bool on) {
    return changeSetting(m_averEn, on, log, QStringLiteral("Усреднение  ") + onOff(on));
}

bool ReadingPipeline::setAver(int step) {
    return step >= 0 && step < m_averNames.size() &&
           changeSetting(m_aver, step, log,
                         QStringLiteral("Усреднение обновлено = ") + m_averNames.at(step));
}

bool ReadingPipeline::setRelative(bool on) {
    if (on == m_relative)
        return false;
    if (on && !(m_live && std::isfinite(m_power))) {
        // Nothing current to refer to: the control goes back.
        log(QStringLiteral("Относительный отсчёт не включён: нет текущего показания."));
        return false;
    }
    m_relative = on;
    if (on) {
        m_reference = m_power;
        log(QStringLiteral("Относительный отсчёт: опорный уровень ") + num(m_power) +
            QStringLiteral(" дБм"));
    } else {
        log(QStringLiteral("Относительный отсчёт выключен."));
    }
    return true;
}

double ReadingPipeline::relativeValue() const {
    return m_relative && m_live ? m_power - m_reference : std::numeric_limits<double>::quiet_NaN();
}

double ReadingPipeline::take(double raw) {
    m_live = true;
    m_power = raw + (m_offsetEn ? m_offset_dB : 0.0);
    if (m_averEn)
        m_power = AveragingFilter(m_power, m_aver).getValue();
    return m_power;
}

void ReadingPipeline::drop() {
    m_live = false;
    m_power = std::numeric_limits<double>::quiet_NaN();
}

double ReadingPipeline::shown(QString* unitText) const {
    const auto family = PowerUnits::Family(m_unit);
    if (family == PowerUnits::Family::Dbm) {
        *unitText = m_unitNames.at(m_unit);
        return m_power;
    }
    PowerUnits::Unit unit = PowerUnits::displayUnit(m_power, family);
    double value = PowerUnits::fromDbm(m_power, unit);
    // The read-out rounds to `decimals` places: what would show as 1000.00 is 1.00 of the next
    // prefix.
    const double scale = std::pow(10.0, decimals());
    if (unit.step < PowerUnits::MaxStep && std::round(value * scale) / scale >= 1000.0) {
        ++unit.step;
        value = PowerUnits::fromDbm(m_power, unit);
    }
    *unitText = PowerUnits::text(unit);
    return value;
}
