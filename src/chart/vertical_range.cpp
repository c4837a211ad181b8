#include "chart/vertical_range.h"

#include "chart/round.h"

namespace korimo {

namespace {

constexpr long double kRoom = 0.3L;
constexpr long double kMenstruationRow = 0.2L;
constexpr long double kIntercourseRow = 0.1L;

} // namespace

double LowerBound(double minT)
{
    if (minT == 0.0)
        return 36.2;
    const long double d = static_cast<long double>(RoundToPlaces(2, minT)) - kRoom;
    return RoundToPlaces(1, static_cast<double>(d));
}

double UpperBound(double maxT)
{
    if (maxT == 0.0)
        return 37.5;
    const long double u = static_cast<long double>(RoundToPlaces(2, maxT)) + kRoom;
    return RoundToPlaces(1, static_cast<double>(u));
}

double MenstruationMarkerY(double lowerBound)
{
    return static_cast<double>(static_cast<long double>(lowerBound) + kMenstruationRow);
}

double IntercourseMarkerY(double lowerBound)
{
    return static_cast<double>(static_cast<long double>(lowerBound) + kIntercourseRow);
}

} // namespace korimo
