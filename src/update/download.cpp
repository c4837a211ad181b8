#include "update/download.h"

#include "net/http_client.h"
#include "platform/dialogs.h"
#include "platform/process.h"
#include "update/version.h"

#include <QEventLoop>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <exception>

namespace korimo::update {

QString updaterFileIn(const QString& programFolder)
{
    QString folder = programFolder;
    while (folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    return folder + QStringLiteral("/Update.EXE");
}

// ---------------------------------------------------------------------------------------------
// Worker

TDownloadThread::TDownloadThread(TfmDownload* window, const QByteArray& url,
                                 const QString& programFolder)
    : URL(url), window_(window), program_folder_(programFolder),
      http_(std::make_unique<net::HttpClient>())
{
    http_->onWorkBegin = [this](std::int64_t announced) {
        TotalBytes = announced;
        handOver([this] {
            window_->LabelState->setText(QStringLiteral("正在下载升级程序.."));
            window_->showProgressRange(TotalBytes);
        });
    };
    http_->onWork = [this](std::int64_t received) {
        if (isInterruptionRequested()) {
            http_->disconnect();
            return;
        }
        ReceivedBytes = received;
        handOver([this] {
            window_->LabelState->setText(QStringLiteral("正在下载升级程序(") + FormatByteSize(ReceivedBytes)
                                         + QLatin1Char('/') + FormatByteSize(TotalBytes)
                                         + QStringLiteral(").."));
            window_->showProgressPosition(ReceivedBytes);
        });
    };
    http_->onWorkEnd = [] {};
    start();
}

TDownloadThread::~TDownloadThread()
{
    // The owner waits for the run to end first; this only guards against misuse.
    requestInterruption();
    abortTransfer();
    wait();
}

void TDownloadThread::abortTransfer()
{
    http_->disconnect();
}

template <typename F> void TDownloadThread::handOver(F&& step)
{
    // The window lives on the GUI thread: run the step there and wait until it is done, so the
    // worker never touches a widget itself and never runs ahead of what the user sees.
    QMetaObject::invokeMethod(
        window_,
        [&step] {
            try {
                step();
            } catch (const std::exception&) {
                // A failing step must not take the GUI thread down; the worker goes on.
            }
        },
        Qt::BlockingQueuedConnection);
}

bool TDownloadThread::attempt(int fd)
{
    // Every attempt starts from an empty file, so a retry never keeps bytes of a failed one.
    if (::ftruncate(fd, 0) != 0 || ::lseek(fd, 0, SEEK_SET) != 0)
        return false;
    http_->setFollowRedirects(true);
    http_->setReferer(RefererFor(URL));
    try {
        http_->get(URL, fd);
    } catch (const std::exception&) {
        return false;
    }
    // A transfer that ends after the user cancelled counts as failed, whatever it reported.
    return !isInterruptionRequested();
}

void TDownloadThread::run()
{
    Downloaded = false;
    bool giveUp = false;
    UpdaterFile = updaterFileIn(program_folder_);

    // Opening for writing fails while an updater started earlier still runs from the file
    // (ETXTBSY), or when something else stands in its place.
    const int fd = ::open(QFile::encodeName(UpdaterFile).constData(),
                          O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0755);
    if (fd < 0) {
        handOver([this] {
            platform::dialogs().message(window_, QStringLiteral("升级程序还在执行中，不能下载"));
        });
        handOver([this] { window_->FinishDownload(); });
        return;
    }
    // The updater is started directly, so it must be executable even if an older, plain file
    // stood there before.
    ::fchmod(fd, 0755);

    while (!Downloaded && !giveUp) {
        if (attempt(fd)) {
            Downloaded = true;
        } else if (isInterruptionRequested()) {
            giveUp = true;
        } else {
            bool retry = false;
            handOver([this, &retry] {
                // The user may have cancelled while the question was on its way.
                retry = !isInterruptionRequested()
                    && platform::dialogs().question(window_, QStringLiteral("下载"),
                                                    QStringLiteral("下载失败，是否重试"));
            });
            giveUp = !retry;
        }
    }

    // A failed close may mean bytes that never reached the disk: that is no download to run.
    if (::close(fd) != 0)
        Downloaded = false;
    handOver([this] { platform::processes().scheduleDeletion(UpdaterFile); });
    handOver([this] { window_->FinishDownload(); });
}

// ---------------------------------------------------------------------------------------------
// Window

TfmDownload::TfmDownload(const QString& programFolder, QWidget* parent)
    : QDialog(parent), program_folder_(programFolder)
{
    // A sizeable frame whose caption bar has no buttons: the only way out is "取消".
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowTitle(QStringLiteral("下载"));
    QFont face(QStringLiteral("宋体"));
    face.setPixelSize(12);
    setFont(face);
    // 325 x 165 outside, less a sizeable frame and its caption bar.
    resize(317, 131);

    LabelState = new QLabel(QStringLiteral("正在连接.."), this);
    LabelState->setObjectName(QStringLiteral("LabelState"));
    LabelState->setGeometry(24, 24, 273, 12);

    ProgressBar = new QProgressBar(this);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setGeometry(6, 63, 305, 24);
    ProgressBar->setRange(0, 100);
    ProgressBar->setValue(0);
    ProgressBar->setTextVisible(false);

    Button1 = new QPushButton(QStringLiteral("取消"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(231, 101, 75, 25);
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
}

TfmDownload::~TfmDownload()
{
    waitForWorker();
}

void TfmDownload::StartDownload(const QByteArray& url)
{
    if (thread_)
        return; // one worker per window
    thread_ = std::make_unique<TDownloadThread>(this, url, program_folder_);
    worker_ = thread_.get();
}

void TfmDownload::FinishDownload()
{
    succeeded_ = false;
    // After a cancel the user was already told "no": the updater must not start behind his back.
    if (worker_ != nullptr && worker_->Downloaded && !worker_->isInterruptionRequested()) {
        succeeded_ = true;
        // The result of the start is not ours to judge: the download itself succeeded.
        platform::processes().startDetached(
            worker_->UpdaterFile,
            {QStringLiteral("/w:") + QString::number(platform::currentProcessId())});
    }
    worker_ = nullptr;
    if (!isVisible() && !closed_)
        finish_pending_ = true; // finished before the window came up: close it once it shows
    close();
}

void TfmDownload::Button1Click()
{
    close();
}

void TfmDownload::FormClose()
{
    if (worker_ != nullptr) {
        worker_->requestInterruption();
        // Also wakes a transfer that waits for bytes; the worker then gives up without asking.
        worker_->abortTransfer();
    }
}

void TfmDownload::done(int result)
{
    // Every way of closing the window (the button, Escape, close()) passes here.
    closed_ = true;
    FormClose();
    QDialog::done(result);
}

void TfmDownload::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (finish_pending_) {
        finish_pending_ = false;
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    }
}

void TfmDownload::showProgressRange(std::int64_t total)
{
    // QProgressBar counts in int: larger totals are shown in coarser units.
    progress_shift_ = 0;
    while ((total >> progress_shift_) > INT_MAX)
        ++progress_shift_;
    ProgressBar->setRange(0, static_cast<int>(total >> progress_shift_));
}

void TfmDownload::showProgressPosition(std::int64_t received)
{
    ProgressBar->setValue(static_cast<int>(received >> progress_shift_));
}

void TfmDownload::waitForWorker()
{
    if (!thread_)
        return;
    if (thread_->isRunning()) {
        thread_->requestInterruption();
        thread_->abortTransfer();
        // The worker may be waiting for a hand-over right now: keep serving them until it ends.
        QEventLoop loop;
        connect(thread_.get(), &QThread::finished, &loop, &QEventLoop::quit);
        if (!thread_->isFinished())
            loop.exec();
    }
    thread_->wait();
    thread_.reset();
    worker_ = nullptr;
}

} // namespace korimo::update
