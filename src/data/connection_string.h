#pragma once

#include <QString>

namespace korimo {

// The fixed password of both database files.
inline constexpr const char* kDatabasePassword = "tundrave";

// "Provider=...;Jet OLEDB:database password=...;Data Source=<path>;Persist Security Info=False"
QString BuildConnectionString(const QString& path);

struct ConnectionParameters {
    QString provider;
    QString password;
    QString dataSource;
};
// Splits a connection string into its parts (keys compared without regard to case).
ConnectionParameters parseConnectionString(const QString& connectionString);

// The two database files beside the program; appPath ends with a separator.
QString dataFilePath(const QString& appPath);     // AppPath + "Data/Data.mdb"
QString demoDataFilePath(const QString& appPath); // AppPath + "Data/Data_Demo.mdb"

} // namespace korimo
