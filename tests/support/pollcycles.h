#pragma once

#include "simmeter.h"

#include <QList>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <vector>

// When simulated meters were asked for power, and how far apart the meters of one poll cycle
// were asked: the figures the shared poll clock is judged by.
namespace pollcycles {

using Clock = SimMeter::Clock;
using Times = std::vector<Clock::time_point>;

inline double ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// The moments the meter's power requests came in whole, within [from, to].
inline Times powerRequests(const SimMeter& meter, Clock::time_point from, Clock::time_point to) {
    Times out;
    const QList<SimMeter::Exchange> exchanges = meter.exchanges();
    for (const SimMeter::Exchange& e : exchanges)
        if (e.command.startsWith("info.power") && e.asked >= from && e.asked <= to)
            out.push_back(e.asked);
    return out;
}

struct Skews {
    std::vector<double> ms;  // one per cycle every meter was asked in
    int incomplete = 0;      // cycles of the first meter some other meter missed
};

// Cycles are the first meter's requests; each other meter's nearest request within half a poll
// belongs to the same cycle. The skew of a cycle is its latest request less its earliest.
inline Skews cycleSkews(const std::vector<Times>& meters, int pollMs) {
    Skews out;
    for (const Clock::time_point anchor : meters.empty() ? Times() : meters.front()) {
        Clock::time_point lo = anchor, hi = anchor;
        size_t m = 1;
        for (; m < meters.size(); ++m) {
            const auto nearest =
                std::min_element(meters[m].begin(), meters[m].end(), [&](auto a, auto b) {
                    return std::abs(ms(a - anchor)) < std::abs(ms(b - anchor));
                });
            if (nearest == meters[m].end() || std::abs(ms(*nearest - anchor)) > pollMs / 2.0)
                break;
            lo = std::min(lo, *nearest);
            hi = std::max(hi, *nearest);
        }
        m == meters.size() ? out.ms.push_back(ms(hi - lo)) : void(++out.incomplete);
    }
    return out;
}

inline double median(std::vector<double> v) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace pollcycles
