#include "data/schema.h"

#include "data/connection.h"
#include "data/connection_string.h"
#include "data/error.h"

#include <QFileInfo>

#include <sqlcipher/sqlite3.h>

namespace korimo {
namespace {

// Comment.编号 is AUTOINCREMENT so that an id is never used twice: day records left behind by a
// deleted cycle can never attach to a new one. Dates are REAL day counts since 1899-12-30.
const char* const kSchema = R"sql(
CREATE TABLE Comment (
  编号 INTEGER PRIMARY KEY AUTOINCREMENT,
  起始日期 DATETIME,
  天数 INTEGER,
  说明 TEXT
);
CREATE TABLE Heat (
  编号 INTEGER,
  序号 INTEGER,
  日期 DATETIME,
  体温 FLOAT,
  月经 TEXT DEFAULT '－',
  同房 TEXT DEFAULT '－',
  备注 TEXT
);
CREATE UNIQUE INDEX Heat_Day ON Heat (编号, 序号);
)sql";

} // namespace

void createDatabaseFile(const QString& path, const QString& password)
{
    if (QFileInfo::exists(path))
        throw Error(QStringLiteral("File '%1' already exists.").arg(path));
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr)
        != SQLITE_OK) {
        const QString text = QString::fromUtf8(db != nullptr ? sqlite3_errmsg(db) : "out of memory");
        sqlite3_close(db);
        throw Error(text);
    }
    QString key = password;
    key.replace(QLatin1Char('\''), QLatin1String("''"));
    const QByteArray script = (QStringLiteral("PRAGMA key = '%1';").arg(key)).toUtf8() + kSchema;
    char* message = nullptr;
    const int rc = sqlite3_exec(db, script.constData(), nullptr, nullptr, &message);
    const QString text = QString::fromUtf8(message != nullptr ? message : "");
    sqlite3_free(message);
    sqlite3_close(db);
    if (rc != SQLITE_OK)
        throw Error(text);
}

bool isKorimoDatabase(const QString& path, QString* why)
{
    QString ignored;
    QString& reason = why != nullptr ? *why : ignored;
    Connection conn;
    conn.setReadOnly(true);
    conn.setConnectionString(BuildConnectionString(path));
    try {
        conn.connect();
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(conn.handle(),
                           "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name IN "
                           "('Comment', 'Heat')",
                           -1, &stmt, nullptr);
        int tables = 0;
        if (stmt != nullptr && sqlite3_step(stmt) == SQLITE_ROW)
            tables = sqlite3_column_int(stmt, 0);
        sqlite3_finalize(stmt);
        if (tables != 2) {
            reason = QStringLiteral("The file is not a Korimo database.");
            return false;
        }
    } catch (const Error& e) {
        reason = e.message();
        return false;
    }
    return true;
}

} // namespace korimo
