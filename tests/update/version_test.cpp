#include "qt_printers.h"
#include "update/version.h"

#include <QLocale>

#include <gtest/gtest.h>

namespace korimo::update {
namespace {

struct RefererCase {
    const char* url;
    const char* referer;
};

class RefererForTest : public ::testing::TestWithParam<RefererCase> {};

TEST_P(RefererForTest, CutsAtTheLastSlash)
{
    EXPECT_EQ(RefererFor(GetParam().url), QByteArray(GetParam().referer));
}

INSTANTIATE_TEST_SUITE_P(
    Urls, RefererForTest,
    ::testing::Values(
        RefererCase{"http://up.example.cn/Update.asp?Command=Version", "http://up.example.cn"},
        RefererCase{"http://up.example.cn/soft/bbt/Update.asp?Command=Version",
                    "http://up.example.cn/soft/bbt"},
        RefererCase{"http://h:8080/Update.asp?Command=Download&Version=1/2", "http://h:8080/Update.asp?Command=Download&Version=1"},
        RefererCase{"http://up.example.cn", "http:/"},
        RefererCase{"no-slash-at-all", "no-slash-at-all"},
        RefererCase{"", ""}));

struct VersionCase {
    QByteArray a;
    QByteArray b;
    int order; // sign of the comparison of a with b
};

class CompareVersionsTest : public ::testing::TestWithParam<VersionCase> {};

TEST_P(CompareVersionsTest, ComparesBytesNotNumbers)
{
    const VersionCase& c = GetParam();
    const int forward = compareVersions(c.a, c.b);
    const int backward = compareVersions(c.b, c.a);
    EXPECT_EQ((forward > 0) - (forward < 0), c.order);
    EXPECT_EQ((backward > 0) - (backward < 0), -c.order);
    EXPECT_EQ(isNewerVersion(c.a, c.b), c.order > 0);
    EXPECT_EQ(isNewerVersion(c.b, c.a), c.order < 0);
}

INSTANTIATE_TEST_SUITE_P(
    Versions, CompareVersionsTest,
    ::testing::Values(VersionCase{"1.10", "1.9", -1},
                      VersionCase{"10.0", "2.0", -1},
                      VersionCase{"2.0", "2.0", 0},
                      VersionCase{"2.0", "2.1", -1},
                      VersionCase{"2.0", "2.0 ", -1},
                      VersionCase{"2.0", "2.0\r\n", -1},
                      // A blank (0x20) sorts above CR (0x0D).
                      VersionCase{"2.0\r\n", "2.0 ", -1},
                      VersionCase{"", "0", -1},
                      VersionCase{"", "", 0},
                      VersionCase{"0", "1.0", -1},
                      VersionCase{"0", " 1.0", 1},
                      // Bytes count unsigned: a GBK lead byte is above every ASCII byte.
                      VersionCase{"2.0\xb0\xe6", "2.0z", 1}));

TEST(AnsiText, RoundTripsThroughGbk)
{
    const QString text = QStringLiteral("版本2.0");
    const QByteArray bytes = toAnsi(text);
    EXPECT_EQ(bytes, QByteArray("\xb0\xe6\xb1\xbe" "2.0"));
    EXPECT_EQ(fromAnsi(bytes), text);
}

TEST(ServiceUrls, AreComposedFromTheHost)
{
    EXPECT_EQ(versionUrlFor(QStringLiteral("up.example.cn/bbt")),
              QStringLiteral("http://up.example.cn/bbt/Update.asp?Command=Version"));
    EXPECT_EQ(downloadUrlTemplateFor(QStringLiteral("up.example.cn")),
              QStringLiteral("http://up.example.cn/Update.asp?Command=Download&Version=<VERSION>"));
}

struct MarkerCase {
    const char* urlTemplate;
    const char* version;
    const char* url;
};

class ExpandVersionMarkerTest : public ::testing::TestWithParam<MarkerCase> {};

TEST_P(ExpandVersionMarkerTest, ReplacesExactMarkersOnly)
{
    EXPECT_EQ(expandVersionMarker(QString::fromUtf8(GetParam().urlTemplate),
                                  QString::fromUtf8(GetParam().version)),
              QString::fromUtf8(GetParam().url));
}

INSTANTIATE_TEST_SUITE_P(
    Templates, ExpandVersionMarkerTest,
    ::testing::Values(
        MarkerCase{"http://h/Update.asp?Command=Download&Version=<VERSION>", "2.0",
                   "http://h/Update.asp?Command=Download&Version=2.0"},
        MarkerCase{"http://h/u?Version=<version>", "2.0", "http://h/u?Version=<version>"},
        MarkerCase{"http://h/u?Version=<Version>", "2.0", "http://h/u?Version=<Version>"},
        MarkerCase{"http://h/<VERSION>/u?v=<VERSION>", "2.0", "http://h/2.0/u?v=2.0"},
        MarkerCase{"http://h/u", "2.0", "http://h/u"},
        MarkerCase{"http://h/u?v=<VERSION>", "", "http://h/u?v="}));

struct SizeCase {
    std::int64_t bytes;
    const char* text;
};

class FormatByteSizeTest : public ::testing::TestWithParam<SizeCase> {};

TEST_P(FormatByteSizeTest, PicksTheUnitAndRoundsHalvesAway)
{
    EXPECT_EQ(FormatByteSize(GetParam().bytes), QString::fromUtf8(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(Sizes, FormatByteSizeTest,
                         ::testing::Values(SizeCase{0, "0B"},
                                           SizeCase{1, "1B"},
                                           SizeCase{1023, "1023B"},
                                           SizeCase{1024, "1.00KB"},
                                           SizeCase{1152, "1.13KB"}, // 1.125: a true half
                                           SizeCase{1536, "1.50KB"},
                                           SizeCase{1048575, "1024.00KB"},
                                           SizeCase{1048576, "1.00MB"},
                                           SizeCase{5000000, "4.77MB"},
                                           SizeCase{1073741823, "1024.00MB"},
                                           SizeCase{1073741824, "1.00GB"},
                                           SizeCase{5368709120, "5.00GB"},
                                           SizeCase{-1023, "-1023B"},
                                           SizeCase{-1152, "-1.13KB"}));

TEST(FormatByteSize, UsesTheLocaleDecimalSeparator)
{
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const QString text = FormatByteSize(1536);
    QLocale::setDefault(saved);
    EXPECT_EQ(text, QStringLiteral("1,50KB"));
}

} // namespace
} // namespace korimo::update
