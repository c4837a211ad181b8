#include "app/status_strip.h"

#include <QPainter>
#include <qdrawutil.h>
#include <QStyle>
#include <QStyleOptionFrame>

namespace korimo {

StatusStrip::StatusStrip(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void StatusStrip::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setPen(palette().color(QPalette::WindowText));
    for (int i = 0; i < kPanels; ++i) {
        const QRect panel(i * kPanelWidth, 0, kPanelWidth - 2, height());
        if (panel.left() >= width())
            break;
        qDrawShadePanel(&p, panel, palette(), true, 1);
        if (i != kEmptyPanel)
            p.drawText(panel.adjusted(2, 0, -2, 0), Qt::AlignLeft | Qt::AlignVCenter,
                       QStringLiteral(":::::::::"));
    }
}

} // namespace korimo
