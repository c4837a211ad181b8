#include "platform/process.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>

#include <dirent.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>

namespace korimo::platform {
namespace {

bool sameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool isNumber(const char* s)
{
    if (*s == '\0')
        return false;
    for (; *s != '\0'; ++s)
        if (*s < '0' || *s > '9')
            return false;
    return true;
}

// Whether the process behind /proc/<pid> runs or holds open the file. Comparing inodes rather
// than names also catches a file that was renamed, and ignores an older file of the same name
// that was replaced while a process still ran it.
bool processUses(const std::string& procDir, const struct stat& target)
{
    struct stat st {};
    if (::stat((procDir + "/exe").c_str(), &st) == 0 && sameFile(st, target))
        return true;
    const std::string fdDir = procDir + "/fd";
    DIR* fds = ::opendir(fdDir.c_str());
    if (fds == nullptr)
        return false; // another user's process: it cannot be running our updater
    bool found = false;
    while (dirent* e = ::readdir(fds)) {
        if (!isNumber(e->d_name))
            continue;
        if (::stat((fdDir + "/" + e->d_name).c_str(), &st) == 0 && sameFile(st, target)) {
            found = true;
            break;
        }
    }
    ::closedir(fds);
    return found;
}

class RealProcesses final : public Processes {
public:
    bool startDetached(const QString& program, const QStringList& arguments) override
    {
        return QProcess::startDetached(program, arguments);
    }
    void scheduleDeletion(const QString& path) override
    {
        PendingDeletions(defaultPendingDeletionsFile()).add(path);
    }
};

RealProcesses& realProcesses()
{
    static RealProcesses instance;
    return instance;
}

Processes* current = nullptr;

} // namespace

Processes& processes()
{
    return current != nullptr ? *current : realProcesses();
}

void setProcesses(Processes* replacement)
{
    current = replacement;
}

std::int64_t currentProcessId()
{
    return QCoreApplication::applicationPid();
}

bool isFileInUse(const QString& path)
{
    struct stat target {};
    if (::stat(QFile::encodeName(path).constData(), &target) != 0)
        return false;
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr)
        return true; // cannot tell: keeping the file is the safe answer
    bool used = false;
    while (dirent* e = ::readdir(proc)) {
        if (isNumber(e->d_name) && processUses(std::string("/proc/") + e->d_name, target)) {
            used = true;
            break;
        }
    }
    ::closedir(proc);
    return used;
}

PendingDeletions::PendingDeletions(QString listFile)
    : list_file_(std::move(listFile))
{
}

void PendingDeletions::add(const QString& path)
{
    // A line break would split the entry into two paths, one of which we never meant to delete.
    if (!QFileInfo(path).isAbsolute() || path.contains(QLatin1Char('\n'))
        || path.contains(QLatin1Char('\r')))
        return;
    QDir().mkpath(QFileInfo(list_file_).absolutePath());
    QLockFile lock(list_file_ + QStringLiteral(".lock"));
    if (!lock.tryLock(2000))
        return;
    QStringList list = read();
    if (!list.contains(path)) {
        list << path;
        write(list);
    }
}

QStringList PendingDeletions::paths() const
{
    return read();
}

void PendingDeletions::run()
{
    if (!QFile::exists(list_file_))
        return;
    QLockFile lock(list_file_ + QStringLiteral(".lock"));
    if (!lock.tryLock(2000))
        return;
    QStringList keep;
    for (const QString& path : read()) {
        const QFileInfo info(path);
        // Gone already, or no longer a plain file (then it is not the one we wrote): nothing to do.
        if ((!info.exists() && !info.isSymLink()) || info.isDir())
            continue;
        if (isFileInUse(path) || !QFile::remove(path))
            keep << path;
    }
    if (keep.isEmpty())
        QFile::remove(list_file_);
    else
        write(keep);
}

QStringList PendingDeletions::read() const
{
    QFile file(list_file_);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList out;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QString path = QString::fromUtf8(line);
        if (!path.isEmpty() && QFileInfo(path).isAbsolute() && !out.contains(path))
            out << path;
    }
    return out;
}

void PendingDeletions::write(const QStringList& paths)
{
    // Written whole and renamed into place, so a crash never leaves half a list behind.
    QSaveFile file(list_file_);
    if (!file.open(QIODevice::WriteOnly))
        return;
    for (const QString& path : paths)
        file.write(path.toUtf8() + '\n');
    file.commit();
}

QString defaultPendingDeletionsFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation)
        + QStringLiteral("/pending-deletions");
}

void runPendingDeletions()
{
    PendingDeletions(defaultPendingDeletionsFile()).run();
}

} // namespace korimo::platform
