// The Schedule store over a large file: 1,000,000 Day records spread over 30 years, made once per
// run in a temporary folder. Measures what the windows do most: one Slot query with its read, the
// Date queries that colour a month, the one-query month colouring, a list filter over the whole
// table, and writing a new row. Besides, an entry window's opening of a small file that lists many
// views.

#include "ScheduleGenerator.h"
#include "store/DataControl.h"
#include "store/DayStore.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QTemporaryDir>
#include <cstdlib>

namespace {

using benchdata::kFirstDay;

benchdata::GeneratedSchedule& file() {
    static benchdata::GeneratedSchedule instance;
    return instance;
}

store::DataControl& openData(store::DataControl& data) {
    if (store::openDayTable(data, file().path).failed())
        std::abort();
    return data;
}

// One slot read with the read rule, stepping through dates and slots.
void BM_SlotQueryRead(benchmark::State& state) {
    store::DataControl data;
    openData(data);
    const auto& dates = file().dates;
    size_t i = 0;
    for (auto _ : state) {
        const store::Result<store::SlotItem> item =
            store::readSlot(data, dates[(i * 7919) % dates.size()], static_cast<int>(i % 4) + 1);
        benchmark::DoNotOptimize(item);
        ++i;
    }
}
BENCHMARK(BM_SlotQueryRead);

// The 31 Date queries of one month, each reading the first row's content.
void BM_MonthDateQueries(benchmark::State& state) {
    store::DataControl data;
    openData(data);
    int month = 0;
    for (auto _ : state) {
        const QDate first = kFirstDay.addMonths(month++ % 360);
        int marked = 0;
        for (int day = 1; day <= first.daysInMonth(); ++day) {
            data.setRecordSource(store::dateQuery(store::dateString(first.year(), first.month(), day)));
            if (data.refresh().ok() && data.hasCurrentRow() &&
                !data.field(QStringLiteral("内容")).value().toString().isEmpty())
                ++marked;
        }
        benchmark::DoNotOptimize(marked);
    }
}
BENCHMARK(BM_MonthDateQueries)->Unit(benchmark::kMicrosecond);

// The same month in one query.
void BM_MonthDatesWithItems(benchmark::State& state) {
    store::DayStore days(file().path);
    int month = 0;
    for (auto _ : state) {
        const QDate first = kFirstDay.addMonths(month++ % 360);
        QStringList dates;
        for (int day = 1; day <= first.daysInMonth(); ++day)
            dates << store::dateString(first.year(), first.month(), day);
        benchmark::DoNotOptimize(days.datesWithItems(dates));
    }
}
BENCHMARK(BM_MonthDatesWithItems)->Unit(benchmark::kMicrosecond);

// The list window's year-and-month filter: the LIKE function over every row of the table.
void BM_ListYearMonthFilter(benchmark::State& state) {
    store::DataControl data;
    openData(data);
    data.setRecordSource(
        QStringLiteral("SELECT * FROM 予定表 WHERE 年月日 LIKE '2024/*' AND 年月日 LIKE '*/3/*' ;"));
    for (auto _ : state) {
        if (data.refresh().failed())
            state.SkipWithError("refresh failed");
        benchmark::DoNotOptimize(data.recordCount());
    }
    state.counters["rows"] = data.recordCount();
}
BENCHMARK(BM_ListYearMonthFilter)->Unit(benchmark::kMillisecond);

// A new row through the data control: add new, six fields, update (one durable commit each).
void BM_AddNewUpdate(benchmark::State& state) {
    store::DataControl data;
    openData(data);
    data.setRecordSource(store::slotQuery(QStringLiteral("2100/1/1"), 1));
    if (data.refresh().failed())
        std::abort();
    for (auto _ : state) {
        bool staged = data.addNew().ok();
        for (const auto& [name, value] :
             {std::pair<QString, QVariant>{QStringLiteral("年月日"), QStringLiteral("2100/1/1")},
              {QStringLiteral("項目番号"), 1.0},
              {QStringLiteral("レベル"), 3.0},
              {QStringLiteral("内容"), QStringLiteral("追加")},
              {QStringLiteral("アラーム"), QStringLiteral("False")},
              {QStringLiteral("時刻"), store::kEmptyTime}})
            staged = staged && data.setField(name, value).ok();
        if (!staged || data.update().failed())
            state.SkipWithError("update failed");
    }
}
BENCHMARK(BM_AddNewUpdate)->Unit(benchmark::kMicrosecond);

// An entry window opening: the file opened anew, its schema checked and one date read, on a
// Schedule file of one item that also lists the given number of views.
void BM_EntryWindowOpen(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("views.sdb"));
    const QByteArray sql =
        QStringLiteral("INSERT INTO 予定表 (年月日, 項目番号, 内容) VALUES ('2026/1/5', 1, '一'); "
                       "PRAGMA writable_schema=ON; WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 "
                       "FROM r WHERE n < %1) INSERT INTO sqlite_master SELECT 'view', 'v' || n, 'v' || n, 0, "
                       "'CREATE VIEW v' || n || ' AS SELECT 1' FROM r")
            .arg(state.range(0))
            .toUtf8();
    sqlite3* db = nullptr;
    if (store::createScheduleFile(path).failed() ||
        sqlite3_open(path.toUtf8().constData(), &db) != SQLITE_OK ||
        sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
        std::abort();
    sqlite3_close(db);
    for (auto _ : state) {
        store::DayStore days(path);
        std::array<store::SlotItem, store::kSlotCount> items;
        if (days.readDay(QDate(2026, 1, 5), items).failed())
            state.SkipWithError("read failed");
        benchmark::DoNotOptimize(items);
    }
}
BENCHMARK(BM_EntryWindowOpen)->Arg(0)->Arg(10000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    file(); // made before any timing starts
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
