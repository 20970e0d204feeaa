#pragma once

#include <QtGlobal>
#include <optional>

#include "powerdata.h"
#include "powerunits.h"

// The unit of each record, and its level: records share a handful of unit texts, each parsed
// once while the records that follow keep it.
class RecordUnits {
public:
    std::optional<PowerUnits::Unit> of(const PowerData& r) {
        if (r.powerUnitId() != m_id) {
            m_id = r.powerUnitId();
            m_unit = PowerUnits::parse(r.powerUnit());
        }
        return m_unit;
    }
    // dBm; NaN for a record that is not drawn (no value, no known unit).
    double level(const PowerData& r) {
        const auto unit = of(r);
        if (!unit)
            return qQNaN();
        return unit->family == PowerUnits::Family::Dbm ? r.power()
                                                       : PowerUnits::toDbm(r.power(), *unit);
    }

private:
    quint16 m_id = 0;
    std::optional<PowerUnits::Unit> m_unit;
};
