#pragma once

#include <QColor>
#include <QFont>
#include <QString>

// The fixed look of the temperature chart, in one place so that the screen, the picture file and
// the printed page cannot drift apart.
namespace korimo::chart::style {

// The bottom of the background gradient and the title box. Windows calls it the active caption's
// gradient colour; on other desktops there is no such system colour, so we use the light blue the
// classic Windows theme gives it.
inline QColor captionGradient() { return QColor(185, 209, 234); }

inline QColor blue() { return QColor(0, 0, 255); }
inline QColor red() { return QColor(255, 0, 0); }
inline QColor green() { return QColor(0, 128, 0); }
inline QColor teal() { return QColor(0, 128, 128); }
inline QColor yellow() { return QColor(255, 255, 0); }
inline QColor grid() { return QColor(255, 255, 128); }
inline QColor markFrame() { return QColor(230, 230, 230); }
inline QColor connector() { return QColor(13, 3, 188); }
inline QColor markerBox() { return QColor(128, 128, 128); }

inline QString title() { return QStringLiteral("基础体温曲线图"); }
inline QString foot() { return QStringLiteral("“--”体温   “▲”月经   “★”同房"); }

inline QFont font(const QString& family, int pixels, bool bold)
{
    QFont f(family);
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}
inline QFont titleFont() { return font(QStringLiteral("宋体"), 16, true); }
inline QFont footFont() { return font(QStringLiteral("宋体"), 13, true); }
inline QFont axisFont() { return font(QStringLiteral("宋体"), 12, true); }
inline QFont lineMarkFont() { return font(QStringLiteral("宋体"), 11, false); }
inline QFont pointMarkFont() { return font(QStringLiteral("Arial"), 11, false); }

constexpr int kPlotFrameWidth = 3;
constexpr int kGridWidth = 2;
constexpr int kTickWidth = 2;
constexpr int kAxisLineWidth = 1;
constexpr int kOuterTick = 4;
constexpr int kInnerTick = 2;
constexpr int kLineWidth = 2;
constexpr int kConnectorWidth = 4;
constexpr int kConnectorLength = 2;
constexpr int kPointHalfSize = 4;

} // namespace korimo::chart::style
