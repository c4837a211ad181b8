// What the user waits for in the main window.
//
// Start-up: from process start to the main window painted, with the demonstration data as the
// working data, against an empty Qt window started the same way (target: Korimo at most 1.5 times
// the empty window). Each start is a fresh process (startup_probe and empty_window_probe, beside
// this program); the time runs from just before the spawn to the end of the window's first paint.
//
// The draw command: Button5Click() on the shown window for a 100-day cycle with a reading every
// day and flags on many days, its queries included (target: at most 10 ms), and painting the chart
// into an 814 x 376 image (target: at most 10 ms).
//
// Run: build/bench/app/app_bench [--startup_runs=N] [Google Benchmark options]

#include "app/main_window.h"
#include "app/skin.h"
#include "chart/chart.h"
#include "data/connection.h"
#include "data/connection_string.h"
#include "data/query.h"
#include "data/schema.h"
#include "data/values.h"
#include "platform/fonts.h"
#include "scripted_dialogs.h"

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

using namespace korimo;

namespace {

int g_startup_runs = 20;

long long monotonicNanoseconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t mid = values.size() / 2;
    return values.size() % 2 != 0 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

// ---------------------------------------------------------------------------------------------
// Start-up

// A program folder holding the demonstration file twice: as the working Data.mdb and as itself.
class DemoProgramFolder {
public:
    DemoProgramFolder()
    {
        QDir(dir_.path()).mkpath(QStringLiteral("Data"));
        const QString demo = QStringLiteral(KORIMO_DEMO_DATA_FILE);
        if (!QFile::copy(demo, dataFilePath(path())) || !QFile::copy(demo, demoDataFilePath(path())))
            error_ = "cannot copy " + demo.toStdString() + " (build the target 'databases' first)";
    }
    QString path() const { return dir_.path() + QLatin1Char('/'); }
    const std::string& error() const { return error_; }

private:
    QTemporaryDir dir_;
    std::string error_;
};

struct StartupTime {
    double to_main_ms = 0;  // spawn to the first line of main(): loading and linking
    double to_shown_ms = 0; // spawn to the end of the first paint
    double cpu_ms = 0;      // processor time of the whole child (user and system), up to its exit
    std::string error;      // empty when the probe succeeded
};

// A child program beside this one and the window it is to show.
struct Probe {
    const char* program;
    const char* mode;
};
// Korimo's main window, as the program starts it.
constexpr Probe kKorimo{"startup_probe", "korimo"};
// The baseline: an empty window from a program linked with Qt Widgets alone.
constexpr Probe kEmptyWindow{"empty_window_probe", "empty"};
// An empty window from the probe that has Korimo linked in: what loading Korimo's libraries costs.
constexpr Probe kEmptyWindowKorimoLibraries{"startup_probe", "empty"};

StartupTime startOnce(const Probe& which, const QString& folder)
{
    StartupTime result;
    const char* mode = which.mode;
    const std::string probe =
        (QCoreApplication::applicationDirPath() + QLatin1Char('/') + QLatin1String(which.program)).toStdString();
    const std::string folder_arg = folder.toStdString();
    int out[2];
    if (pipe(out) != 0) {
        result.error = std::string("pipe: ") + std::strerror(errno);
        return result;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[1]);
    std::vector<char*> argv{const_cast<char*>(probe.c_str()), const_cast<char*>(mode),
                            const_cast<char*>(folder_arg.c_str()), nullptr};

    pid_t pid = 0;
    const long long spawned_at = monotonicNanoseconds();
    const int spawn_error = posix_spawn(&pid, probe.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (spawn_error != 0) {
        close(out[0]);
        result.error = "cannot start " + probe + ": " + std::strerror(spawn_error);
        return result;
    }

    std::string output;
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(out[0], buffer, sizeof buffer);
        if (n > 0)
            output.append(buffer, static_cast<size_t>(n));
        else if (n == 0 || errno != EINTR)
            break;
    }
    close(out[0]);
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }

