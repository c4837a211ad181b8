#include "temp_database.h"

#include "data/connection_string.h"
#include "data/schema.h"

namespace korimo::testing {

TempDatabase::TempDatabase(const QString& name) : path_(dir_.filePath(name))
{
    createDatabaseFile(path_, QLatin1String(kDatabasePassword));
}

QString TempDatabase::connectionString() const
{
    return BuildConnectionString(path_);
}

} // namespace korimo::testing
