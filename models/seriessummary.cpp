#include "seriessummary.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double kLevelLimit = 1000.0;

void take(SeriesSummary::Extremes& e, qsizetype at, double level) {
    if (e.count++ == 0) {
        e.first = e.lowAt = e.highAt = at;
        e.low = e.high = level;
    } else if (level < e.low) {
        e.low = level;
        e.lowAt = at;
    } else if (level > e.high) {
        e.high = level;
        e.highAt = at;
    }
    e.last = at;
}

// Blocks in index order: strict comparisons keep the earliest of equal levels.
void take(SeriesSummary::Extremes& e, const SeriesSummary::Extremes& block) {
    if (block.count == 0)
        return;
    if (e.count == 0) {
        e = block;
        return;
    }
    if (block.low < e.low) {
        e.low = block.low;
        e.lowAt = block.lowAt;
    }
    if (block.high > e.high) {
        e.high = block.high;
        e.highAt = block.highAt;
    }
    e.count += block.count;
    e.last = block.last;
}

}  // namespace

std::shared_ptr<const SeriesSummary> SeriesSummary::build(const Series& series) {
    auto summary = std::make_shared<SeriesSummary>();
    summary->m_blocks.reserve(size_t((qsizetype(series.size()) + BlockSize - 1) / BlockSize));
    RecordUnits units;
    qint64 previous = std::numeric_limits<qint64>::min();
    Extremes all;
    qsizetype at = 0;
    quint16 unit = 0;
    for (const PowerData& r : series) {
        if (at % BlockSize == 0)
            summary->m_blocks.emplace_back();
        Block& block = summary->m_blocks.back();
        if (!r.hasTime() || r.msecsSinceEpoch() < previous || r.repeat())
            return nullptr;
        previous = r.msecsSinceEpoch();
        const double level = units.level(r);
        if (!std::isnan(level) || std::isinf(r.power())) {
            // A value with a unit: it must be a level the chart can draw in every unit.
            // Watts or volts of zero or less are drawn, but have no level (or that of their
            // opposite).
            if (!std::isfinite(level) || std::abs(level) > kLevelLimit ||
                (units.of(r)->family != PowerUnits::Family::Dbm && !(r.power() > 0)))
                return nullptr;
            if (unit != 0 && r.powerUnitId() != unit)
                summary->m_oneUnit = false;
            unit = r.powerUnitId();
            take(block.extremes, at, level);
            take(all, at, level);
            block.stats.add(level);
        }
        ++at;
    }
    if (all.count > 0)
        summary->m_highest = all.high;
    return summary;
}

qsizetype SeriesSummary::lowerBound(const Series& series, double ms) {
    const auto it = std::partition_point(series.begin(), series.end(), [ms](const PowerData& r) {
        return double(r.msecsSinceEpoch()) < ms;
    });
    return qsizetype(it - series.begin());
}

qsizetype SeriesSummary::upperBound(const Series& series, double ms) {
    const auto it = std::partition_point(series.begin(), series.end(), [ms](const PowerData& r) {
        return double(r.msecsSinceEpoch()) <= ms;
    });
    return qsizetype(it - series.begin());
}

template <class Record, class Whole>
void SeriesSummary::visit(const Series& series, qsizetype from, qsizetype to, Record&& record,
                          Whole&& whole) const {
    from = std::max<qsizetype>(0, from);
    to = std::min(to, qsizetype(series.size()));
    RecordUnits units;
    const auto records = [&](qsizetype a, qsizetype b) {
        for (qsizetype i = a; i < b; ++i)
            if (const double level = units.level(series[size_t(i)]); !std::isnan(level))
                record(i, level);
    };
    const qsizetype firstWhole = (from + BlockSize - 1) / BlockSize;
    const qsizetype endWhole = to / BlockSize;
    if (firstWhole >= endWhole) {
        records(from, to);
        return;
    }
    records(from, firstWhole * BlockSize);
    for (qsizetype b = firstWhole; b < endWhole; ++b)
        whole(m_blocks[size_t(b)]);
    records(endWhole * BlockSize, to);
}

SeriesSummary::Extremes SeriesSummary::extremes(const Series& series, qsizetype from,
                                                qsizetype to) const {
    Extremes e;
    visit(
        series, from, to, [&e](qsizetype i, double level) { take(e, i, level); },
        [&e](const Block& b) { take(e, b.extremes); });
    return e;
}

Statistics SeriesSummary::statistics(const Series& series, qsizetype from, qsizetype to) const {
    Statistics s;
    visit(
        series, from, to, [&s](qsizetype, double level) { s.add(level); },
        [&s](const Block& b) { s.merge(b.stats); });
    return s;
}

qsizetype SeriesSummary::lastDrawn(const Series& series, qsizetype to) {
    RecordUnits units;
    for (qsizetype i = std::min(to, qsizetype(series.size())) - 1; i >= 0; --i)
        if (!std::isnan(units.level(series[size_t(i)])))
            return i;
    return -1;
}

qsizetype SeriesSummary::firstDrawn(const Series& series, qsizetype from) {
    RecordUnits units;
    for (qsizetype i = std::max<qsizetype>(0, from); i < qsizetype(series.size()); ++i)
        if (!std::isnan(units.level(series[size_t(i)])))
            return i;
    return -1;
}
