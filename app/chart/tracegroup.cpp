#include "tracegroup.h"

#include <algorithm>

namespace TraceGroup {

AxisPlanner::Bounds bounds(const std::vector<const ChartPass*>& passes) {
    AxisPlanner::Bounds all;
    for (const ChartPass* p : passes) {
        if (p->bounds.count == 0)
            continue;
        const qint64 count = all.count;
        all.add(p->bounds.xMin, p->bounds.yMin);
        all.add(p->bounds.xMax, p->bounds.yMax);
        all.count = count + p->bounds.count;
    }
    return all;
}

ChartView::Span extent(const std::vector<const ChartPass*>& passes) {
    ChartView::Span span;
    for (const ChartPass* p : passes) {
        if (!(p->dataMin <= p->dataMax))
            continue;
        span.min = span.set ? std::min(span.min, p->dataMin) : p->dataMin;
        span.max = span.set ? std::max(span.max, p->dataMax) : p->dataMax;
        span.set = true;
    }
    return span;
}

std::optional<PowerUnits::Unit> sharedUnit(const std::vector<const ChartPass*>& passes) {
    std::optional<PowerUnits::Unit> unit;
    for (const ChartPass* p : passes) {
        if (!p->unit)
            continue;
        if (!unit)
            unit = p->unit;
        else if (p->unit->family == unit->family)
            unit->step = std::max(unit->step, p->unit->step);
    }
    return unit;
}

ChartPass inUnit(const ChartPass& pass, const std::optional<PowerUnits::Unit>& to) {
    if (!pass.unit || !to || *pass.unit == *to || pass.unit->family != to->family)
        return pass;
    ChartPass out = pass;
    const auto convert = [&](double y) { return PowerUnits::convert(y, *pass.unit, *to); };
    for (QPointF& p : out.points)
        p.setY(convert(p.y()));
    out.bounds.yMin = convert(pass.bounds.yMin);
    out.bounds.yMax = convert(pass.bounds.yMax);
    out.unit = to;
    return out;
}

}  // namespace TraceGroup
