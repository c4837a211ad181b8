#include "program_folder.h"

#include "data/connection.h"
#include "data/connection_string.h"
#include "data/query.h"
#include "data/schema.h"
#include "data/values.h"

#include <QDir>
#include <QFile>

namespace korimo::testing {

ProgramFolder::ProgramFolder()
{
    QDir(dir_.path()).mkpath(QStringLiteral("Data"));
    createDatabaseFile(dataFile(), QLatin1String(kDatabasePassword));
    createDatabaseFile(demoFile(), QLatin1String(kDatabasePassword));
}

QString ProgramFolder::path() const
{
    return dir_.path() + QLatin1Char('/');
}

QString ProgramFolder::dataFile() const
{
    return dataFilePath(path());
}

QString ProgramFolder::demoFile() const
{
    return demoDataFilePath(path());
}

void ProgramFolder::writeVersionIni(const QByteArray& content)
{
    QFile f(path() + QStringLiteral("Version.ini"));
    f.open(QIODevice::WriteOnly);
    f.write(content);
}

void ProgramFolder::removeDataFile()
{
    QFile::remove(dataFile());
}

qint64 ProgramFolder::addCycle(const QString& file, const QDate& start, int days, const QString& note,
                               const std::vector<TestDay>& values)
{
    Connection conn;
    conn.setConnectionString(BuildConnectionString(file));
    Query q(conn);
    q.setSql(QStringLiteral("select * from Comment"));
    q.open();
    q.append();
    q.fieldByName(QStringLiteral("起始日期")).setAsDateTime(toDateTimeValue(start));
    q.fieldByName(QStringLiteral("天数")).setAsInteger(days);
    q.fieldByName(QStringLiteral("说明")).setAsText(note);
    q.post();
    const qint64 id = q.fieldByName(QStringLiteral("编号")).asInteger();
    Query h(conn);
    h.setSql(QStringLiteral("select * from Heat where 编号=%1").arg(id));
    h.open();
    for (int d = 1; d <= days; ++d) {
        h.append();
        h.fieldByName(QStringLiteral("编号")).setAsInteger(id);
        h.fieldByName(QStringLiteral("序号")).setAsInteger(d);
        h.fieldByName(QStringLiteral("日期")).setAsDateTime(toDateTimeValue(start) + d - 1);
        if (static_cast<size_t>(d) <= values.size()) {
            const TestDay& v = values[static_cast<size_t>(d - 1)];
            if (v.temperature != 0)
                h.fieldByName(QStringLiteral("体温")).setAsFloat(v.temperature);
            if (v.menstruation)
                h.fieldByName(QStringLiteral("月经")).setAsText(QStringLiteral("√"));
            if (v.intercourse)
                h.fieldByName(QStringLiteral("同房")).setAsText(QStringLiteral("√"));
            if (!v.remark.isEmpty())
                h.fieldByName(QStringLiteral("备注")).setAsText(v.remark);
        }
        h.post();
    }
    return id;
}

} // namespace korimo::testing
