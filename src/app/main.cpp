#include "app/main_window.h"
#include "app/skin.h"
#include "platform/fonts.h"
#include "platform/process.h"

#include <QApplication>
#include <QDir>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Korimo"));
    korimo::platform::installFontSubstitutions();
    korimo::applySkin(app);
    korimo::platform::runPendingDeletions();

    korimo::TFrm_Main Frm_Main(QDir(QApplication::applicationDirPath()).absolutePath() + QLatin1Char('/'));
    Frm_Main.show();
    return QApplication::exec();
}
