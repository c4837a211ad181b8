#include "backup/backup_restore.h"

#include "data/connection.h"
#include "data/connection_string.h"
#include "data/error.h"
#include "platform/file_copy.h"

#include <QFile>
#include <QFileInfo>

#include <sqlcipher/sqlite3.h>

#include <exception>

namespace korimo::backup {
namespace {

void setWhy(QString* why, const QString& text)
{
    if (why != nullptr)
        *why = text;
}

// The engine's side files of a database: a write-ahead log or a rollback journal left beside the
// working file would be played into whatever file next carries its name.
bool hasPendingLog(const QString& dataFile)
{
    for (const char* suffix : {"-wal", "-journal"}) {
        const QFileInfo log(dataFile + QLatin1String(suffix));
        if (log.exists() && log.size() > 0)
            return true;
    }
    return false;
}

void removeWithSideFiles(const QString& path)
{
    for (const char* suffix : {"-wal", "-shm", "-journal"})
        QFile::remove(path + QLatin1String(suffix));
    QFile::remove(path);
}

// One row, one text column: the answer of a check statement.
QString firstText(sqlite3* db, const char* sql)
{
    sqlite3_stmt* stmt = nullptr;
    QString text;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK
        && sqlite3_step(stmt) == SQLITE_ROW) {
        text = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
    } else {
        text = QString::fromUtf8(sqlite3_errmsg(db));
    }
    sqlite3_finalize(stmt);
    return text;
}

} // namespace

QString backupFolderFromChosenName(const QString& chosenName)
{
    const qsizetype at = chosenName.indexOf(kFolderMarker);
    return at < 0 ? QString() : chosenName.left(at);
}

QString backupTargetFor(const QString& folderText)
{
    return folderText + kBackupName;
}

QString keptCopyFor(const QString& dataFile)
{
    return dataFile + QStringLiteral(".bak");
}

bool backupDatabase(WorkingDatabase& db, const QString& target, QString* why)
{
    try {
        // The working connection logs ahead: without this the file alone could lack the latest
        // rows. Committed rows only; an edit not yet posted is not data yet.
        db.flush();
    } catch (const std::exception& e) {
        setWhy(why, QString::fromUtf8(e.what()));
        return false;
    }
    return platform::copyFileNoReplace(db.dataFile(), target, why);
}

bool isRestorableDatabase(const QString& path, QString* why)
{
    bool ok = false;
    {
        Connection conn;
        conn.setConnectionString(BuildConnectionString(path));
        try {
            conn.connect();
            const QString tables = firstText(
                conn.handle(), "SELECT count(*) FROM sqlite_master WHERE type = 'table' "
                               "AND name IN ('Comment', 'Heat')");
            const QString check = firstText(conn.handle(), "PRAGMA quick_check");
            if (tables != QLatin1String("2"))
                setWhy(why, QStringLiteral("The file is not a Korimo database."));
            else if (check != QLatin1String("ok"))
                setWhy(why, check);
            else
                ok = true;
        } catch (const std::exception& e) {
            setWhy(why, QString::fromUtf8(e.what()));
        }
        conn.disconnect();
    }
    return ok;
}

bool restoreDatabase(WorkingDatabase& db, const QString& source, QString* why)
{
    const QString dataFile = db.dataFile();
    const QString folder = QFileInfo(dataFile).absolutePath();
    QString temporary;
    QString reason;
    try {
        // The program must not hold the file it is about to replace, nor write into it meanwhile.
        db.close();
        if (hasPendingLog(dataFile)) {
            reason = QStringLiteral("The working database is still in use.");
        } else {
            temporary = platform::copyToTemporary(source, folder, kBackupName, &reason);
            if (!temporary.isEmpty() && isRestorableDatabase(temporary, &reason)) {
                // The check's own engine files must not follow the copy under its new name.
                QFile::remove(temporary + QStringLiteral("-wal"));
                QFile::remove(temporary + QStringLiteral("-shm"));
                const QString kept = platform::keepUnderNewName(dataFile, kBackupName, &reason);
                if (!kept.isEmpty()) {
                    if (platform::replaceFile(temporary, dataFile, &reason)) {
                        // The old data now lives on under the kept name only; if that name cannot
                        // become Data.mdb.bak, it stays where it is rather than being lost.
                        platform::replaceFile(kept, keptCopyFor(dataFile));
                        return true;
                    }
                    QFile::remove(kept);
                }
            }
        }
    } catch (const std::exception& e) {
        reason = QString::fromUtf8(e.what());
    }
    if (!temporary.isEmpty())
        removeWithSideFiles(temporary);
    setWhy(why, reason);
    // The working file is as it was: the program goes on with its data.
    db.reopen();
    return false;
}

} // namespace korimo::backup
