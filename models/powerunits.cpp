#include "powerunits.h"

#include <algorithm>
#include <cmath>

namespace PowerUnits {

namespace {

constexpr double kOhms = 50.0;

double scale(int step) {
    return std::pow(1000.0, step);
}

struct Prefix {
    const char16_t* text;
    int step;
};
// Russian as the program writes it, then the Latin spellings of an edited file.
constexpr Prefix kPrefixes[] = {
    {u"п", -4}, {u"н", -3}, {u"мк", -2}, {u"м", -1}, {u"", 0},   {u"к", 1},
    {u"М", 2},  {u"Г", 3},  {u"p", -4},  {u"n", -3}, {u"u", -2}, {u"µ", -2},
    {u"μ", -2}, {u"m", -1}, {u"k", 1},   {u"M", 2},  {u"G", 3},
};

std::optional<int> prefixStep(QStringView prefix) {
    for (const Prefix& p : kPrefixes)
        if (prefix == QStringView(p.text))
            return p.step;
    return std::nullopt;
}

const QString& prefixText(int step) {
    static const QString texts[] = {QStringLiteral("п"), QStringLiteral("н"), QStringLiteral("мк"),
                                    QStringLiteral("м"), QString(),           QStringLiteral("к"),
                                    QStringLiteral("М"), QStringLiteral("Г")};
    return texts[std::clamp(step, MinStep, MaxStep) - MinStep];
}

}  // namespace

std::optional<Unit> parse(QStringView text) {
    text = text.trimmed();
    if (text.compare(u"дБм", Qt::CaseInsensitive) == 0 ||
        text.compare(u"dBm", Qt::CaseInsensitive) == 0)
        return Unit{Family::Dbm, 0};
    // The read-out's names of the bare units, before any value has given them a prefix.
    if (text == u"Ватт")
        return Unit{Family::Watt, 0};
    if (text == u"Вольт")
        return Unit{Family::Volt, 0};
    static constexpr struct {
        const char16_t* symbol;
        Family family;
    } kSymbols[] = {
        {u"Вт", Family::Watt}, {u"W", Family::Watt}, {u"В", Family::Volt}, {u"V", Family::Volt}};
    for (const auto& s : kSymbols) {
        const QStringView symbol(s.symbol);
        if (!text.endsWith(symbol))
            continue;
        if (const auto step = prefixStep(text.chopped(symbol.size())))
            return Unit{s.family, *step};
        return std::nullopt;
    }
    return std::nullopt;
}

QString text(Unit unit) {
    switch (unit.family) {
        case Family::Watt:
            return prefixText(unit.step) + QStringLiteral("Вт");
        case Family::Volt:
            return prefixText(unit.step) + QStringLiteral("В");
        default:
            return QStringLiteral("дБм");
    }
}

double toDbm(double value, Unit from) {
    switch (from.family) {
        case Family::Watt:
            return 10.0 * std::log10(value * scale(from.step) * 1000.0);
        case Family::Volt: {
            const double volts = value * scale(from.step);
            return 10.0 * std::log10(volts * volts / kOhms * 1000.0);
        }
        default:
            return value;
    }
}

double fromDbm(double dBm, Unit to) {
    switch (to.family) {
        case Family::Watt:
            return std::pow(10.0, dBm / 10.0) / 1000.0 / scale(to.step);
        case Family::Volt:
            return std::sqrt(std::pow(10.0, (dBm - 30.0) / 10.0) * kOhms) / scale(to.step);
        default:
            return dBm;
    }
}

double convert(double value, Unit from, Unit to) {
    if (from.family == to.family)
        return from.family == Family::Dbm ? value : value * scale(from.step - to.step);
    return fromDbm(toDbm(value, from), to);
}

Unit displayUnit(double dBm, Family family) {
    if (family == Family::Dbm)
        return {};
    Unit unit{family, MinDisplayStep};
    const double base = fromDbm(dBm, Unit{family, 0});
    if (std::isnan(base) || base <= 0.0)
        return unit;
    if (std::isinf(base))
        return Unit{family, MaxStep};
    unit.step = std::clamp(int(std::floor(std::log10(base) / 3.0)), MinDisplayStep, MaxStep);
    // log10 may land a hair off at a prefix boundary: the value itself decides.
    const double value = fromDbm(dBm, unit);
    if (value >= 1000.0 && unit.step < MaxStep)
        ++unit.step;
    else if (value < 1.0 && unit.step > MinDisplayStep)
        --unit.step;
    return unit;
}

QString format(double dBm, Family family) {
    if (!std::isfinite(dBm))
        return QStringLiteral("—");
    if (family == Family::Dbm)
        return QString::number(dBm, 'f', 2) + QStringLiteral(" дБм");
    Unit unit = displayUnit(dBm, family);
    const auto decimals = [](double v) {
        const int digits = v > 0.0 ? int(std::floor(std::log10(v))) : 0;
        return std::clamp(3 - digits, 0, 6);
    };
    double value = fromDbm(dBm, unit);
    // 999.97 shown with four digits is 1000: the next prefix says it as 1.000.
    if (unit.step < MaxStep && QString::number(value, 'f', decimals(value)).toDouble() >= 1000.0) {
        ++unit.step;
        value = fromDbm(dBm, unit);
        // 0.99999 rounds to 1.000 here, with the digits of 1.
        return QString::number(value, 'f', decimals(std::max(value, 1.0))) + QLatin1Char(' ') +
               text(unit);
    }
    return QString::number(value, 'f', decimals(value)) + QLatin1Char(' ') + text(unit);
}

}  // namespace PowerUnits
