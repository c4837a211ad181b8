#include "chart/print_layout.h"

#include "chart/round.h"

#include <cmath>

namespace korimo::chart {

namespace {

constexpr int kLongSideMargin = 15;

int roundToInt(long double value)
{
    return static_cast<int>(roundHalfEven(value));
}

// Margin in percent on the short side: the chart takes 60 % of the page's long side (s1) and is
// scaled by its own aspect ratio (ratio) onto the short side (s2); half of the rest goes to each
// margin. The halving truncates toward zero.
int shortSideMargin(int s1, int s2, long double ratio, long double dotAspect)
{
    if (s2 == 0)
        return 0;
    const long double ls1 = s1;
    const long double ls2 = s2;
    const long double used = (ls1 - ls1 * 40 * 0.01L) * ratio * dotAspect;
    const long double percent = 100 * (ls2 - used) / ls2;
    return roundToInt(percent) / 2;
}

} // namespace

PrintLayout computePrintLayout(int chartWidth, int chartHeight, int pageWidth, int pageHeight,
                               int dpiX, int dpiY)
{
    PrintLayout layout;
    if (chartWidth <= 0 || chartHeight <= 0 || dpiX <= 0 || dpiY <= 0)
        return layout;

    const long double dotAspect = static_cast<long double>(dpiX) / dpiY;
    if (chartHeight < chartWidth) {
        layout.leftMargin = layout.rightMargin = kLongSideMargin;
        const long double ratio = static_cast<long double>(chartHeight) / chartWidth;
        layout.topMargin = layout.bottomMargin = shortSideMargin(pageWidth, pageHeight, ratio, dotAspect);
    } else {
        layout.topMargin = layout.bottomMargin = kLongSideMargin;
        const long double ratio = static_cast<long double>(chartWidth) / chartHeight;
        layout.leftMargin = layout.rightMargin = shortSideMargin(pageHeight, pageWidth, ratio, dotAspect);
    }

    const long double tx = 0.01L * pageWidth / dpiX;
    const long double ty = 0.01L * pageHeight / dpiY;
    layout.left = roundToInt(dpiX * (layout.leftMargin * tx));
    layout.right = pageWidth - roundToInt(dpiX * (layout.rightMargin * tx));
    layout.top = roundToInt(dpiY * (layout.topMargin * ty));
    layout.bottom = pageHeight - roundToInt(dpiY * (layout.bottomMargin * ty));
    return layout;
}

} // namespace korimo::chart
