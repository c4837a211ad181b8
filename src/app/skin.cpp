#include "app/skin.h"

#include <QApplication>
#include <QFile>
#include <QStyleFactory>

// The style sheet lives in a static library's resources, which the linker would drop unless
// they are referenced.
static void initSkinResource()
{
    Q_INIT_RESOURCE(skin);
}

namespace korimo {

void applySkin(QApplication& app)
{
    initSkinResource();
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(fusion);
    QFile sheet(QStringLiteral(":/korimo/skin.qss"));
    if (sheet.open(QIODevice::ReadOnly))
        app.setStyleSheet(QString::fromUtf8(sheet.readAll()));
}

} // namespace korimo
