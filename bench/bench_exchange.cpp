// iCalendar out and in: the export of a Schedule file of 1,000,000 Day records, and the import of
// a file of 10,000 events (a quarter of them recurring weekly for a month) into an empty Schedule
// file, both with the progress callback the dialog uses.

#include "ScheduleGenerator.h"
#include "exchange/IcalExport.h"
#include "exchange/IcalImport.h"
#include "store/ScheduleFile.h"

#include <benchmark/benchmark.h>

#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kImportedEvents = 10'000;

// Events on consecutive dates, timed and all-day in turn, every fourth one weekly for a month.
QByteArray eventsFile() {
    QByteArray text = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//bench//bench//EN\r\n";
    const QDate first(2026, 1, 1);
    for (int i = 0; i < kImportedEvents; ++i) {
        const QDate date = first.addDays(i);
        QByteArray start = i % 2 == 0 ? ";VALUE=DATE:" + date.toString(QStringLiteral("yyyyMMdd")).toUtf8()
                                      : ":" + date.toString(QStringLiteral("yyyyMMdd")).toUtf8() + "T093000";
        text += "BEGIN:VEVENT\r\nUID:" + QByteArray::number(i) +
                "@bench\r\nDTSTAMP:20260101T000000Z\r\nDTSTART" + start + "\r\nSUMMARY:予定 " +
                QByteArray::number(i) + " の内容\r\nPRIORITY:5\r\n" +
                (i % 4 == 0 ? "RRULE:FREQ=WEEKLY;COUNT=4\r\n" : "") + "END:VEVENT\r\n";
    }
    return text + "END:VCALENDAR\r\n";
}

void BM_ExportMillion(benchmark::State& state) {
    static benchdata::GeneratedSchedule schedule;
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("out.ics"));
    for (auto _ : state) {
        const exchange::IcsExport result =
            exchange::exportIcs(schedule.path, out, [](qint64, qint64) { return true; });
        if (!result.failure.isEmpty() || result.events != benchdata::kRecords) {
            std::fprintf(stderr, "export failed: %s\n", qPrintable(result.failure));
            std::abort();
        }
    }
    state.counters["events"] = benchdata::kRecords;
}
BENCHMARK(BM_ExportMillion)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly();

void BM_ImportTenThousand(benchmark::State& state) {
    const QByteArray text = eventsFile();
    QTemporaryDir dir;
    int run = 0;
    int added = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const QString path = dir.filePath(QStringLiteral("in%1.sdb").arg(run++));
        if (store::createScheduleFile(path).failed())
            std::abort();
        state.ResumeTiming();
        // Reading the file is part of the import the user waits for.
        const exchange::Calendar calendar = exchange::Calendar::parse(text);
        const exchange::ImportReport report = exchange::importCalendar(
            calendar, path, {QDate(2026, 1, 1), QDate(2053, 12, 31)}, [](qint64, qint64) { return true; });
        if (!report.failure.isEmpty()) {
            std::fprintf(stderr, "import failed: %s\n", qPrintable(report.failure));
            std::abort();
        }
        added = report.added;
    }
    state.counters["added"] = added;
}
BENCHMARK(BM_ImportTenThousand)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly();

} // namespace

BENCHMARK_MAIN();
