#include "seriesreader.h"

#include <QDateTime>
#include <algorithm>
#include <limits>

using namespace PowerUnits;

const PowerDataModel* SeriesReader::powerRecords() const {
    const auto* power = qobject_cast<const PowerDataModel*>(m_model.data());
    return power && m_xColumn == power->eTime() && m_yColumn == power->edBm() ? power : nullptr;
}

const PowerDataModel* SeriesReader::summarised() const {
    const PowerDataModel* power = m_held ? nullptr : powerRecords();
    return power && power->summary() ? power : nullptr;
}

std::optional<Unit> SeriesReader::displayUnit(const PowerDataModel& power) {
    const auto& series = power.series();
    RecordUnits units;
    std::optional<Unit> unit;
    for (auto it = series.crbegin(); it != series.crend() && !unit; ++it)
        if (std::isfinite(it->power()))
            unit = units.of(*it);
    if (!unit)
        return unit;
    if (power.unitFamily() >= 0)
        unit = Unit{Family(power.unitFamily()), 0};
    if (unit->family != Family::Dbm) {
        const Unit nano{unit->family, MinDisplayStep};
        double largest = 0.0;
        if (const SeriesSummary* summary = power.summary())
            // Every unit rises with the level: the highest level is the largest value.
            largest = std::abs(fromDbm(summary->highest(), nano));
        else
            for (const PowerData& r : series)
                if (const auto from = units.of(r); from && std::isfinite(r.power()))
                    largest = std::max(largest, std::abs(convert(r.power(), *from, nano)));
        unit->step = MinDisplayStep;
        while (unit->step < MaxStep && largest >= std::pow(1000.0, unit->step - nano.step + 1))
            ++unit->step;
    }
    return unit;
}

QList<QPointF> SeriesReader::collect(QString* unit) const {
    QList<QPointF> points;
    points.reserve(m_model ? m_model->rowCount() : 0);
    std::optional<Unit> drawn;
    visit([&points](double x, double y, bool) { points.append(QPointF(x, y)); }, drawn);
    if (unit)
        *unit = drawn ? text(*drawn) : QString();
    return points;
}

void SeriesReader::hold() {
    QList<QPointF> points;
    std::vector<bool> counted;
    points.reserve(m_model ? m_model->rowCount() : 0);
    visit(
        [&](double x, double y, bool c) {
            points.append(QPointF(x, y));
            counted.push_back(c);
        },
        m_heldUnit);
    m_heldPoints = std::move(points);
    m_heldCounted = std::move(counted);
    m_held = true;
}

void SeriesReader::release() {
    m_held = false;
    m_heldPoints = {};
    m_heldCounted = {};
    m_heldUnit.reset();
}

double SeriesReader::toAxisValue(const QVariant& v) {
    if (v.metaType().id() == QMetaType::QDateTime) {
        const QDateTime t = v.toDateTime();
        return t.isValid() ? double(t.toMSecsSinceEpoch())
                           : std::numeric_limits<double>::quiet_NaN();
    }
    bool ok = false;
    const double d = v.toDouble(&ok);
    return ok ? d : std::numeric_limits<double>::quiet_NaN();
}
