#include "chart/print_layout.h"

#include <gtest/gtest.h>

#include <ostream>

namespace {

struct PrintCase {
    int chartWidth, chartHeight, pageWidth, pageHeight, dpiX, dpiY;
    int leftMargin, topMargin, rightMargin, bottomMargin;
    int left, top, right, bottom;
};

void PrintTo(const PrintCase& c, std::ostream* os)
{
    *os << "chart " << c.chartWidth << "x" << c.chartHeight << " page " << c.pageWidth << "x" << c.pageHeight
        << " at " << c.dpiX << "x" << c.dpiY;
}

class PrintLayoutTable : public ::testing::TestWithParam<PrintCase> {};

TEST_P(PrintLayoutTable, PlacesTheChartOnThePage)
{
    const PrintCase c = GetParam();
    const auto l = korimo::chart::computePrintLayout(c.chartWidth, c.chartHeight, c.pageWidth,
                                                     c.pageHeight, c.dpiX, c.dpiY);
    EXPECT_EQ(l.leftMargin, c.leftMargin);
    EXPECT_EQ(l.topMargin, c.topMargin);
    EXPECT_EQ(l.rightMargin, c.rightMargin);
    EXPECT_EQ(l.bottomMargin, c.bottomMargin);
    EXPECT_EQ(l.left, c.left);
    EXPECT_EQ(l.top, c.top);
    EXPECT_EQ(l.right, c.right);
    EXPECT_EQ(l.bottom, c.bottom);
    EXPECT_EQ(l.rect(), QRect(c.left, c.top, c.right - c.left, c.bottom - c.top));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PrintLayoutTable,
    ::testing::Values(
        // Portrait and landscape A4-like pages at 600 dpi with the chart's 814 x 376.
        PrintCase{814, 376, 4800, 6800, 600, 600, 15, 40, 15, 40, 720, 2720, 4080, 4080},
        PrintCase{814, 376, 6800, 4800, 600, 600, 15, 30, 15, 30, 1020, 1440, 5780, 3360},
        // A chart taller than wide takes the fixed margin at the top and bottom instead.
        PrintCase{376, 814, 4800, 6800, 600, 600, 30, 15, 30, 15, 1440, 1020, 3360, 5780},
        // Non-square dots: 600 x 300 dpi stretches the short side's share by 2.
        // 100 * (3400 - 2880 * 376/814 * 2) / 3400 = 21.74... -> 22 -> 11.
        PrintCase{814, 376, 4800, 3400, 600, 300, 15, 11, 15, 11, 720, 374, 4080, 3026}));

TEST(PrintLayout, DegenerateInputGivesAnEmptyLayout)
{
    for (const auto& l : {korimo::chart::computePrintLayout(0, 0, 4800, 6800, 600, 600),
                          korimo::chart::computePrintLayout(814, 376, 4800, 6800, 0, 600),
                          korimo::chart::computePrintLayout(814, 376, 0, 0, 600, 600)}) {
        EXPECT_LE(l.left, l.right);
        EXPECT_LE(l.top, l.bottom + 1);
    }
    EXPECT_TRUE(korimo::chart::computePrintLayout(0, 0, 4800, 6800, 600, 600).rect().isNull());
}

} // namespace
