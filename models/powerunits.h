#pragma once

#include <QString>
#include <QStringView>

#include <optional>

// The power units of the read-out, the chart, the statistics and the record files, and the one
// conversion between them. Power is dBm inside the program; watts and volts (RMS across 50 ohms)
// carry a metric prefix.
namespace PowerUnits {

// In the order of the controller's `unit` property.
enum class Family { Dbm = 0, Watt = 1, Volt = 2 };

// A unit as family and prefix. `step` is the prefix's power of 1000: -4 pico … 3 giga, 0 for the
// bare watt or volt and always 0 for dBm.
struct Unit {
    Family family = Family::Dbm;
    int step = 0;
    bool operator==(const Unit& other) const {
        return family == other.family && step == other.step;
    }
    bool operator!=(const Unit& other) const { return !(*this == other); }
};

constexpr int MinStep = -4;         // pico: accepted in files
constexpr int MinDisplayStep = -3;  // nano: the smallest prefix the program writes
constexpr int MaxStep = 3;          // giga

// A unit text as the program writes it ("дБм", "нВт", "мкВ", also the bare "Ватт" the read-out
// starts with) or as an edited file may spell it in Latin letters ("dBm", "uW", "µW", "mV", "W").
// None for anything else, the empty text included: such a value is no power of a known unit.
std::optional<Unit> parse(QStringView text);
// The program's own text of a unit: "дБм", "нВт", "мкВ", "Вт" …
QString text(Unit unit);

// A value in `from` as dBm, and a dBm value in `to`. Not finite in, not finite out.
double toDbm(double value, Unit from);
double fromDbm(double dBm, Unit to);
// A value in `from` expressed in `to`.
double convert(double value, Unit from, Unit to);

// The unit a power is shown in for a family: dBm as it is; watts and volts with the prefix that
// brings the value to at least 1 and under 1000 (nano and giga at the ends).
Unit displayUnit(double dBm, Family family);

// A power as the read-out, the statistics and the log of the chart show it: dBm with two decimals
// ("-20.51 дБм"), watts and volts with four significant digits and their prefix ("8.913 мкВт",
// never "1000 нВт"). "—" for no value.
QString format(double dBm, Family family);

}  // namespace PowerUnits
