// Data layer timings: connect, opening one cycle's records, the save-cycle pattern.
// Run: build/bench/data/bench_data
#include "data/connection.h"
#include "data/query.h"
#include "temp_database.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

using namespace korimo;

namespace {

// A database of 1,000 cycles of 100 days each.
korimo::testing::TempDatabase& bigDatabase()
{
    static korimo::testing::TempDatabase db = [] {
        korimo::testing::TempDatabase d;
        Connection conn;
        conn.setConnectionString(d.connectionString());
        conn.beginTrans();
        for (int c = 1; c <= 1000; ++c) {
            conn.execute(QStringLiteral("insert into Comment (起始日期, 天数, 说明) values (%1, 100, 'cycle %2')")
                             .arg(40000 + c * 100)
                             .arg(c));
            QString sql = QStringLiteral("insert into Heat (编号, 序号, 日期, 体温) values ");
            for (int d = 1; d <= 100; ++d)
                sql += QStringLiteral("%1(%2, %3, %4, %5)")
                           .arg(d > 1 ? QStringLiteral(",") : QString())
                           .arg(c)
                           .arg(d)
                           .arg(40000 + c * 100 + d - 1)
                           .arg(36.2 + (d % 7) / 10.0);
            conn.execute(sql);
        }
        conn.commitTrans();
        return d;
    }();
    return db;
}

void Connect(benchmark::State& state)
{
    korimo::testing::TempDatabase db;
    for (auto _ : state) {
        Connection conn;
        conn.setConnectionString(db.connectionString());
        conn.connect();
        benchmark::DoNotOptimize(conn.isConnected());
    }
}
BENCHMARK(Connect)->Unit(benchmark::kMillisecond);

void OpenOneCycleOf1000(benchmark::State& state)
{
    Connection conn;
    conn.setConnectionString(bigDatabase().connectionString());
    conn.connect();
    Query q2(conn);
    for (auto _ : state) {
        q2.close();
        q2.setSql(QStringLiteral("select * from Heat where 编号=500 order by 序号"));
        q2.open();
        benchmark::DoNotOptimize(q2.recordCount());
    }
}
BENCHMARK(OpenOneCycleOf1000)->Unit(benchmark::kMillisecond);

// The save-cycle pattern: for each of 100 days, locate it, append or edit it, post at once.
void SaveCyclePattern(benchmark::State& state)
{
    Connection conn;
    conn.setConnectionString(bigDatabase().connectionString());
    conn.connect();
    Query pub(conn);
    qint64 id = 100000;
    for (auto _ : state) {
        ++id; // a new cycle each round: every day is appended
        pub.close();
        pub.setSql(QStringLiteral("select * from Heat where 编号=%1").arg(id));
        pub.open();
        for (int d = 1; d <= 100; ++d) {
            if (pub.locate(QStringLiteral("编号;序号"), {id, d}))
                pub.edit();
            else
                pub.append();
            pub.fieldByName(QStringLiteral("编号")).setAsInteger(id);
            pub.fieldByName(QStringLiteral("序号")).setAsInteger(d);
            pub.fieldByName(QStringLiteral("日期")).setAsDateTime(40000 + d - 1);
            pub.post();
        }
    }
}
BENCHMARK(SaveCyclePattern)->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
