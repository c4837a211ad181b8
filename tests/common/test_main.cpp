#include <QApplication>
#include <QLocale>
#include <gtest/gtest.h>

#include "platform/fonts.h"

#include <cstdlib>

// Every test binary shares this main: widgets need a QApplication, and the offscreen platform
// lets GUI tests run without a display (also when a binary is started outside CTest, which sets
// the variable itself). The locale is fixed so that date and number texts do not depend on the
// machine the tests run on.
int main(int argc, char** argv)
{
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    QApplication app(argc, argv);
    QApplication::setApplicationName("Korimo");
    korimo::platform::installFontSubstitutions();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
