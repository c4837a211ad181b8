#include "backup_fixture.h"

#include "data/connection_string.h"
#include "data/error.h"
#include "data/query.h"
#include "data/schema.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <cerrno>
#include <unistd.h>

namespace korimo::testing {

ProgramFolder::ProgramFolder()
{
    QDir(dir_.path()).mkdir(QStringLiteral("Data"));
    data_file_ = path(QStringLiteral("Data/Data.mdb"));
    makeDatabase(data_file_, {QStringLiteral("old 1"), QStringLiteral("old 2")});
    conn.setConnectionString(BuildConnectionString(data_file_));
    conn.connect();
}

ProgramFolder::~ProgramFolder()
{
    conn.disconnect();
}

void ProgramFolder::flush()
{
    ++flushes;
    if (fail_flush)
        throw Error(QStringLiteral("database is locked"));
    conn.checkpoint();
}

void ProgramFolder::close()
{
    ++closes;
    conn.disconnect();
}

void ProgramFolder::reopen()
{
    ++reopens;
    if (fail_reopen)
        throw Error(QStringLiteral("Could not reopen"));
    conn.connect();
}

void makeDatabase(const QString& path, const QStringList& notes)
{
    createDatabaseFile(path, QLatin1String(kDatabasePassword));
    Connection c;
    c.setConnectionString(BuildConnectionString(path));
    c.connect();
    for (const QString& note : notes)
        c.execute(QStringLiteral("insert into Comment (起始日期, 天数, 说明) values (45000, 28, '%1')")
                      .arg(note));
    c.disconnect();
}

QStringList notesIn(const QString& path)
{
    Connection c;
    c.setConnectionString(BuildConnectionString(path));
    c.connect();
    Query q(c);
    q.setSql(QStringLiteral("select * from Comment order by 编号"));
    q.open();
    QStringList notes;
    for (q.first(); !q.eof(); q.next())
        notes << q.fieldByName(QStringLiteral("说明")).asText();
    q.close();
    c.disconnect();
    return notes;
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return f.readAll();
}

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    ASSERT_EQ(f.write(bytes), bytes.size());
}

QStringList namesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

FailingWriter::FailingWriter(std::size_t limit) : limit_(limit)
{
    platform::setCopyWriter(this);
}

FailingWriter::~FailingWriter()
{
    platform::setCopyWriter(nullptr);
}

bool FailingWriter::write(int fd, const char* data, std::size_t size)
{
    const std::size_t room = limit_ - written;
    const std::size_t part = size < room ? size : room;
    if (part > 0 && ::write(fd, data, part) != static_cast<ssize_t>(part))
        return false;
    written += part;
    if (part < size) {
        failed = true;
        errno = ENOSPC;
        return false;
    }
    return true;
}

} // namespace korimo::testing
