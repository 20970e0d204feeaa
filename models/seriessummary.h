#pragma once

#include <QtGlobal>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

#include "powerdata.h"
#include "powerunits.h"
#include "recordunits.h"
#include "statistics.h"

// What a chart needs of a long recording without walking it: per block of records the lowest and
// highest level and the statistics, summed once when the file is read (in the loader's thread).
// Questions about any index range then read the blocks inside it and at most two part blocks.
// Levels are dBm: every unit the chart shows rises with it, so the lowest and highest records
// are the same in each.
//
// Only built for a series it stands in for exactly: every record timed, times never going back,
// no reading shown again, and every value that has a unit a finite dBm level within ±1000 dBm
// (a watt or volt value of zero or less has none, yet is drawn in watts). The series it was built
// from must be passed to every question, unchanged.
class SeriesSummary {
public:
    using Series = std::deque<PowerData>;
    static constexpr qsizetype BlockSize = 256;

    // Null where the series is not one it can stand in for.
    static std::shared_ptr<const SeriesSummary> build(const Series& series);

    // The first index whose time is at least `ms` (lower) or above it (upper).
    static qsizetype lowerBound(const Series& series, double ms);
    static qsizetype upperBound(const Series& series, double ms);

    // The drawn records of [from, to): how many, the first and last, the earliest lowest and
    // highest (indices; -1 with none).
    struct Extremes {
        qint64 count = 0;
        qsizetype first = -1, last = -1, lowAt = -1, highAt = -1;
        double low = 0, high = 0;  // dBm
    };
    Extremes extremes(const Series& series, qsizetype from, qsizetype to) const;
    Statistics statistics(const Series& series, qsizetype from, qsizetype to) const;
    // The last drawn record before `to`, the first from `from` on; -1 with none.
    static qsizetype lastDrawn(const Series& series, qsizetype to);
    static qsizetype firstDrawn(const Series& series, qsizetype from);
    // The highest level in the series (dBm; NaN with none).
    double highest() const { return m_highest; }
    // Every drawn record is in the same unit. Where they are not, equal levels in two units may
    // differ in their last bit once shown in watts or volts: only the dBm view keeps their order.
    bool oneUnit() const { return m_oneUnit; }

private:
    struct Block {
        Extremes extremes;
        Statistics stats;
    };
    template <class Record, class Whole>
    void visit(const Series& series, qsizetype from, qsizetype to, Record&& record,
               Whole&& whole) const;

    std::vector<Block> m_blocks;
    double m_highest = qQNaN();
    bool m_oneUnit = true;
};
