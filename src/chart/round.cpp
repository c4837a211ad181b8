#include "chart/round.h"

#include <cmath>

namespace korimo {

namespace chart {

long double roundHalfEven(long double value)
{
    if (!std::isfinite(value))
        return value;
    const long double below = std::floor(value);
    // Exact: both values are representable and lie within one unit of each other.
    const long double fraction = value - below;
    if (fraction < 0.5L)
        return below;
    if (fraction > 0.5L)
        return below + 1.0L;
    return std::fmod(below, 2.0L) == 0.0L ? below : below + 1.0L;
}

} // namespace chart

namespace {

// 10^n in extended precision; exact for every n the chart can meet (10^27 still fits 64 bits of
// significand), and correctly rounded beyond that is not needed.
long double powerOfTen(int n)
{
    long double p = 1.0L;
    for (int i = 0; i < n; ++i)
        p *= 10.0L;
    return p;
}

} // namespace

double RoundToPlaces(int places, double value)
{
    if (value == 0.0)
        return 0.0;
    if (places == 0)
        return static_cast<double>(chart::roundHalfEven(value));
    if (places > 0) {
        const long double p = powerOfTen(places);
        const long double product = static_cast<long double>(value) * p;
        const long double quotient = chart::roundHalfEven(product) / p;
        return static_cast<double>(quotient);
    }
    // Rounding to tens and beyond: divide first so that the scale stays an exact integer.
    const long double p = powerOfTen(-places);
    const long double scaled = static_cast<long double>(value) / p;
    return static_cast<double>(chart::roundHalfEven(scaled) * p);
}

} // namespace korimo
