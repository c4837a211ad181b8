// Selecting a cycle redraws the chart, so painting must stay well inside a frame: the target is
// at most 10 ms for the full 814 x 376 picture of a 100-day cycle with a reading every day and
// 60 day markers.

#include "chart/chart.h"
#include "chart/vertical_range.h"
#include "platform/fonts.h"

#include <QApplication>
#include <QImage>
#include <QLocale>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>

namespace {

void fillHundredDays(korimo::Chart& chart)
{
    const double lower = korimo::LowerBound(36.2);
    chart.leftAxis().setMinMax(lower, korimo::UpperBound(37.1));
    chart.bottomAxis().setMaximum(101);
    chart.topAxis().setMaximum(101);
    for (int day = 1; day <= 100; ++day) {
        // A biphasic curve with some day-to-day noise, in 0.05 degree steps.
        const double base = day % 28 < 14 ? 36.4 : 36.8;
        chart.lineSeries().add(day, base + 0.05 * ((day * 7) % 5));
        if (day % 28 < 7)
            chart.pointSeries().add(day, korimo::MenstruationMarkerY(lower), QStringLiteral("▲"));
        if (day % 3 == 0)
            chart.pointSeries().add(day, korimo::IntercourseMarkerY(lower), QStringLiteral("★"));
    }
}

void BM_PaintHundredDayChart(benchmark::State& state)
{
    korimo::Chart chart;
    fillHundredDays(chart);
    QImage image(chart.size(), QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter painter(&image);
        chart.paint(painter, image.rect());
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
    state.counters["markers"] = chart.pointSeries().count();
    state.counters["points"] = chart.lineSeries().count();
}
BENCHMARK(BM_PaintHundredDayChart)->Unit(benchmark::kMillisecond);

// Baseline: the same image filled with the background gradient alone.
void BM_PaintEmptyChart(benchmark::State& state)
{
    korimo::Chart chart;
    QImage image(chart.size(), QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter painter(&image);
        chart.paint(painter, image.rect());
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_PaintEmptyChart)->Unit(benchmark::kMillisecond);

void BM_RenderImage(benchmark::State& state)
{
    korimo::Chart chart;
    fillHundredDays(chart);
    for (auto _ : state)
        benchmark::DoNotOptimize(chart.renderImage());
}
BENCHMARK(BM_RenderImage)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    QApplication app(argc, argv);
    korimo::platform::installFontSubstitutions();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
