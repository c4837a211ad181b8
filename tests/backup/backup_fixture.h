#pragma once

#include "backup/working_database.h"
#include "data/connection.h"
#include "platform/file_copy.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <cstddef>

namespace korimo::testing {

// A program folder of its own: Data/Data.mdb with a few cycles, connected as the main window
// would be, and the WorkingDatabase the window works on.
class ProgramFolder final : public backup::WorkingDatabase {
public:
    ProgramFolder();
    ~ProgramFolder() override;

    QString path(const QString& relative) const { return dir_.filePath(relative); }
    QString dataFolder() const { return path(QStringLiteral("Data")); }

    QString dataFile() const override { return data_file_; }
    void flush() override;
    void close() override;
    void reopen() override;

    Connection conn;
    int flushes = 0;
    int closes = 0;
    int reopens = 0;
    bool fail_flush = false;  // flush() throws
    bool fail_reopen = false; // reopen() throws

private:
    QTemporaryDir dir_;
    QString data_file_;
};

// A new Korimo database file with the given notes as its cycles, written through a connection
// of its own (so it is left in write-ahead-log mode, as every copy of the working file is).
void makeDatabase(const QString& path, const QStringList& notes);
// The notes of every cycle in the file, in id order; opens a fresh connection.
QStringList notesIn(const QString& path);

QByteArray readAll(const QString& path);
void writeAll(const QString& path, const QByteArray& bytes);
// Names in the folder, hidden ones included.
QStringList namesIn(const QString& folder);

// Writes the first `limit` bytes of all copies, then fails as a full disk would.
class FailingWriter final : public platform::CopyWriter {
public:
    explicit FailingWriter(std::size_t limit);
    ~FailingWriter() override;
    bool write(int fd, const char* data, std::size_t size) override;

    std::size_t written = 0;
    bool failed = false;

private:
    std::size_t limit_;
};

} // namespace korimo::testing
