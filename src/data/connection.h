#pragma once

#include <QString>

#include <vector>

struct sqlite3;

namespace korimo {

class Query;

// The one database connection of the program, over an encrypted SQLite file.
// Connecting never creates a file: a missing file, a wrong password or a file that is not a
// database fails at once with the engine's message.
class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Only while disconnected.
    void setConnectionString(const QString& connectionString);
    const QString& connectionString() const { return connection_string_; }
    // Opens the file read-only at the engine level (the demonstration data): nothing can write to
    // it by any path. Takes effect at the next connect.
    void setReadOnly(bool readOnly) { read_only_ = readOnly; }
    bool isReadOnly() const { return read_only_; }

    void connect();
    // Closes every open query of the connection and rolls back an open transaction.
    void disconnect();
    bool isConnected() const { return db_ != nullptr; }

    void beginTrans();
    void commitTrans();
    void rollbackTrans();
    bool inTransaction() const { return in_transaction_; }

    // Writes everything committed into the database file itself, so that a plain copy of that
    // one file is complete and consistent. Not inside a transaction.
    void checkpoint();

    // Runs one statement that returns no rows (after the dialect is mapped). Connects first.
    void execute(const QString& sql);

    // The engine handle, for the data layer itself.
    sqlite3* handle();
    // Raises the engine's current message.
    [[noreturn]] void raise() const;

private:
    friend class Query;
    void attach(Query* query);
    void detach(Query* query);

    QString connection_string_;
    bool read_only_ = false;
    sqlite3* db_ = nullptr;
    bool in_transaction_ = false;
    std::vector<Query*> queries_;
};

// Maps the desktop-database dialect of the program's fixed statements to SQLite's
// ("delete * from T" becomes "delete from T").
QString mapDialect(const QString& sql);

} // namespace korimo
