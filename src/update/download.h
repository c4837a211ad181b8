#pragma once

#include <QByteArray>
#include <QDialog>
#include <QString>
#include <QThread>

#include <cstdint>
#include <memory>

class QLabel;
class QProgressBar;
class QPushButton;

namespace korimo::net {
class HttpClient;
}

namespace korimo::update {

class TfmDownload;

// Full path of the updater file in a program folder: the folder without its trailing separator,
// then "/Update.EXE" (so the root folder gives "/Update.EXE").
QString updaterFileIn(const QString& programFolder);

// The download worker: fetches the updater into Update.EXE on a thread of its own, asks whether to
// retry after a failure, and hands every visible step to the window's (GUI) thread, waiting for
// each. It starts running when it is created. The window asks it to stop through the thread's
// interruption flag.
class TDownloadThread final : public QThread {
    Q_OBJECT

public:
    TDownloadThread(TfmDownload* window, const QByteArray& url, const QString& programFolder);
    ~TDownloadThread() override;

    // Makes a transfer that waits for bytes give up now instead of at its next progress event.
    void abortTransfer();

    // Fields the window reads in FinishDownload, while the worker waits for it.
    const QByteArray URL;
    QString UpdaterFile;
    std::int64_t TotalBytes = 0;
    std::int64_t ReceivedBytes = 0;
    bool Downloaded = false;

protected:
    void run() override;

private:
    template <typename F> void handOver(F&& step);
    bool attempt(int fd);

    TfmDownload* window_;
    QString program_folder_;
    std::unique_ptr<net::HttpClient> http_;
};

// The modal download window: a label, a progress bar and "取消". Never destroyed while its worker
// runs: the destructor asks the worker to stop and waits for it, serving its hand-overs meanwhile.
class TfmDownload final : public QDialog {
    Q_OBJECT

public:
    explicit TfmDownload(const QString& programFolder, QWidget* parent = nullptr);
    ~TfmDownload() override;

    // Creates and starts the worker for url.
    void StartDownload(const QByteArray& url);
    // Run on the GUI thread by the worker at its end: records the result, starts the updater after
    // a successful download, closes the window.
    void FinishDownload();
    void Button1Click();
    // The close event: asks a running worker to stop.
    void FormClose();

    bool Succeeded() const { return succeeded_; }
    TDownloadThread* Worker() const { return worker_; }

    // Progress bar range and position for byte counts that may exceed an int.
    void showProgressRange(std::int64_t total);
    void showProgressPosition(std::int64_t received);

    QLabel* LabelState;
    QProgressBar* ProgressBar;
    QPushButton* Button1;

public slots:
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void waitForWorker();

    QString program_folder_;
    TDownloadThread* worker_ = nullptr;         // Worker: set by StartDownload, cleared by FinishDownload
    std::unique_ptr<TDownloadThread> thread_;   // owns the worker until it has ended
    bool succeeded_ = false;
    bool closed_ = false;
    bool finish_pending_ = false;
    int progress_shift_ = 0;
};

} // namespace korimo::update
