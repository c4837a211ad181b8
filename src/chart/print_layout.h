#pragma once

#include <QRect>

namespace korimo::chart {

// Where the chart goes on a printed page. The chart keeps the proportions it has on the screen:
// the long side gets a fixed margin of 15 % and the short side whatever centres the chart at
// 60 % of the page's long side, corrected for printers whose dots are not square.
struct PrintLayout {
    // Margins in percent of the printable page.
    int leftMargin = 0;
    int topMargin = 0;
    int rightMargin = 0;
    int bottomMargin = 0;
    // Edges of the print rectangle in printer pixels; right and bottom lie just outside it.
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    // The rectangle the chart is drawn into: from (left, top), right - left wide, bottom - top high.
    QRect rect() const { return QRect(left, top, right - left, bottom - top); }
};

// chartWidth/chartHeight: the chart's size on the screen in pixels; pageWidth/pageHeight: the
// printable area in printer pixels; dpiX/dpiY: the printer's resolution. The arithmetic is done in
// extended precision with rounding to nearest, ties to even, like the rest of the chart's numbers.
PrintLayout computePrintLayout(int chartWidth, int chartHeight, int pageWidth, int pageHeight,
                               int dpiX, int dpiY);

} // namespace korimo::chart
