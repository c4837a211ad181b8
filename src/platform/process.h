#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

namespace korimo::platform {

// Starting the downloaded updater and getting rid of its file afterwards. Behind an interface so
// that tests record what would have been started or scheduled instead of running anything.
class Processes {
public:
    virtual ~Processes() = default;

    // Starts program as a process of its own that outlives us, with exactly these arguments and
    // no working folder of its own. False when it could not be started.
    virtual bool startDetached(const QString& program, const QStringList& arguments) = 0;
    // Arranges for the file to be deleted at a later start of Korimo, once no process runs it or
    // holds it open. Failures are not reported: a file left behind does no harm.
    virtual void scheduleDeletion(const QString& path) = 0;
};

// The implementation in use: the real one unless a test installed another one.
Processes& processes();
// Installs an implementation (not owned); nullptr restores the real one.
void setProcesses(Processes* replacement);

// Id of the running program, as handed to the updater.
std::int64_t currentProcessId();

// The list of files waiting for deletion, kept in a small text file (one absolute path a line).
// Korimo cannot delete the updater while it runs (it starts the updater and ends itself), so the
// deletion waits for the next start of Korimo, and is put off again while the file still runs.
class PendingDeletions {
public:
    explicit PendingDeletions(QString listFile);

    // Adds a path to the list (once). Paths that are not absolute are ignored.
    void add(const QString& path);
    // The paths on the list.
    QStringList paths() const;
    // Deletes every listed file that no process runs or holds open; files still in use, and files
    // that could not be removed, stay on the list for the next start.
    void run();

private:
    QStringList read() const;
    void write(const QStringList& paths);

    QString list_file_;
};

// Where the real implementation keeps its list: the per-user data folder of the application.
QString defaultPendingDeletionsFile();

// Start-up step of main(), after the application object exists: deletes the updater files left by
// earlier runs, unless they still run.
void runPendingDeletions();

// True when some process we can inspect runs the file (as its executable or as a script its
// interpreter keeps open) or holds it open.
bool isFileInUse(const QString& path);

} // namespace korimo::platform
