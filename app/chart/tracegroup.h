#pragma once

#include <optional>
#include <vector>

#include "axisplanner.h"
#include "chartpass.h"
#include "chartview.h"
#include "powerunits.h"

// The passes of several traces drawn on one pair of axes (one meter each): what they span
// together and the unit they are drawn in. Each meter's points come in the prefix of its own
// largest value; on a shared axis they take the largest prefix among them.
namespace TraceGroup {

// The bounds of what all of them have in view.
AxisPlanner::Bounds bounds(const std::vector<const ChartPass*>& passes);
// The time extent of all their points; unset where none has any.
ChartView::Span extent(const std::vector<const ChartPass*>& passes);
// The unit of the first pass that has one, with the largest prefix of that family among them.
std::optional<PowerUnits::Unit> sharedUnit(const std::vector<const ChartPass*>& passes);
// The pass's points and value bounds in `to` (of its own family; another family stays as it is).
ChartPass inUnit(const ChartPass& pass, const std::optional<PowerUnits::Unit>& to);

}  // namespace TraceGroup
