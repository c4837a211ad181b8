// Child process of the crash test: posts day records one by one through the data layer and
// writes the number of each record to stdout as soon as its post has returned.
#include "data/connection.h"
#include "data/connection_string.h"
#include "data/query.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3)
        return 2;
    korimo::Connection conn;
    conn.setConnectionString(korimo::BuildConnectionString(QString::fromLocal8Bit(argv[1])));
    korimo::Query q(conn);
    q.setSql(QStringLiteral("select * from Heat where 编号=1"));
    q.open();
    const int count = std::atoi(argv[2]);
    for (int i = 1; i <= count; ++i) {
        q.append();
        q.fieldByName(QStringLiteral("编号")).setAsInteger(1);
        q.fieldByName(QStringLiteral("序号")).setAsInteger(i);
        q.fieldByName(QStringLiteral("体温")).setAsFloat(36.0 + i / 100.0);
        q.fieldByName(QStringLiteral("备注")).setAsText(QString(200, QLatin1Char('x')));
        q.post();
        std::printf("%d\n", i);
        std::fflush(stdout);
    }
    return 0;
}
