#include "data/values.h"

#include <QLocale>
#include <QStringList>

#include <cmath>

namespace korimo {
namespace {

const QDate& epoch()
{
    static const QDate day0(1899, 12, 30);
    return day0;
}

// The locale's short date format, with a two-digit year widened to four digits.
QString shortDateFormat()
{
    QString format = QLocale().dateFormat(QLocale::ShortFormat);
    if (!format.contains(QLatin1String("yyyy")))
        format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return format;
}

} // namespace

double toDateTimeValue(const QDate& date)
{
    return static_cast<double>(epoch().daysTo(date));
}

QDate toDate(double dateTime)
{
    return epoch().addDays(static_cast<qint64>(std::floor(dateTime)));
}

QString dateText(double dateTime)
{
    return QLocale().toString(toDate(dateTime), shortDateFormat());
}

bool parseDate(const QString& text, double* dateTime)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return false;
    const QStringList formats{shortDateFormat(), QLocale().dateFormat(QLocale::ShortFormat),
                              QStringLiteral("yyyy-M-d"), QStringLiteral("yyyy/M/d"),
                              QStringLiteral("yyyy-MM-dd"), QStringLiteral("yyyy/MM/dd")};
    for (const QString& f : formats) {
        const QDate d = QLocale().toDate(t, f);
        if (d.isValid()) {
            *dateTime = toDateTimeValue(d);
            return true;
        }
    }
    return false;
}

QString floatText(double value)
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(value, 'g', QLocale::FloatingPointShortest);
}

bool parseFloat(const QString& text, double* value)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return false;
    QLocale locale;
    locale.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    double v = locale.toDouble(t, &ok);
    if (!ok || !std::isfinite(v))
        return false;
    *value = v;
    return true;
}

bool parseInteger(const QString& text, qint64* value)
{
    const QString t = text.trimmed();
    bool ok = false;
    const qint64 v = t.toLongLong(&ok, 10);
    if (!ok)
        return false;
    *value = v;
    return true;
}

} // namespace korimo