    long long main_ns = 0;
    long long shown_ns = 0;
    const size_t line = output.find("startup-probe main_ns=");
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || line == std::string::npos
        || std::sscanf(output.c_str() + line, "startup-probe main_ns=%lld shown_ns=%lld", &main_ns, &shown_ns) != 2) {
        result.error = std::string(which.program) + " " + mode + " failed (status " + std::to_string(status)
                       + "): " + output;
        return result;
    }
    result.to_main_ms = static_cast<double>(main_ns - spawned_at) / 1e6;
    result.to_shown_ms = static_cast<double>(shown_ns - spawned_at) / 1e6;
    const auto ms = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3;
    };
    result.cpu_ms = ms(usage.ru_utime) + ms(usage.ru_stime);
    return result;
}

// One kind of window started again and again; the time of each start is the iteration's time.
void startupOf(benchmark::State& state, const Probe& which)
{
    DemoProgramFolder folder;
    if (!folder.error().empty()) {
        state.SkipWithError(folder.error().c_str());
        return;
    }
    // The first start warms the file cache and lets the engine set up the working file.
    if (const StartupTime warm = startOnce(which, folder.path()); !warm.error.empty()) {
        state.SkipWithError(warm.error.c_str());
        return;
    }
    std::vector<double> shown;
    std::vector<double> to_main;
    std::vector<double> cpu;
    for (auto _ : state) {
        const StartupTime t = startOnce(which, folder.path());
        if (!t.error.empty()) {
            state.SkipWithError(t.error.c_str());
            return;
        }
        state.SetIterationTime(t.to_shown_ms / 1e3);
        shown.push_back(t.to_shown_ms);
        to_main.push_back(t.to_main_ms);
        cpu.push_back(t.cpu_ms);
    }
    state.counters["median_ms"] = median(shown);
    state.counters["min_ms"] = *std::min_element(shown.begin(), shown.end());
    state.counters["to_main_ms"] = median(to_main);
    state.counters["cpu_ms"] = median(cpu);
}

void BM_StartupEmptyWindow(benchmark::State& state)
{
    startupOf(state, kEmptyWindow);
}

void BM_StartupEmptyWindowKorimoLibraries(benchmark::State& state)
{
    startupOf(state, kEmptyWindowKorimoLibraries);
}

void BM_StartupKorimo(benchmark::State& state)
{
    startupOf(state, kKorimo);
}

// Both windows started in turns, so that a busy moment of the machine weighs on both alike; the
// ratio of the medians is the figure to hold against the target of 1.5.
void BM_StartupRatio(benchmark::State& state)
{
    DemoProgramFolder folder;
    if (!folder.error().empty()) {
        state.SkipWithError(folder.error().c_str());
        return;
    }
    for (const Probe& which : {kEmptyWindow, kKorimo}) {
        if (const StartupTime warm = startOnce(which, folder.path()); !warm.error.empty()) {
            state.SkipWithError(warm.error.c_str());
            return;
        }
    }
    std::vector<double> empty;
    std::vector<double> korimo;
    std::vector<double> empty_cpu;
    std::vector<double> korimo_cpu;
    for (auto _ : state) {
        const StartupTime e = startOnce(kEmptyWindow, folder.path());
        const StartupTime k = startOnce(kKorimo, folder.path());
        if (!e.error.empty() || !k.error.empty()) {
            state.SkipWithError((e.error + k.error).c_str());
            return;
        }
        state.SetIterationTime(k.to_shown_ms / 1e3);
        empty.push_back(e.to_shown_ms);
        korimo.push_back(k.to_shown_ms);
        empty_cpu.push_back(e.cpu_ms);
        korimo_cpu.push_back(k.cpu_ms);
    }
    const double ratio = median(korimo) / median(empty);
    state.counters["empty_ms"] = median(empty);
    state.counters["korimo_ms"] = median(korimo);
    state.counters["ratio"] = ratio;
    // Processor time is less at the mercy of other work on the machine than the elapsed time.
    state.counters["cpu_ratio"] = median(korimo_cpu) / median(empty_cpu);
    state.SetLabel(ratio <= 1.5 ? "within the target of 1.5" : "OVER the target of 1.5");
}

// ---------------------------------------------------------------------------------------------
// The draw command

