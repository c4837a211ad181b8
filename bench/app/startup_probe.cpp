// The child process of the start-up benchmark: starts either Korimo's main window or an empty Qt
// window, waits until the window has been painted once, prints when that happened and exits 0.
//
//   startup_probe korimo <program folder>   the main window on the folder, started as main() does
//   startup_probe empty  <any folder>       a plain QWidget of the same size
//
// Built twice: startup_probe with Korimo linked in, and empty_window_probe with Qt Widgets alone
// (KORIMO_PROBE_QT_ONLY, "empty" only). The second is the fair baseline: a program that shows an
// empty Qt window does not load the database engine and its cryptography at start.
//
// Output (one line on stdout): "startup-probe main_ns=<n> shown_ns=<n>", both read from
// CLOCK_MONOTONIC, which the parent shares, so it can subtract its own clock reading taken just
// before it spawned us. Without a display (and without QT_QPA_PLATFORM) the offscreen platform is
// used. Exit codes: 0 shown, 2 usage, 3 the window was not painted in time, 4 a box would have
// been shown (a start-up failure: the box would block a benchmark forever).

#ifndef KORIMO_PROBE_QT_ONLY
#include "app/main_window.h"
#include "app/skin.h"
#include "platform/dialogs.h"
#include "platform/fonts.h"
#include "platform/process.h"
#endif

#include <QApplication>
#include <QEvent>
#include <QStandardPaths>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <optional>
#include <unistd.h>

namespace {

long long monotonicNanoseconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

#ifndef KORIMO_PROBE_QT_ONLY
// Korimo shows no box on a good start; any box means the folder is unusable, and a real modal box
// would leave the parent waiting. Say what it was and give up.
class NoBoxes final : public korimo::platform::Dialogs {
public:
    void message(QWidget*, const QString& text) override { fail(text); }
    bool confirm(QWidget*, const QString& text) override { fail(text); }
    bool warningQuestion(QWidget*, const QString& text) override { fail(text); }
    bool question(QWidget*, const QString&, const QString& text) override { fail(text); }
    bool confirmOkCancel(QWidget*, const QString& text) override { fail(text); }
    void error(QWidget*, const QString& text) override { fail(text); }
    void information(QWidget*, const QString& text) override { fail(text); }
    std::optional<QString> openFile(QWidget*, const QString&, const QString&) override { fail({}); }
    std::optional<QString> saveFile(QWidget*, const QString&, const QString&) override { fail({}); }

private:
    [[noreturn]] static void fail(const QString& text)
    {
        std::fprintf(stderr, "startup-probe: a box would have been shown: %s\n", text.toUtf8().constData());
        std::fflush(stderr);
        ::_exit(4);
    }
};
#endif

// Notes the end of the first paint of the window. The paint event of the window itself comes
// first in a repaint, its children follow in the same pass; a zero timer fires once the whole pass
// (and the flush to the screen) is over.
class FirstPaint final : public QObject {
public:
    explicit FirstPaint(QWidget* window) : window_(window) { window_->installEventFilter(this); }
    long long shownAt() const { return shown_at_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == window_ && event->type() == QEvent::Paint && !seen_) {
            seen_ = true;
            QTimer::singleShot(0, this, [this] {
                shown_at_ = monotonicNanoseconds();
                QCoreApplication::exit(0);
            });
        }
        return false;
    }

private:
    QWidget* window_;
    bool seen_ = false;
    long long shown_at_ = 0;
};

} // namespace

int main(int argc, char** argv)
{
    const long long main_at = monotonicNanoseconds();
#ifdef KORIMO_PROBE_QT_ONLY
    const bool korimo = false;
#else
    const bool korimo = argc == 3 && std::strcmp(argv[1], "korimo") == 0;
#endif
    const bool empty = argc == 3 && std::strcmp(argv[1], "empty") == 0;
    if (!korimo && !empty) {
        std::fprintf(stderr, "usage: %s korimo|empty <folder>\n", argv[0]);
        return 2;
    }
    if (std::getenv("QT_QPA_PLATFORM") == nullptr && std::getenv("DISPLAY") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);

    QApplication app(argc, argv);
    std::unique_ptr<QWidget> window;
#ifndef KORIMO_PROBE_QT_ONLY
    NoBoxes no_boxes;
    if (korimo) {
        // The start of main(), step by step. Standard paths point at Qt's test locations, so the
        // clean-up of earlier updater files cannot touch the user's own list.
        QStandardPaths::setTestModeEnabled(true);
        korimo::platform::setDialogs(&no_boxes);
        QApplication::setApplicationName(QStringLiteral("Korimo"));
        korimo::platform::installFontSubstitutions();
        korimo::applySkin(app);
        korimo::platform::runPendingDeletions();
        window = std::make_unique<korimo::TFrm_Main>(QString::fromLocal8Bit(argv[2]));
    }
#endif
    if (!korimo) {
        window = std::make_unique<QWidget>();
        window->resize(865, 682);
    }
    FirstPaint first_paint(window.get());
    QTimer::singleShot(60000, [] {
        std::fprintf(stderr, "startup-probe: the window was not painted within a minute\n");
        std::fflush(stderr);
        ::_exit(3);
    });
    window->show();
    const int rc = QApplication::exec();
    if (rc != 0 || first_paint.shownAt() == 0)
        return 3;
    std::printf("startup-probe main_ns=%lld shown_ns=%lld\n", main_at, first_paint.shownAt());
    std::fflush(stdout);
    window.reset();
#ifndef KORIMO_PROBE_QT_ONLY
    korimo::platform::setDialogs(nullptr);
#endif
    return 0;
}
