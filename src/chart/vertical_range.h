#pragma once

namespace korimo {

// The left axis of the temperature chart runs from a lower to an upper bound fitted to the lowest
// and highest temperature of the cycle, with 0.3 degrees of room on each side. A value of 0.0 means
// the cycle has no temperature: the chart then shows the usual band of 36.2 to 37.5.
// The constants are the extended values nearest 0.3, 0.2 and 0.1 and the sums are formed in
// extended precision, then rounded to double, so that the bounds match the charts users know.
double LowerBound(double minT);
double UpperBound(double maxT);

// The two rows of day markers stand 0.2 (menstruation, "▲") and 0.1 (intercourse, "★") above the
// lower bound, below the lowest point of the line.
double MenstruationMarkerY(double lowerBound);
double IntercourseMarkerY(double lowerBound);

} // namespace korimo
