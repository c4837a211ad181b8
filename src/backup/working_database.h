#pragma once

#include <QString>

namespace korimo::backup {

// What backup and restore need of the main window's working database. The main window owns the
// connection; this window only asks it to bring the file up to date, to let go of it while the
// file is replaced, and to take it up again when a restore fails.
class WorkingDatabase {
public:
    virtual ~WorkingDatabase() = default;

    // The working database file (DataFile), whichever file the connection has open.
    virtual QString dataFile() const = 0;
    // Writes everything committed to dataFile() into that file itself, so that a plain copy of
    // the one file is complete. Nothing to do when the connection does not hold dataFile().
    // Throws when it cannot.
    virtual void flush() = 0;
    // Closes the connection: afterwards nothing of the program holds dataFile() open.
    virtual void close() = 0;
    // Opens the connection again as it was before close(), after a restore that changed nothing.
    virtual void reopen() = 0;
};

} // namespace korimo::backup
