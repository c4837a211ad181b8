#include "data/connection.h"

#include "data/connection_string.h"
#include "data/error.h"
#include "data/query.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <sqlcipher/sqlite3.h>

#include <algorithm>

namespace korimo {
namespace {

QString quoted(const QString& text)
{
    QString t = text;
    t.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + t + QLatin1Char('\'');
}

// Runs statements that return at most trivial results on a raw handle; raises the engine message.
void run(sqlite3* db, const QString& sql)
{
    char* message = nullptr;
    if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &message) != SQLITE_OK) {
        const QString text = QString::fromUtf8(message != nullptr ? message : sqlite3_errmsg(db));
        sqlite3_free(message);
        throw Error(text);
    }
}

} // namespace

QString mapDialect(const QString& sql)
{
    // The desktop-database dialect allows "delete * from"; SQLite knows only "delete from".
    static const QRegularExpression deleteStar(QStringLiteral("^(\\s*delete)\\s+\\*\\s+(from\\b)"),
                                               QRegularExpression::CaseInsensitiveOption);
    QString mapped = sql;
    mapped.replace(deleteStar, QStringLiteral("\\1 \\2"));
    return mapped;
}

Connection::Connection() = default;

Connection::~Connection()
{
    disconnect();
    for (Query* q : queries_)
        q->detachFromConnection();
}

void Connection::setConnectionString(const QString& connectionString)
{
    if (isConnected())
        throw Error(QStringLiteral("Operation not allowed on an open connection"));
    connection_string_ = connectionString;
}

void Connection::connect()
{
    if (isConnected())
        return;
    const ConnectionParameters params = parseConnectionString(connection_string_);
    const QString path = params.dataSource;
    // SQLite would happily create a missing file; the program never creates a database, so a
    // missing one is reported here instead of becoming a fresh empty file.
    if (path.isEmpty() || !QFileInfo(path).isFile())
        throw Error(QStringLiteral("Could not find file '%1'.").arg(path));

    sqlite3* db = nullptr;
    const int flags = read_only_ ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, flags, nullptr) != SQLITE_OK) {
        const QString text = QString::fromUtf8(db != nullptr ? sqlite3_errmsg(db) : "out of memory");
        sqlite3_close(db);
        throw Error(text);
    }
    try {
        run(db, QStringLiteral("PRAGMA key = ") + quoted(params.password));
        // The key is only checked when the first page is read: read it now, so that a wrong
        // password or a file that is not a database fails on connect and not later.
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT count(*) FROM sqlite_master", -1, &stmt, nullptr)
                != SQLITE_OK
            || sqlite3_step(stmt) != SQLITE_ROW) {
            const QString text = QString::fromUtf8(sqlite3_errmsg(db));
            sqlite3_finalize(stmt);
            throw Error(text);
        }
        const int objects = sqlite3_column_int(stmt, 0);
        sqlite3_finalize(stmt);
        // An empty file opens as an empty database; it holds none of our tables.
        if (objects == 0)
            throw Error(QStringLiteral("Unrecognized database format '%1'.").arg(path));
        sqlite3_busy_timeout(db, 2000);
        if (!read_only_) {
            // Write-ahead logging with a sync at every commit: each post is durable when it
            // returns, at one sync per post (a rollback journal needs several and is three to
            // four times slower). checkpoint() brings the file itself up to date before a copy.
            run(db, QStringLiteral("PRAGMA journal_mode = WAL"));
            run(db, QStringLiteral("PRAGMA synchronous = FULL"));
        }
    } catch (...) {
        sqlite3_close(db);
        throw;
    }
    db_ = db;
    in_transaction_ = false;
}

void Connection::disconnect()
{
    if (!isConnected())
        return;
    for (Query* q : std::vector<Query*>(queries_))
        q->closeFromConnection();
    if (in_transaction_) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        in_transaction_ = false;
    }
    sqlite3_close_v2(db_);
    db_ = nullptr;
}

void Connection::checkpoint()
{
    if (in_transaction_)
        throw Error(QStringLiteral("Cannot copy the database while a transaction is open"));
    // TRUNCATE waits for nothing here (the program is the only writer) and empties the log,
    // so afterwards the main file alone holds every committed row.
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(handle(), "PRAGMA wal_checkpoint(TRUNCATE)", -1, &stmt, nullptr) != SQLITE_OK)
        raise();
    const int rc = sqlite3_step(stmt);
    const bool busy = rc == SQLITE_ROW && sqlite3_column_int(stmt, 0) != 0;
    sqlite3_finalize(stmt);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        raise();
    if (busy)
        throw Error(QStringLiteral("database is locked"));
}

void Connection::beginTrans()
{
    connect();
    run(db_, QStringLiteral("BEGIN"));
    in_transaction_ = true;
}

void Connection::commitTrans()
{
    if (!isConnected())
        throw Error(QStringLiteral("Connection is closed"));
    run(db_, QStringLiteral("COMMIT"));
    in_transaction_ = false;
}

void Connection::rollbackTrans()
{
    if (!isConnected())
        throw Error(QStringLiteral("Connection is closed"));
    in_transaction_ = false;
    run(db_, QStringLiteral("ROLLBACK"));
}

void Connection::execute(const QString& sql)
{
    connect();
    run(db_, mapDialect(sql));
}

sqlite3* Connection::handle()
{
    connect();
    return db_;
}

void Connection::raise() const
{
    throw Error(QString::fromUtf8(db_ != nullptr ? sqlite3_errmsg(db_) : "Connection is closed"));
}

void Connection::attach(Query* query)
{
    queries_.push_back(query);
}

void Connection::detach(Query* query)
{
    queries_.erase(std::remove(queries_.begin(), queries_.end(), query), queries_.end());
}

} // namespace korimo
