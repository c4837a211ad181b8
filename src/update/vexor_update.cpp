#include "update/vexor_update.h"

#include "data/error.h"
#include "update/download.h"
#include "update/fetch.h"
#include "update/version.h"

#include <QCoreApplication>

namespace korimo::update {

std::atomic<int> TVexorUpdate::live_{0};

TVexorUpdate::TVexorUpdate(QObject* owner)
    : QObject(owner), newest_version_(QByteArrayLiteral("0")),
      program_folder_(QCoreApplication::applicationDirPath())
{
    ++live_;
}

TVexorUpdate::~TVexorUpdate()
{
    --live_;
}

void TVexorUpdate::SetVersion(const QString& value)
{
    version_ = value;
}

void TVexorUpdate::SetVersionURL(const QString& value)
{
    version_url_ = value;
}

void TVexorUpdate::SetDownloadURL(const QString& value)
{
    download_url_ = value;
}

void TVexorUpdate::SetProgramFolder(const QString& folder)
{
    program_folder_ = folder;
}

QByteArray TVexorUpdate::GetNewestVersion()
{
    newest_version_ = FetchText(toAnsi(version_url_));
    return newest_version_;
}

bool TVexorUpdate::DownloadUpdate()
{
    if (newest_version_ == "0")
        throw Error(QStringLiteral("还没有检查最新版本"));
    // The service picks the updater by the version that runs now, not by the newest one.
    const QByteArray url = toAnsi(expandVersionMarker(download_url_, version_));
    TfmDownload window(program_folder_);
    window.StartDownload(url);
    window.exec();
    // Read before the window goes: only a download finished while the window was up counts.
    return window.Succeeded();
}

int TVexorUpdate::liveInstances()
{
    return live_.load();
}

} // namespace korimo::update
