#pragma once

namespace korimo {

class Chart;
class Query;

// The draw command: fits the chart to the current cycle of `cycles` (the row current in the
// cycles list) and fills it. Reopens `records` on the cycle's days (the records grid follows),
// `readings` on the days that have a temperature, leaves `scratch` on the temperature range; the
// line comes from `readings`, the menstruation and intercourse markers from `records`.
// Does nothing when the current cycle has no id (empty list, or a new cycle not yet saved).
void drawCurve(Query& cycles, Query& records, Query& readings, Query& scratch, Chart& chart);

// Empties the line and the markers; the axes keep their ranges.
void clearCurve(Chart& chart);

} // namespace korimo
