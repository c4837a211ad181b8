#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <atomic>

namespace korimo::update {

// The update checker: holds the running version and the service URLs, asks the service for the
// newest version and runs the download of the updater.
class TVexorUpdate : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Version READ Version WRITE SetVersion)
    Q_PROPERTY(QString VersionURL READ VersionURL WRITE SetVersionURL)
    Q_PROPERTY(QString DownloadURL READ DownloadURL WRITE SetDownloadURL)

public:
    explicit TVexorUpdate(QObject* owner = nullptr);
    ~TVexorUpdate() override;

    const QString& Version() const { return version_; }
    const QString& VersionURL() const { return version_url_; }
    const QString& DownloadURL() const { return download_url_; }
    void SetVersion(const QString& value);
    void SetVersionURL(const QString& value);
    void SetDownloadURL(const QString& value);

    // The answer of the last version query, as the service sent it (GBK bytes); "0" before the
    // first query and after a failed one.
    const QByteArray& NewestVersion() const { return newest_version_; }

    // Asks the service: NewestVersion := FetchText(VersionURL). Blocks until the answer is in.
    QByteArray GetNewestVersion();

    // Downloads the updater into the program folder in a modal download window and starts it.
    // True when it was downloaded and handed over to be started. Throws korimo::Error
    // "还没有检查最新版本" while NewestVersion is "0".
    bool DownloadUpdate();

    // The folder Update.EXE is written to; the folder of the running executable unless set.
    const QString& ProgramFolder() const { return program_folder_; }
    void SetProgramFolder(const QString& folder);

    // Checkers alive right now; lets the windows that own one prove they release it exactly once.
    static int liveInstances();

private:
    QString version_;
    QString version_url_;
    QString download_url_;
    QByteArray newest_version_;
    QString program_folder_;

    static std::atomic<int> live_;
};

} // namespace korimo::update
