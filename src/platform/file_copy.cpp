#include "platform/file_copy.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace korimo::platform {
namespace {

class PosixWriter final : public CopyWriter {
public:
    bool write(int fd, const char* data, std::size_t size) override
    {
        while (size > 0) {
            const ssize_t n = ::write(fd, data, size);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return false;
            }
            data += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }
};

CopyWriter* g_writer = nullptr;

QByteArray native(const QString& path)
{
    return QFile::encodeName(path);
}

// Records the reason of the failure that errno describes; always false, for "return fail(...)".
bool fail(QString* why, const QString& what, int error)
{
    if (why != nullptr)
        *why = QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(std::strerror(error)));
    return false;
}

QString folderOf(const QString& path)
{
    return QFileInfo(path).absolutePath();
}

// Hard links are missing on some file systems (FAT on a USB stick, some network shares).
bool linksUnsupported(int error)
{
    return error == EPERM || error == ENOTSUP || error == EOPNOTSUPP || error == ENOSYS
        || error == EXDEV;
}

// Gives temporary the name target unless target exists, in one step.
bool linkNoReplace(const QString& temporary, const QString& target, int* error)
{
    const QByteArray from = native(temporary);
    const QByteArray to = native(target);
    if (::link(from.constData(), to.constData()) == 0) {
        ::unlink(from.constData());
        return true;
    }
    *error = errno;
    if (!linksUnsupported(*error))
        return false;
    // Without links the file system may still rename without replacing.
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return true;
    *error = errno;
    return false;
}

} // namespace

CopyWriter& copyWriter()
{
    static PosixWriter real;
    return g_writer != nullptr ? *g_writer : real;
}

void setCopyWriter(CopyWriter* replacement)
{
    g_writer = replacement;
}

QString copyToTemporary(const QString& source, const QString& folder, const QString& hint,
                        QString* why)
{
    const int in = ::open(native(source).constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        fail(why, source, errno);
        return {};
    }
    // The leading dot keeps the unfinished file out of ordinary listings; mkostemp creates it
    // exclusively and readable by its owner only (it holds the user's data).
    QByteArray name = native(folder + QStringLiteral("/.") + hint) + ".XXXXXX";
    const int out = ::mkostemp(name.data(), O_CLOEXEC);
    if (out < 0) {
        const int error = errno;
        ::close(in);
        fail(why, folder, error);
        return {};
    }
    const QString temporary = QFile::decodeName(name);

    int error = 0;
    QString what = temporary;
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = errno;
            what = source;
            break;
        }
        if (n == 0)
            break;
        errno = 0;
        if (!copyWriter().write(out, buffer, static_cast<std::size_t>(n))) {
            error = errno != 0 ? errno : EIO;
            break;
        }
    }
    // The copy only counts once its bytes are on the disk, not just in the page cache.
    if (error == 0 && ::fsync(out) != 0)
        error = errno;
    if (::close(out) != 0 && error == 0)
        error = errno;
    ::close(in);
    if (error != 0) {
        ::unlink(name.constData());
        fail(why, what, error);
        return {};
    }
    return temporary;
}

bool copyFileNoReplace(const QString& source, const QString& target, QString* why)
{
    // Saves writing a whole copy only to throw it away; the final step checks again atomically.
    struct stat st;
    if (::lstat(native(target).constData(), &st) == 0)
        return fail(why, target, EEXIST);

    const QString folder = folderOf(target);
    const QString temporary = copyToTemporary(source, folder, QFileInfo(target).fileName(), why);
    if (temporary.isEmpty())
        return false;
    int error = 0;
    if (!linkNoReplace(temporary, target, &error)) {
        ::unlink(native(temporary).constData());
        return fail(why, target, error);
    }
    // The copy is complete under its name; a folder that cannot be synced does not undo that.
    syncFolder(folder);
    return true;
}

bool replaceFile(const QString& temporary, const QString& target, QString* why)
{
    if (::rename(native(temporary).constData(), native(target).constData()) != 0)
        return fail(why, target, errno);
    // The new content is in place and cannot be taken back; the sync only makes it last.
    syncFolder(folderOf(target));
    return true;
}

QString keepUnderNewName(const QString& file, const QString& hint, QString* why)
{
    const QString folder = folderOf(file);
    const QByteArray from = native(file);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString name = folder + QStringLiteral("/.") + hint + QLatin1Char('.')
            + QString::number(QRandomGenerator::global()->generate(), 36);
        if (::link(from.constData(), native(name).constData()) == 0)
            return name;
        const int error = errno;
        if (error == EEXIST)
            continue;
        if (linksUnsupported(error))
            return copyToTemporary(file, folder, hint, why);
        fail(why, name, error);
        return {};
    }
    fail(why, folder, EEXIST);
    return {};
}

bool syncFolder(const QString& folder, QString* why)
{
    const int fd = ::open(native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return fail(why, folder, errno);
    int error = 0;
    // Some file systems cannot sync a folder at all (EINVAL); their names are as safe as they get.
    if (::fsync(fd) != 0 && errno != EINVAL)
        error = errno;
    ::close(fd);
    return error == 0 || fail(why, folder, error);
}

} // namespace korimo::platform
