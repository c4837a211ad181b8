// mkdb <program folder>: writes the program's two database files under <folder>/Data.
//   Data/Data.mdb       the working database, empty; written only when it does not exist yet,
//                       because after the first start it holds the user's records.
//   Data/Data_Demo.mdb  the demonstration database with sample cycles; rewritten each time
//                       (through a temporary file, so a reader never sees half a file).
#include "data/connection_string.h"
#include "data/error.h"
#include "data/schema.h"
#include "demo_data.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: mkdb <program folder>\n");
        return 2;
    }
    QString folder = QString::fromLocal8Bit(argv[1]);
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    try {
        if (!QDir().mkpath(folder + QStringLiteral("Data")))
            throw korimo::Error(QStringLiteral("Cannot create the folder %1Data").arg(folder));

        const QString data = korimo::dataFilePath(folder);
        if (!QFileInfo::exists(data))
            korimo::createDatabaseFile(data, QLatin1String(korimo::kDatabasePassword));

        const QString demo = korimo::demoDataFilePath(folder);
        const QString temporary = demo + QStringLiteral(".new");
        QFile::remove(temporary);
        korimo::createDatabaseFile(temporary, QLatin1String(korimo::kDatabasePassword));
        korimo::tools::writeDemoData(temporary);
        if (std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(demo).constData()) != 0)
            throw korimo::Error(QStringLiteral("Cannot replace %1").arg(demo));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "mkdb: %s\n", e.what());
        return 1;
    }
    return 0;
}
