#pragma once

#include "backup/working_database.h"

#include <QString>

namespace korimo::backup {

// The name the folder chooser proposes; the user opens a folder and confirms it.
inline const QString kFolderMarker = QStringLiteral("当前路径");
// The name of every backup copy.
inline const QString kBackupName = QStringLiteral("Data.mdb");

// The backup folder from the full name the folder chooser returned: everything before the first
// "当前路径", or an empty text when the user typed another name.
QString backupFolderFromChosenName(const QString& chosenName);

// The backup copy for a folder text: the text directly followed by "Data.mdb". No separator is
// inserted, so a folder typed without a final separator leads to "<folder>Data.mdb".
QString backupTargetFor(const QString& folderText);

// Where a restore keeps the working file that it replaced: beside it, with ".bak" appended.
QString keptCopyFor(const QString& dataFile);

// Copies the working database to target, a consistent snapshot even while the program holds it
// open. Never overwrites: an existing target makes the backup fail and stays as it is. False,
// with the reason in *why, when no complete copy was made.
bool backupDatabase(WorkingDatabase& db, const QString& target, QString* why = nullptr);

// True when the file opens as a Korimo database: the program's password, tables Comment and Heat,
// and pages that pass the engine's quick check. Opens the file for writing (the engine cannot
// read a write-ahead-logged file otherwise), so only call it on a copy of our own.
bool isRestorableDatabase(const QString& path, QString* why = nullptr);

// Replaces the working database by a copy of source. Closes the working connection first. The
// copy goes to a temporary file beside the working file, is synced and checked, and only then
// renamed over it; the replaced file is kept as keptCopyFor(dataFile). True when the working
// file now holds the copy (the connection stays closed: the program is to end). On any failure
// the working file is untouched, nothing is left behind, the connection is reopened and the
// result is false with the reason in *why; an error of the reopen itself is thrown.
bool restoreDatabase(WorkingDatabase& db, const QString& source, QString* why = nullptr);

} // namespace korimo::backup
