#pragma once

#include <QString>

#include <cstddef>

namespace korimo::platform {

// File copies that never leave a half-written file under a name someone relies on: the bytes
// go to a temporary file in the target's folder, which is synced before it gets its final name.
// Every function reports by its result; *why (when given) receives the reason of a failure.

// Writes the bytes of every copy. Behind an interface so that tests can install one that fails
// part-way, as a full disk or a pulled USB stick would.
class CopyWriter {
public:
    virtual ~CopyWriter() = default;
    // Writes all size bytes to the open file descriptor fd; false with errno set on failure.
    virtual bool write(int fd, const char* data, std::size_t size) = 0;
};

// The writer in use: the real one unless a test installed another one.
CopyWriter& copyWriter();
// Installs a writer (not owned); nullptr restores the real one.
void setCopyWriter(CopyWriter* replacement);

// Copies source into a new file of its own in folder, named after hint, and syncs it to disk.
// Returns the temporary file's path, or an empty text on failure (nothing is left behind then).
QString copyToTemporary(const QString& source, const QString& folder, const QString& hint,
                        QString* why = nullptr);

// Copies source to target; an existing target makes the copy fail and stays untouched. The
// target name appears only once the whole copy is on disk, and atomically: two copies racing for
// the same name cannot both win. True once the complete copy carries the target name.
bool copyFileNoReplace(const QString& source, const QString& target, QString* why = nullptr);

// Gives the finished file temporary the name target, replacing target in one step, then syncs
// the folder so that the new name survives a power cut. False only when the rename failed (the
// target is then untouched); once renamed, the target holds the new content.
bool replaceFile(const QString& temporary, const QString& target, QString* why = nullptr);

// Makes a second name for file (a hard link, or a synced copy where the file system has no
// links), created fresh in file's folder. Returns the new name, or an empty text on failure.
QString keepUnderNewName(const QString& file, const QString& hint, QString* why = nullptr);

// Syncs a folder, so that names created, renamed or removed in it are on disk.
bool syncFolder(const QString& folder, QString* why = nullptr);

} // namespace korimo::platform
