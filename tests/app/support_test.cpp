#include "app/guard.h"
#include "platform/ini_file.h"
#include "scripted_dialogs.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <stdexcept>

using namespace korimo;

TEST(ErrorBox, AppendsAFullStopOnlyAfterCharactersThatSortAfterIt)
{
    const struct {
        const char* message;
        const char* shown;
    } cases[] = {
        {"Could not find file 'x'.", "Could not find file 'x'."},
        {"database is locked", "database is locked."},
        {"删除失败！", "删除失败！."},
        {"", ""},
        {"ends with a dash -", "ends with a dash -"},
        {"count 3", "count 3."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(errorBoxText(QString::fromUtf8(c.message)), QString::fromUtf8(c.shown)) << c.message;
}

TEST(ErrorBox, TheGuardShowsAnEscapingErrorAndTheProgramGoesOn)
{
    korimo::testing::ScriptedDialogs dialogs;
    bool after = false;
    guarded(nullptr, [] { throw Error(QStringLiteral("体温超出范围")); });
    guarded(nullptr, [] { throw std::runtime_error("plain failure"); });
    guarded(nullptr, [&] { after = true; });
    EXPECT_TRUE(after);
    ASSERT_EQ(dialogs.shown().size(), 2u);
    EXPECT_EQ(dialogs.shown()[0].kind, korimo::testing::ScriptedDialogs::Kind::Error);
    EXPECT_EQ(dialogs.shown()[0].title, QStringLiteral("Korimo"));
    EXPECT_EQ(dialogs.shown()[0].text, QStringLiteral("体温超出范围."));
    EXPECT_EQ(dialogs.shown()[1].text, QStringLiteral("plain failure."));
}

TEST(IniFile, ReadsValuesAsTheClassicProfileReaderDoes)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("Version.ini"));
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("; comment\r\n"
                "[host]\r\n"
                "  HOST =  example.org/path  \r\n"
                "Host=second\r\n"
                "[Ver]\n"
                "Ver=\"3.1\"\n"
                "Empty=\n"
                "Long=" + QByteArray(3000, 'a') + "\n"
                "Name=体温\n"
                "[Ver]\n"
                "Other=later section ignored\n");
    }
    const struct {
        const char* section;
        const char* key;
        QString value;
    } cases[] = {
        {"Host", "Host", QStringLiteral("example.org/path")},
        {"VER", "ver", QStringLiteral("3.1")},
        {"Ver", "Empty", QString()},
        {"Ver", "Missing", QString()},
        {"Nowhere", "Ver", QString()},
        {"Ver", "Long", QString(2047, QLatin1Char('a'))},
        {"Ver", "Name", QStringLiteral("体温")},
        {"Ver", "Other", QString()},
    };
    for (const auto& c : cases)
        EXPECT_EQ(platform::readIniString(file, QString::fromUtf8(c.section), QString::fromUtf8(c.key)), c.value)
            << c.section << "/" << c.key;
    EXPECT_EQ(platform::readIniString(dir.filePath(QStringLiteral("none.ini")), QStringLiteral("Ver"),
                                      QStringLiteral("Ver")),
              QString());
}