constexpr int kCycleDays = 100;

// A program folder whose working file holds a 100-day cycle (first in the list, so start-up draws
// it) with a reading every day, five days of menstruation, intercourse every third day and a few
// remarks, followed by a year of 28-day cycles so the day table is not trivially small.
class DrawProgramFolder {
public:
    DrawProgramFolder()
    {
        QDir(dir_.path()).mkpath(QStringLiteral("Data"));
        createDatabaseFile(dataFilePath(path()), QLatin1String(kDatabasePassword));
        createDatabaseFile(demoDataFilePath(path()), QLatin1String(kDatabasePassword));
        Connection conn;
        conn.setConnectionString(BuildConnectionString(dataFilePath(path())));
        conn.connect();
        conn.beginTrans();
        QDate start(2010, 1, 4);
        addCycle(conn, start, kCycleDays);
        start = start.addDays(kCycleDays);
        for (int i = 0; i < 13; ++i, start = start.addDays(28))
            addCycle(conn, start, 28);
        conn.commitTrans();
        conn.disconnect();
    }
    QString path() const { return dir_.path() + QLatin1Char('/'); }

    // Markers the draw command puts on the 100-day cycle.
    static int expectedMarkers()
    {
        int markers = 0;
        for (int d = 1; d <= kCycleDays; ++d)
            markers += (isMenstruation(d) ? 1 : 0) + (isIntercourse(d) ? 1 : 0);
        return markers;
    }

private:
    static bool isMenstruation(int day) { return day <= 5; }
    static bool isIntercourse(int day) { return day % 3 == 0; }

    static void addCycle(Connection& conn, const QDate& start, int days)
    {
        Query cycles(conn);
        cycles.setSql(QStringLiteral("select * from Comment"));
        cycles.open();
        cycles.append();
        cycles.fieldByName(QStringLiteral("起始日期")).setAsDateTime(toDateTimeValue(start));
        cycles.fieldByName(QStringLiteral("天数")).setAsInteger(days);
        cycles.fieldByName(QStringLiteral("说明")).setAsText(QStringLiteral("%1 天周期").arg(days));
        cycles.post();
        const qint64 id = cycles.fieldByName(QStringLiteral("编号")).asInteger();

        Query heat(conn);
        heat.setSql(QStringLiteral("select * from Heat where 编号=%1").arg(id));
        heat.open();
        for (int d = 1; d <= days; ++d) {
            heat.append();
            heat.fieldByName(QStringLiteral("编号")).setAsInteger(id);
            heat.fieldByName(QStringLiteral("序号")).setAsInteger(d);
            heat.fieldByName(QStringLiteral("日期")).setAsDateTime(toDateTimeValue(start) + d - 1);
            // Two phases with a little day-to-day wobble, in hundredths of a degree.
            const int hundredths = (d % 28 < 14 ? 3630 : 3670) + (d * 7) % 11 - 5;
            heat.fieldByName(QStringLiteral("体温")).setAsFloat(hundredths / 100.0);
            if (isMenstruation(d))
                heat.fieldByName(QStringLiteral("月经")).setAsText(QStringLiteral("√"));
            if (isIntercourse(d))
                heat.fieldByName(QStringLiteral("同房")).setAsText(QStringLiteral("√"));
            if (d % 10 == 1)
                heat.fieldByName(QStringLiteral("备注")).setAsText(QStringLiteral("睡眠不足"));
            heat.post();
        }
    }

    QTemporaryDir dir_;
};

// The window shown on the folder, with the cycle drawn by start-up. Any box the window would
// have shown is recorded instead and fails the benchmark.
class ShownWindow {
public:
    ShownWindow() : window_(folder_.path())
    {
        window_.show();
        if (!QTest::qWaitForWindowExposed(&window_))
            error_ = "the main window was not exposed";
    }

    TFrm_Main& window() { return window_; }

