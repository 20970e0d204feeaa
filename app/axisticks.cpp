// Round ticks for the chart's axes: value ranges with a margin or as typed, time ranges on whole
// steps of the local clock.
#include <QDateTime>
#include <algorithm>
#include <cmath>

#include "chartfeeder.h"

ChartFeeder::ValueRange ChartFeeder::valueRange(double lo, double hi, int maxTicks,
                                                double marginShare) {
    ValueRange r;
    if (!std::isfinite(lo) || !std::isfinite(hi))
        return r;
    if (lo > hi)
        std::swap(lo, hi);
    maxTicks = std::max(2, maxTicks);
    double margin = (hi - lo) * marginShare;
    // One value (or nearly so): a window of 1 % of it around it.
    if (!((hi - lo) * 0.05 > std::abs(hi) * 1e-9))
        margin = std::max(std::abs(hi) * 0.01, 1e-6);
    lo -= margin;
    hi += margin;
    const double raw = (hi - lo) / (maxTicks - 1);
    const double decade = std::pow(10.0, std::floor(std::log10(raw)));
    static constexpr double kNice[] = {1.0, 2.0, 2.5, 5.0, 10.0};
    for (double f : kNice) {
        r.step = f * decade;
        r.min = std::floor(lo / r.step) * r.step;
        r.max = std::ceil(hi / r.step) * r.step;
        r.ticks = int(std::lround((r.max - r.min) / r.step)) + 1;
        if (r.ticks <= maxTicks)
            break;
    }
    // As many decimals as the step needs (0.25 needs two).
    r.decimals = 0;
    while (r.decimals < 9) {
        const double scaled = r.step * std::pow(10.0, r.decimals);
        if (std::abs(scaled - std::round(scaled)) < 1e-6 * scaled)
            break;
        ++r.decimals;
    }
    return r;
}

ChartFeeder::ValueRange ChartFeeder::exactRange(double lo, double hi, int maxTicks) {
    ValueRange r;
    if (!std::isfinite(lo) || !std::isfinite(hi) || lo == hi)
        return r;
    if (lo > hi)
        std::swap(lo, hi);
    maxTicks = std::max(3, maxTicks);
    r.min = lo;
    r.max = hi;
    const double span = hi - lo;
    const auto whole = [](double v) {
        return std::abs(v - std::round(v)) < 1e-9 * std::max(1.0, std::abs(v));
    };
    const double decade = std::pow(10.0, std::floor(std::log10(span / (maxTicks - 1))));
    static constexpr double kNice[] = {1.0, 2.0, 2.5, 5.0, 10.0, 20.0, 25.0, 50.0};
    for (double f : kNice) {
        const double step = f * decade;
        // One tick more than asked for rather than uneven steps (-35 … 0 in fives).
        if (whole(lo / step) && whole(hi / step) && span / step <= maxTicks + 1e-9) {
            r.step = step;
            r.ticks = int(std::lround(span / step)) + 1;
            break;
        }
    }
    if (r.ticks == 0) {
        r.ticks = std::min(maxTicks, 6);
        r.step = span / (r.ticks - 1);
    }
    // Enough decimals for the bounds and the step, at most three significant digits of the step.
    const int most = std::clamp(2 - int(std::floor(std::log10(r.step))), 0, 9);
    const auto exact = [&](int d) {
        const double scale = std::pow(10.0, d);
        return whole(r.step * scale) && whole(lo * scale);
    };
    while (r.decimals < most && !exact(r.decimals))
        ++r.decimals;
    return r;
}

ChartFeeder::TimeRange ChartFeeder::timeRange(qint64 lo, qint64 hi, int maxTicks) {
    static constexpr qint64 kSteps[] = {1000,     2000,     5000,     10000,   15000,    30000,
                                        60000,    120000,   180000,   300000,  600000,   900000,
                                        1200000,  1800000,  3600000,  7200000, 10800000, 21600000,
                                        43200000, 86400000, 172800000};
    TimeRange r;
    if (lo > hi)
        std::swap(lo, hi);
    maxTicks = std::max(2, maxTicks);
    // Whole steps of the local clock, not of UTC (a zone may be off by half an hour).
    const qint64 offset = qint64(QDateTime::fromMSecsSinceEpoch(lo).offsetFromUtc()) * 1000;
    const auto floorTo = [](qint64 v, qint64 step) {
        return (v >= 0 ? v / step : (v - step + 1) / step) * step;
    };
    const auto fit = [&](qint64 step) {
        r.step = step;
        r.min = floorTo(lo + offset, step) - offset;
        r.max = floorTo(hi + offset + step - 1, step) - offset;
        if (r.max == r.min)
            r.max = r.min + step;
        r.ticks = int((r.max - r.min) / step) + 1;
        return r.ticks <= maxTicks;
    };
    for (qint64 step : kSteps)
        if (fit(step))
            return r;
    // Beyond that: from the first midnight on as few whole days a step as fit, so that a long
    // recording fills the axis instead of a power of two of weeks.
    const qint64 day = 86400000, start = floorTo(lo + offset, day) - offset;
    const qint64 days = std::max<qint64>(1, (hi - start + day - 1) / day);
    const qint64 stepDays = (days + maxTicks - 2) / (maxTicks - 1);
    r.step = stepDays * day;
    r.ticks = int((days + stepDays - 1) / stepDays) + 1;
    r.min = start;
    r.max = start + (r.ticks - 1) * r.step;
    return r;
}
