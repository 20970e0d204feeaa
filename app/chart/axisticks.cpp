#include "axisticks.h"

#include <QDateTime>
#include <algorithm>
#include <cmath>

namespace AxisTicks {

namespace {

bool whole(double v) {
    return std::abs(v - std::round(v)) < 1e-9 * std::max(1.0, std::abs(v));
}

// As many decimals as the step and the first tick need (0.25 needs two), at most three
// significant digits of the step.
int decimalsFor(double step, double first) {
    const int most = std::clamp(2 - int(std::floor(std::log10(step))), 0, 9);
    int decimals = 0;
    for (double scale = 1; decimals < most && !(whole(step * scale) && whole(first * scale));
         scale *= 10)
        ++decimals;
    return decimals;
}

}  // namespace

ValueRange valueRange(double lo, double hi, int maxTicks, double marginShare) {
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
    r.first = r.min;
    r.bounded = true;
    r.decimals = decimalsFor(r.step, r.min);
    return r;
}

ValueRange exactRange(double lo, double hi, int maxTicks) {
    ValueRange r;
    if (!std::isfinite(lo) || !std::isfinite(hi) || lo == hi)
        return r;
    if (lo > hi)
        std::swap(lo, hi);
    maxTicks = std::max(3, maxTicks);
    r.min = lo;
    r.max = hi;
    const double span = hi - lo;
    const double decade = std::pow(10.0, std::floor(std::log10(span / (maxTicks - 1))));
    // The finest round step with at most maxTicks steps in the range; one that divides it where
    // there is one (-35 … 0 in fives, 0 … 0.75 in quarters).
    static constexpr double kNice[] = {1.0, 2.0, 2.5, 5.0, 10.0, 20.0, 25.0, 50.0};
    for (double f : kNice) {
        const double step = f * decade;
        if (span / step > maxTicks + 1e-9)
            continue;
        if (r.step == 0)
            r.step = step;
        if (whole(lo / step) && whole(hi / step) && span / step > 2 - 1e-9) {
            r.step = step;
            break;
        }
    }
    // Never below min, whatever the rounding: the axis would drop a tick there.
    r.first = std::max(lo, std::ceil(lo / r.step - 1e-9) * r.step);
    r.ticks = int(std::floor((hi - r.first) / r.step + 1e-9)) + 1;
    const bool top = std::abs(r.first + (r.ticks - 1) * r.step - hi) < r.step * 1e-9;
    r.bounded = r.first == lo && top;
    if (top && !r.bounded) {
        // Anchored ticks are found by adding the step up from the first; one that rounding puts a
        // hair past the top is left out. The top is where they arrive.
        double last = r.first;
        for (int i = 1; i < r.ticks; ++i)
            last += r.step;
        r.max = std::max(hi, last);
    }
    r.decimals = decimalsFor(r.step, r.first);
    return r;
}

namespace {

constexpr qint64 kDay = 86400000;
// Steps within a day: milliseconds, seconds, minutes, hours.
constexpr qint64 kSteps[] = {1,       2,       5,        10,       20,      50,     100,
                             200,     500,     1000,     2000,     5000,    10000,  15000,
                             30000,   60000,   120000,   300000,   600000,  900000, 1800000,
                             3600000, 7200000, 10800000, 21600000, 43200000};
// More labels than that crowd even a wide axis.
constexpr int kMostTicks = 8;
// Room a label needs beside its text within its share of the axis (padding each side), and the
// gap between neighbours that keeps them apart at a glance.
constexpr double kLabelRoom = 10.0, kLabelGap = 24.0;

}  // namespace

TimeTicks timeTicks(double lo, double hi, int width, int axisWidth,
                    const std::function<double(const QString&)>& textWidth) {
    if (!std::isfinite(lo) || !std::isfinite(hi) || !(hi > lo) || width <= 0)
        return {};
    const double span = hi - lo, perMs = width / span;
    const QDateTime start = QDateTime::fromMSecsSinceEpoch(qint64(std::ceil(lo)));
    const QDateTime end = QDateTime::fromMSecsSinceEpoch(qint64(std::floor(hi)));
    const QString format = span < kDay ? QString()
                           : start.date().year() != end.date().year()
                               ? QStringLiteral("dd.MM.yyyy HH:mm")
                               : QStringLiteral("dd.MM HH:mm");
    const auto formatFor = [&format](qint64 step) {
        return !format.isEmpty() ? format
               : step < 1000     ? QStringLiteral("HH:mm:ss.zzz")
                                 : QStringLiteral("HH:mm:ss");
    };
    // Whole steps of the local clock, not of UTC (a zone may be off by half an hour).
    const qint64 offset = qint64(start.offsetFromUtc()) * 1000;
    const auto place = [&](qint64 step) {
        QList<double> at;
        if (step < kDay) {
            const qint64 from = qint64(std::ceil(lo)) + offset;
            for (qint64 t = (from / step + (from % step > 0)) * step - offset; t <= hi; t += step)
                at.append(double(t));
            return at;
        }
        // Every so many local midnights from the first (a day may have 23 or 25 hours).
        QDate day = start.date();
        if (double(day.startOfDay().toMSecsSinceEpoch()) < lo)
            day = day.addDays(1);
        for (; double(day.startOfDay().toMSecsSinceEpoch()) <= hi; day = day.addDays(step / kDay))
            at.append(double(day.startOfDay().toMSecsSinceEpoch()));
        return at;
    };
    const auto fit = [&](qint64 step, TimeTicks& ticks) {
        const QString stepFormat = formatFor(step);
        // Cheap refusals first: labels about as wide as the first one, no more than fit.
        if (span / step > kMostTicks + 3 || step * perMs < textWidth(start.toString(stepFormat)))
            return false;
        ticks = {step, {}, {}};
        double widest = 0;
        for (double t : place(step)) {
            const QString label = QDateTime::fromMSecsSinceEpoch(qint64(t)).toString(stepFormat);
            const double w = textWidth(label);
            // Whole labels within the plot; a time the clock shows twice (set back) once.
            if ((t - lo) * perMs < w / 2 || (hi - t) * perMs < w / 2 ||
                ticks.labels.contains(label))
                continue;
            ticks.at.append(t);
            ticks.labels.append(label);
            widest = std::max(widest, w);
        }
        const auto n = ticks.at.size();
        // Room between neighbours; and none wider than its share of the axis, which the axis
        // would cut to "...".
        return n > 0 && n <= kMostTicks && step * perMs >= widest + kLabelGap &&
               widest + kLabelRoom <= double(std::max(width, axisWidth)) / double(n + 1);
    };
    TimeTicks ticks;
    for (qint64 step : kSteps)
        if (fit(step, ticks))
            return ticks;
    // In whole days, as few as fit.
    for (qint64 days = std::max<qint64>(1, qint64(span / kDay) / (kMostTicks + 3));
         days * kDay <= span + kDay; days = std::max(days + 1, days * 11 / 10))
        if (fit(days * kDay, ticks))
            return ticks;
    return {};
}

}  // namespace AxisTicks
