#include "platform/fonts.h"

#include <QFont>
#include <QStringList>

namespace korimo::platform {

void installFontSubstitutions()
{
    const QStringList faces{QStringLiteral("AR PL UMing CN"), QStringLiteral("AR PL UMing TW"),
                            QStringLiteral("WenQuanYi Zen Hei")};
    QFont::insertSubstitutions(QStringLiteral("宋体"), faces);
    QFont::insertSubstitutions(QStringLiteral("SimSun"), faces);
}

} // namespace korimo::platform
