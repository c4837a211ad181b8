#include "update/version.h"

#include <QLocale>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>

namespace korimo::update {
namespace {

const char* const kAnsiCodePage = "GBK";
const QString kVersionMarker = QStringLiteral("<VERSION>");

// |bytes| / 2^shift with two decimals, halves away from zero. Exact: the quotient of a byte count
// by a power of two has a finite binary fraction, so integer arithmetic gives the true digits and
// 1152 bytes really is 1.125 KB, which rounds to 1.13.
QString scaled(std::int64_t bytes, int shift, const char* unit)
{
    const bool negative = bytes < 0;
    const unsigned __int128 magnitude =
        negative ? static_cast<unsigned __int128>(-(static_cast<__int128>(bytes)))
                 : static_cast<unsigned __int128>(bytes);
    const unsigned __int128 divisor = static_cast<unsigned __int128>(1) << shift;
    const unsigned __int128 scaledUp = magnitude * 100;
    unsigned __int128 hundredths = scaledUp / divisor;
    if ((scaledUp % divisor) * 2 >= divisor)
        ++hundredths;
    const auto whole = static_cast<unsigned long long>(hundredths / 100);
    const auto fraction = static_cast<unsigned>(hundredths % 100);
    return QStringLiteral("%1%2%3%4%5")
        .arg(negative ? QStringLiteral("-") : QString())
        .arg(whole)
        .arg(QLocale().decimalPoint())
        .arg(fraction, 2, 10, QLatin1Char('0'))
        .arg(QLatin1String(unit));
}

} // namespace

QByteArray toAnsi(const QString& text)
{
    QStringEncoder encoder(kAnsiCodePage);
    return encoder.encode(text);
}

QString fromAnsi(const QByteArray& bytes)
{
    QStringDecoder decoder(kAnsiCodePage);
    return decoder.decode(bytes);
}

QByteArray RefererFor(const QByteArray& url)
{
    const qsizetype slash = url.lastIndexOf('/');
    return slash < 0 ? url : url.left(slash);
}

int compareVersions(const QByteArray& a, const QByteArray& b)
{
    const qsizetype common = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < common; ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool isNewerVersion(const QByteArray& candidate, const QByteArray& current)
{
    return compareVersions(candidate, current) > 0;
}

QString versionUrlFor(const QString& updateHost)
{
    return QStringLiteral("http://") + updateHost + QStringLiteral("/Update.asp?Command=Version");
}

QString downloadUrlTemplateFor(const QString& updateHost)
{
    return QStringLiteral("http://") + updateHost
        + QStringLiteral("/Update.asp?Command=Download&Version=<VERSION>");
}

QString expandVersionMarker(const QString& urlTemplate, const QString& version)
{
    return QString(urlTemplate).replace(kVersionMarker, version, Qt::CaseSensitive);
}

QString FormatByteSize(std::int64_t bytes)
{
    const unsigned __int128 magnitude =
        bytes < 0 ? static_cast<unsigned __int128>(-(static_cast<__int128>(bytes)))
                  : static_cast<unsigned __int128>(bytes);
    if (magnitude < 1024)
        return QString::number(bytes) + QLatin1Char('B');
    if (magnitude < (1u << 20))
        return scaled(bytes, 10, "KB");
    if (magnitude < (1u << 30))
        return scaled(bytes, 20, "MB");
    return scaled(bytes, 30, "GB");
}

} // namespace korimo::update
