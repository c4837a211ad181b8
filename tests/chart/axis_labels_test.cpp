#include "chart/axis_labels.h"

#include <QLocale>

#include <gtest/gtest.h>

#include <ostream>

namespace {

using namespace korimo::chart;

struct FormatCase {
    double value;
    const char* expected;
};

void PrintTo(const FormatCase& c, std::ostream* os)
{
    *os << c.value;
}

class FormatNumberTable : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatNumberTable, PrintsUpToThreeDecimalsWithoutTrailingZeros)
{
    const FormatCase c = GetParam();
    EXPECT_EQ(formatNumber(c.value), QString::fromUtf8(c.expected)) << c.value;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FormatNumberTable,
    ::testing::Values(FormatCase{36.5, "36.5"}, FormatCase{37.0, "37"}, FormatCase{36.55, "36.55"},
                      FormatCase{0.0, "0"}, FormatCase{29.0, "29"}, FormatCase{0.1 + 0.2, "0.3"},
                      FormatCase{36.2 + 0.2, "36.4"}, FormatCase{36.0004, "36"}, FormatCase{0.1236, "0.124"},
                      FormatCase{1234.5, "1,234.5"}, FormatCase{1234567.0, "1,234,567"}, FormatCase{999.0, "999"},
                      FormatCase{-0.5, "-0.5"}, FormatCase{-0.0001, "0"}, FormatCase{-1500.25, "-1,500.25"},
                      FormatCase{97.5, "97.5"}));

TEST(FormatNumber, FollowsTheDefaultLocaleSeparators)
{
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const QString german = formatNumber(1234.5);
    QLocale::setDefault(saved);
    EXPECT_EQ(german, QStringLiteral("1.234,5"));
    EXPECT_EQ(formatNumber(1234.5), QStringLiteral("1,234.5"));
}

TEST(LabelsThatFit, DividesTheAxisByLabelAndSeparation)
{
    struct Case {
        int length, size, separation, expected;
    };
    for (const Case& c : {Case{700, 14, 1, 46}, Case{700, 20, 2, 31}, Case{280, 12, 0, 23},
                          Case{10, 14, 1, 0}, Case{0, 14, 1, 0}, Case{-5, 14, 1, 0}, Case{50, 0, 0, 50}})
        EXPECT_EQ(labelsThatFit(c.length, c.size, c.separation), c.expected)
            << c.length << " / (" << c.size << " + " << c.separation << ")";
}

TEST(LabelSeparation, IsAPercentOfTheLabelRoundedToWholePixels)
{
    struct Case {
        int size, percent, expected;
    };
    for (const Case& c : {Case{12, 1, 0}, Case{150, 1, 2}, Case{14, 10, 1}, Case{15, 10, 2}, Case{25, 10, 2},
                          Case{35, 10, 4}, Case{21, 10, 2}})
        EXPECT_EQ(labelSeparation(c.size, c.percent), c.expected) << c.percent << "% of " << c.size;
}

TEST(NextLabelStep, GrowsAlongOneTwoFive)
{
    struct Case {
        double step, next;
    };
    for (const Case& c : {Case{0.1, 0.2}, Case{0.2, 0.5}, Case{0.5, 1}, Case{1, 2}, Case{2, 5}, Case{5, 10},
                          Case{10, 20}, Case{50, 100}, Case{1000, 2000}, Case{0.001, 0.002}, Case{0.3, 0.5},
                          Case{3, 5}, Case{7, 10}})
        EXPECT_DOUBLE_EQ(nextLabelStep(c.step), c.next) << c.step;
}

TEST(LabelStep, GrowsOnlyWhileTheLabelsDoNotFit)
{
    struct Case {
        double minimum, maximum, increment;
        int fit;
        double expected;
    };
    for (const Case& c : {
             Case{0, 29, 1, 48, 1},        // 28 days: one label per day
             Case{0, 101, 1, 31, 5},       // 100 days: 101, 50.5 -> 50, 20.2 -> 20
             Case{0, 101, 1, 10, 10},      // 10.1 rounds to 10, which fits
             Case{36.2, 37.5, 0.1, 21, 0.1},
             Case{36.2, 37.5, 0.1, 6, 0.2},  // 6.5 rounds to 6 (ties to even)
             Case{36.2, 37.5, 0.1, 5, 0.5},
             Case{35, 40, 0.1, 10, 0.5},
             Case{0, 10, 1, 0, 20},        // nothing fits: the step outgrows the range
             Case{0, 29, 1, 29, 1},        // exactly as many as fit
             Case{29, 0, 1, 48, 1},        // a reversed range counts its length
         })
        EXPECT_DOUBLE_EQ(labelStep(c.minimum, c.maximum, c.increment, c.fit), c.expected)
            << c.minimum << ".." << c.maximum << " fit " << c.fit;
}

TEST(LabelValues, ListsEveryMultipleOfTheStepInTheRange)
{
    const auto days = labelValues(0, 29, 1);
    ASSERT_EQ(days.size(), 30u);
    EXPECT_EQ(days.front(), 0);
    EXPECT_EQ(days.back(), 29);

    const auto fives = labelValues(0, 101, 5);
    ASSERT_EQ(fives.size(), 21u);
    EXPECT_EQ(fives.back(), 100);

    const auto degrees = labelValues(36.2, 37.5, 0.1);
    ASSERT_EQ(degrees.size(), 14u);
    QStringList texts;
    for (double v : degrees)
        texts << formatNumber(v);
    EXPECT_EQ(texts.join(' '), QStringLiteral("36.2 36.3 36.4 36.5 36.6 36.7 36.8 36.9 37 37.1 37.2 37.3 37.4 37.5"));
    EXPECT_EQ(degrees.front(), 36.2);
    EXPECT_EQ(degrees.back(), 37.5);

    const auto zoomed = labelValues(3.7, 10, 2);
    EXPECT_EQ(zoomed, (std::vector<double>{4, 6, 8, 10}));

    EXPECT_TRUE(labelValues(10, 0, 1).empty());
    EXPECT_TRUE(labelValues(0, 10, 0).empty());
    EXPECT_TRUE(labelValues(0, 10, -1).empty());
}

} // namespace
