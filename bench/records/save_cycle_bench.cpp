// "保存周期" of a 100-day cycle through the real handler, in a database of 1,000 cycles: a new
// cycle (100 days appended) and the same cycle saved again unchanged (100 days located and
// rewritten). Run: build/bench/records/bench_save_cycle
#include "app/main_window.h"
#include "data/connection.h"
#include "data/connection_string.h"
#include "data/query.h"
#include "data/schema.h"
#include "data/values.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

using namespace korimo;

namespace {

// A program folder whose working database holds 1,000 cycles of 100 days.
class BigProgramFolder {
public:
    BigProgramFolder()
    {
        QDir(dir_.path()).mkpath(QStringLiteral("Data"));
        const QString data = dataFilePath(path());
        createDatabaseFile(data, QLatin1String(kDatabasePassword));
        createDatabaseFile(demoDataFilePath(path()), QLatin1String(kDatabasePassword));
        Connection conn;
        conn.setConnectionString(BuildConnectionString(data));
        conn.beginTrans();
        for (int c = 1; c <= 1000; ++c) {
            conn.execute(QStringLiteral("insert into Comment (起始日期, 天数, 说明) values (%1, 100, 'c%2')")
                             .arg(30000 + c * 100)
                             .arg(c));
            QString sql = QStringLiteral("insert into Heat (编号, 序号, 日期, 体温) values ");
            for (int d = 1; d <= 100; ++d)
                sql += QStringLiteral("%1(%2, %3, %4, 36.5)")
                           .arg(d > 1 ? QStringLiteral(",") : QString())
                           .arg(c)
                           .arg(d)
                           .arg(30000 + c * 100 + d - 1);
            conn.execute(sql);
        }
        conn.commitTrans();
    }
    QString path() const { return dir_.path() + QLatin1Char('/'); }

private:
    QTemporaryDir dir_;
};

TFrm_Main& window()
{
    static BigProgramFolder folder;
    static std::unique_ptr<TFrm_Main> w = [] {
        auto main = std::make_unique<TFrm_Main>(folder.path());
        main->show();
        return main;
    }();
    return *w;
}

void SaveNewCycle(benchmark::State& state)
{
    TFrm_Main& w = window();
    int n = 0;
    for (auto _ : state) {
        state.PauseTiming();
        w.Q1->append();
        w.Q1->fieldByName(QStringLiteral("起始日期")).setAsDateTime(toDateTimeValue(QDate(2020, 1, 1)) + n++);
        w.Q1->fieldByName(QStringLiteral("天数")).setAsInteger(100);
        state.ResumeTiming();
        w.Button2Click();
    }
}
BENCHMARK(SaveNewCycle)->Unit(benchmark::kMillisecond)->Iterations(10);

void SaveUnchangedCycle(benchmark::State& state)
{
    TFrm_Main& w = window();
    w.Q1->last();
    for (auto _ : state)
        w.Button2Click();
}
BENCHMARK(SaveUnchangedCycle)->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace

int main(int argc, char** argv)
{
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
