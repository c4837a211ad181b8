#include "data/connection_string.h"

#include <QStringList>

namespace korimo {

QString BuildConnectionString(const QString& path)
{
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Jet OLEDB:database password=")
        + QLatin1String(kDatabasePassword) + QStringLiteral(";Data Source=") + path
        + QStringLiteral(";Persist Security Info=False");
}

ConnectionParameters parseConnectionString(const QString& connectionString)
{
    ConnectionParameters p;
    const QStringList parts = connectionString.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        const qsizetype eq = part.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        const QString key = part.left(eq).trimmed();
        const QString value = part.mid(eq + 1);
        if (key.compare(QLatin1String("Provider"), Qt::CaseInsensitive) == 0)
            p.provider = value.trimmed();
        else if (key.compare(QLatin1String("Jet OLEDB:database password"), Qt::CaseInsensitive) == 0)
            p.password = value;
        else if (key.compare(QLatin1String("Data Source"), Qt::CaseInsensitive) == 0)
            p.dataSource = value.trimmed();
    }
    return p;
}

QString dataFilePath(const QString& appPath)
{
    return appPath + QStringLiteral("Data/Data.mdb");
}

QString demoDataFilePath(const QString& appPath)
{
    return appPath + QStringLiteral("Data/Data_Demo.mdb");
}

} // namespace korimo