    // Empty when the window shows the whole cycle and no box came up.
    std::string check()
    {
        if (!error_.empty())
            return error_;
        if (!dialogs_.shown().empty())
            return "a box was shown: " + dialogs_.texts().join(QStringLiteral(" | ")).toStdString();
        if (window_.Series1().count() != kCycleDays)
            return "the line has " + std::to_string(window_.Series1().count()) + " points, not 100";
        if (window_.Series2().count() != DrawProgramFolder::expectedMarkers())
            return "the chart has " + std::to_string(window_.Series2().count()) + " markers, not "
                   + std::to_string(DrawProgramFolder::expectedMarkers());
        if (window_.DBChart1->size() != QSize(Chart::kDefaultWidth, Chart::kDefaultHeight))
            return "the chart is not 814 x 376";
        return {};
    }

private:
    testing::ScriptedDialogs dialogs_; // installed before the window exists
    DrawProgramFolder folder_;
    TFrm_Main window_;
    std::string error_;
};

void BM_DrawCommand(benchmark::State& state)
{
    ShownWindow shown;
    if (const std::string error = shown.check(); !error.empty()) {
        state.SkipWithError(error.c_str());
        return;
    }
    TFrm_Main& w = shown.window();
    for (auto _ : state)
        w.Button5Click();
    if (const std::string error = shown.check(); !error.empty())
        state.SkipWithError(error.c_str());
    state.counters["points"] = w.Series1().count();
    state.counters["markers"] = w.Series2().count();
}

// The command and the repaint it causes (the chart and the records grid), as the user sees it.
void BM_DrawCommandOnScreen(benchmark::State& state)
{
    ShownWindow shown;
    if (const std::string error = shown.check(); !error.empty()) {
        state.SkipWithError(error.c_str());
        return;
    }
    TFrm_Main& w = shown.window();
    for (auto _ : state) {
        w.Button5Click();
        QCoreApplication::processEvents();
    }
    if (const std::string error = shown.check(); !error.empty())
        state.SkipWithError(error.c_str());
}

void BM_PaintChartImage(benchmark::State& state)
{
    ShownWindow shown;
    if (const std::string error = shown.check(); !error.empty()) {
        state.SkipWithError(error.c_str());
        return;
    }
    const Chart& chart = *shown.window().DBChart1;
    QImage image(Chart::kDefaultWidth, Chart::kDefaultHeight, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter painter(&image);
        chart.paint(painter, image.rect());
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
}

void BM_RenderChartImage(benchmark::State& state)
{
    ShownWindow shown;
    if (const std::string error = shown.check(); !error.empty()) {
        state.SkipWithError(error.c_str());
        return;
    }
    const Chart& chart = *shown.window().DBChart1;
    for (auto _ : state)
        benchmark::DoNotOptimize(chart.renderImage());
}

// Takes "--startup_runs=N" out of the arguments before Google Benchmark sees them.
void takeOwnArguments(int& argc, char** argv)
{
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        const char* flag = "--startup_runs=";
        if (std::strncmp(argv[i], flag, std::strlen(flag)) == 0)
            g_startup_runs = std::max(1, std::atoi(argv[i] + std::strlen(flag)));
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
    argv[argc] = nullptr;
}

} // namespace

int main(int argc, char** argv)
{
    takeOwnArguments(argc, argv);
    // The start-up probes inherit this, so both kinds of window run on the same platform.
    if (std::getenv("QT_QPA_PLATFORM") == nullptr && std::getenv("DISPLAY") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    platform::installFontSubstitutions();
    applySkin(app);

    benchmark::RegisterBenchmark("BM_StartupEmptyWindow", BM_StartupEmptyWindow)
        ->UseManualTime()->Iterations(g_startup_runs)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_StartupEmptyWindowKorimoLibraries", BM_StartupEmptyWindowKorimoLibraries)
        ->UseManualTime()->Iterations(g_startup_runs)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_StartupKorimo", BM_StartupKorimo)
        ->UseManualTime()->Iterations(g_startup_runs)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_StartupRatio", BM_StartupRatio)
        ->UseManualTime()->Iterations(g_startup_runs)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_DrawCommand", BM_DrawCommand)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_DrawCommandOnScreen", BM_DrawCommandOnScreen)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_PaintChartImage", BM_PaintChartImage)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_RenderChartImage", BM_RenderChartImage)->Unit(benchmark::kMillisecond);

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
