#pragma once

#include <limits>

namespace korimo {

// The axis bounds of the temperature chart are decided by this rounding, and the users' old charts
// were drawn with 80-bit extended intermediates. Doing the same arithmetic in plain double moves
// some bounds by a tenth of a degree (36.55 and 37.05 are the classic cases), so the extended type
// is a hard requirement, not a nicety.
static_assert(std::numeric_limits<long double>::digits == 64,
              "RoundToPlaces needs long double to be the 80-bit extended format (64-bit significand)");
static_assert(std::numeric_limits<long double>::radix == 2, "long double must be a binary format");

// Rounds a value to `places` decimals: the value is scaled by 10^places in extended precision, the
// product rounded to the nearest integer with ties to the even one, and divided back in extended
// precision; the quotient is then rounded to a double. 0.0 stays 0.0 and places 0 rounds straight
// to an integer (ties to even). A negative `places` rounds to tens, hundreds, ... the same way.
double RoundToPlaces(int places, double value);

namespace chart {

// Nearest integer, ties to the even one, independent of the FPU's current rounding mode.
long double roundHalfEven(long double value);

} // namespace chart

} // namespace korimo
