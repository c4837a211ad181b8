#include "chart/round.h"
#include "chart/vertical_range.h"

#include <gtest/gtest.h>

#include <ostream>

namespace {

using korimo::RoundToPlaces;

struct RoundCase {
    int places;
    double value;
    double expected;
};

void PrintTo(const RoundCase& c, std::ostream* os)
{
    *os << "RoundToPlaces(" << c.places << ", " << c.value << ")";
}

class RoundToPlacesTable : public ::testing::TestWithParam<RoundCase> {};

TEST_P(RoundToPlacesTable, RoundsTheStoredDoubleHalfToEven)
{
    const RoundCase c = GetParam();
    EXPECT_EQ(RoundToPlaces(c.places, c.value), c.expected)
        << "RoundToPlaces(" << c.places << ", " << c.value << ")";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RoundToPlacesTable,
    ::testing::Values(
        // 36.55 is held as 36.5499..., 36.35 as 36.3500...01, 36.25 is an exact tie.
        RoundCase{1, 36.55, 36.5}, RoundCase{1, 36.35, 36.4}, RoundCase{1, 36.25, 36.2},
        RoundCase{2, 36.125, 36.12}, RoundCase{0, 2.5, 2.0}, RoundCase{0, 3.5, 4.0},
        RoundCase{0, 0.0, 0.0}, RoundCase{3, 0.0, 0.0}, RoundCase{0, 2.4999, 2.0}, RoundCase{0, 2.5001, 3.0},
        RoundCase{1, 36.45, 36.5}, RoundCase{1, 37.05, 37.0}, RoundCase{2, 36.5, 36.5},
        RoundCase{2, 1.005, 1.0}, RoundCase{1, 97.5, 97.5}, RoundCase{2, 36.555, 36.55}, RoundCase{1, 0.05, 0.1},
        // The same ties and near-ties below zero round symmetrically.
        RoundCase{0, -2.5, -2.0}, RoundCase{0, -3.5, -4.0}, RoundCase{1, -36.55, -36.5},
        RoundCase{1, -36.35, -36.4}, RoundCase{1, -36.25, -36.2}, RoundCase{2, -36.125, -36.12},
        RoundCase{0, -0.4, 0.0}, RoundCase{1, -0.05, -0.1},
        // Negative places round to tens, hundreds.
        RoundCase{-1, 35.0, 40.0}, RoundCase{-1, 25.0, 20.0}, RoundCase{-2, 1250.0, 1200.0}));

TEST(RoundToPlaces, NegativeZeroResultKeepsItsValue)
{
    // -0.04 rounds to a zero; whatever its sign it must compare equal to 0.
    EXPECT_EQ(RoundToPlaces(1, -0.04), 0.0);
}

struct RangeCase {
    double minT;
    double maxT;
    double lower;
    double upper;
};

void PrintTo(const RangeCase& c, std::ostream* os)
{
    *os << "lowest " << c.minT << " highest " << c.maxT;
}

class VerticalRangeTable : public ::testing::TestWithParam<RangeCase> {};

TEST_P(VerticalRangeTable, FitsTheBoundsToTheTemperatures)
{
    const RangeCase c = GetParam();
    EXPECT_EQ(korimo::LowerBound(c.minT), c.lower) << "lowest " << c.minT;
    EXPECT_EQ(korimo::UpperBound(c.maxT), c.upper) << "highest " << c.maxT;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, VerticalRangeTable,
    ::testing::Values(
        RangeCase{0.0, 0.0, 36.2, 37.5},   // no temperature recorded
        RangeCase{36.5, 36.9, 36.2, 37.2},
        RangeCase{36.55, 36.75, 36.2, 37.0}, // 36.25 is a tie to even; 37.05 is held below 37.05
        RangeCase{36.45, 36.65, 36.2, 36.9},
        RangeCase{36.35, 37.25, 36.1, 37.5},
        RangeCase{36.05, 37.25, 35.8, 37.5},
        RangeCase{36.6, 36.6, 36.3, 36.9},  // a single reading
        RangeCase{97.5, 97.5, 97.2, 97.8},  // typed in Fahrenheit
        RangeCase{36.554, 36.746, 36.2, 37.0}, // rounded to 36.55 and 36.75 first
        RangeCase{36.556, 36.744, 36.3, 37.0}));

TEST(VerticalRange, EachBoundIsComputedOnItsOwn)
{
    EXPECT_EQ(korimo::LowerBound(0.0), 36.2);
    EXPECT_EQ(korimo::UpperBound(36.6), 36.9);
    EXPECT_EQ(korimo::LowerBound(36.6), 36.3);
    EXPECT_EQ(korimo::UpperBound(0.0), 37.5);
}

TEST(VerticalRange, MarkerRowsStandAboveTheLowerBound)
{
    struct Case {
        double lower;
        double menstruation;
        double intercourse;
    };
    for (const Case& c : {Case{36.2, 36.4, 36.3}, Case{35.8, 36.0, 35.9}, Case{97.2, 97.4, 97.3}}) {
        EXPECT_DOUBLE_EQ(korimo::MenstruationMarkerY(c.lower), c.menstruation) << c.lower;
        EXPECT_DOUBLE_EQ(korimo::IntercourseMarkerY(c.lower), c.intercourse) << c.lower;
        EXPECT_GT(korimo::MenstruationMarkerY(c.lower), korimo::IntercourseMarkerY(c.lower));
    }
}

TEST(VerticalRange, MarkerRowsUseExtendedSums)
{
    // The extended sum is rounded once; it is the double nearest 36.2 + 0.2L, not the result of a
    // second rounding of a double sum.
    const long double exact = static_cast<long double>(36.2) + 0.2L;
    EXPECT_EQ(korimo::MenstruationMarkerY(36.2), static_cast<double>(exact));
    EXPECT_EQ(korimo::IntercourseMarkerY(36.2), static_cast<double>(static_cast<long double>(36.2) + 0.1L));
}

} // namespace
