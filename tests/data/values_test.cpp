#include "data/values.h"

#include <QLocale>

#include <gtest/gtest.h>

using namespace korimo;

TEST(Values, FloatsShowTheirShortestRoundTrippingDecimal)
{
    const struct {
        double value;
        const char* text;
    } cases[] = {{36.5, "36.5"}, {36.55, "36.55"}, {37.0, "37"}, {0.1 + 0.2, "0.30000000000000004"},
                 {-0.5, "-0.5"}, {1234.5, "1234.5"}};
    for (const auto& c : cases)
        EXPECT_EQ(floatText(c.value), QString::fromUtf8(c.text)) << c.text;
}

TEST(Values, DatesAreDaysSince18991230)
{
    EXPECT_EQ(toDateTimeValue(QDate(1899, 12, 30)), 0.0);
    EXPECT_EQ(toDateTimeValue(QDate(2010, 1, 1)), 40179.0);
    EXPECT_EQ(toDate(40179.75), QDate(2010, 1, 1)); // the time of day does not change the date
}

TEST(Values, DateEntryAcceptsTheShortFormatAndIsoForms)
{
    for (const char* text : {"2010/1/30", "2010-01-30", "2010/01/30", "2010-1-30", " 2010-01-30 "}) {
        double v = 0;
        ASSERT_TRUE(parseDate(QString::fromUtf8(text), &v)) << text;
        EXPECT_EQ(toDate(v), QDate(2010, 1, 30)) << text;
    }
    for (const char* text : {"", "2010-02-30", "30.01.2010x", "abc"}) {
        double v = 0;
        EXPECT_FALSE(parseDate(QString::fromUtf8(text), &v)) << text;
    }
}

TEST(Values, TwoDigitYearFormatsAreShownWithFourDigits)
{
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); // M/d/yy
    EXPECT_EQ(dateText(toDateTimeValue(QDate(2010, 1, 30))), QStringLiteral("1/30/2010"));
    double v = 0;
    EXPECT_TRUE(parseDate(QStringLiteral("1/30/2010"), &v));
    EXPECT_EQ(toDate(v), QDate(2010, 1, 30));
    QLocale::setDefault(saved);
}

TEST(Values, NumbersParseStrictly)
{
    double f = 0;
    EXPECT_TRUE(parseFloat(QStringLiteral("36.5"), &f));
    EXPECT_EQ(f, 36.5);
    EXPECT_FALSE(parseFloat(QStringLiteral("1,000.5"), &f));
    EXPECT_FALSE(parseFloat(QStringLiteral("inf"), &f));
    qint64 i = 0;
    EXPECT_TRUE(parseInteger(QStringLiteral("+28"), &i));
    EXPECT_EQ(i, 28);
    EXPECT_TRUE(parseInteger(QStringLiteral("-3"), &i));
    EXPECT_EQ(i, -3);
    EXPECT_FALSE(parseInteger(QStringLiteral("-"), &i));
    EXPECT_FALSE(parseInteger(QStringLiteral("99999999999999999999"), &i));
}
