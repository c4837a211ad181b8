#pragma once

#include <QString>

namespace korimo {

// Creates a new, empty Korimo database file keyed with the password: tables Comment and Heat.
// Refuses to touch a file that already exists (it may hold a user's data).
void createDatabaseFile(const QString& path, const QString& password);

// True when the file opens with the program's password and holds the tables Comment and Heat;
// otherwise false, with the reason in *why when given. Opens the file read-only.
bool isKorimoDatabase(const QString& path, QString* why = nullptr);

} // namespace korimo
