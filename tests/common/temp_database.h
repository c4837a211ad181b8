#pragma once

#include <QString>
#include <QTemporaryDir>

namespace korimo::testing {

// A temporary folder holding a fresh, empty Korimo database file (tables, no rows).
class TempDatabase {
public:
    explicit TempDatabase(const QString& name = QStringLiteral("Data.mdb"));
    const QString& path() const { return path_; }
    QString folder() const { return dir_.path(); }
    QString connectionString() const;

private:
    QTemporaryDir dir_;
    QString path_;
};

} // namespace korimo::testing
