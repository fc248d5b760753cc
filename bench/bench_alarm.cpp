// The alarm check as the idle program runs it ten times a second, and the start-up query for
// missed alarms, over a Schedule file of 1,000,000 Day records (one per date and slot, so today's
// Slot queries each find a row), made once per run in a temporary folder. Today's four items are armed for
// another minute, so the check reads them all and rings none: the cost of an idle tick.
//
// The counter "core%@10Hz" is the share of one core that ten checks a second take, from the CPU
// time the checks used.

#include "alarm/AlarmCheck.h"
#include "alarm/MissedAlarms.h"
#include "platform/Services.h"
#include "shell/Host.h"
#include "store/Connection.h"
#include "store/DayRecords.h"
#include "store/ScheduleFile.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

constexpr int kRecords = 1'000'000;
constexpr int kDays = kRecords / 4;
const QDate kFirstDay(1800, 1, 1);
const QDate kToday(2026, 3, 5);

struct ScheduleFile {
    QTemporaryDir dir;
    QString path;

    ScheduleFile() {
        path = dir.filePath(QStringLiteral("alarm-bench.sdb"));
        store::Error error = store::createScheduleFile(path);
        if (!error.failed()) {
            auto connection = store::Connection::open(path, &error);
            if (connection)
                error = fill(*connection);
        }
        if (error.failed()) {
            std::fprintf(stderr, "cannot make the Schedule file: %s\n", qPrintable(error.message));
            std::exit(1);
        }
    }

    // Four items on each of 250,000 consecutive days from 1800 on (today among them); a third
    // armed, every other one with the time 0930, the rest with the empty-time marker.
    static store::Error fill(store::Connection& connection) {
        store::Error error = connection.exec(QStringLiteral("BEGIN"));
        if (error.failed())
            return error;
        store::Statement* insert = connection.prepare(
            QStringLiteral(
                "INSERT INTO 予定表 (年月日, 項目番号, レベル, 内容, アラーム, 時刻) VALUES (?,?,?,?,?,?)"),
            &error);
        if (!insert)
            return error;
        for (int i = 0; i < kRecords; ++i) {
            const QDate date = kFirstDay.addDays(i / 4);
            insert->reset();
            insert->bind(1, store::dateString(date));
            insert->bind(2, static_cast<double>(i % 4 + 1));
            insert->bind(3, static_cast<double>(i % 5 + 1));
            insert->bind(4, QStringLiteral("予定 %1").arg(i));
            insert->bind(5, date == kToday || i % 3 == 0 ? QStringLiteral("True") : QStringLiteral("False"));
            insert->bind(6, i % 2 == 0 ? store::kEmptyTime : QStringLiteral("0930"));
            if (sqlite3_step(insert->get()) != SQLITE_DONE)
                return connection.lastError();
        }
        insert->reset();
        return connection.exec(QStringLiteral("COMMIT"));
    }
};

ScheduleFile& file() {
    static ScheduleFile instance;
    return instance;
}

// The platform as the idle program sees it: a clock at 10:00 on a day whose items are armed
// for 09:30; a box or a sound would mean the check rang.
class IdlePlatform : public platform::MessageService,
                     public platform::ClockService,
                     public platform::SoundService {
  public:
    platform::Answer show(const QString&, const QString&, platform::Icon, platform::Buttons) override {
        ++boxes;
        return platform::Answer::Ok;
    }
    QDateTime now() const override { return QDateTime(kToday, QTime(10, 0)); }
    void start(const QString&) override {}
    void stop() override {}
    int boxes = 0;
};

class Host : public shell::Host {
  public:
    settings::Settings& settings() override { return record; }
    QDate selectedDate() const override { return kToday; }
    void setSelectedDate(const QDate&) override {}
    QWidget* mainWindow() override { return nullptr; }
    void setMainEnabled(bool) override {}
    void rebuildMonthGrid() override {}
    int displayedYear() const override { return kToday.year(); }
    void setTodoChecked(bool) override {}

    settings::Settings record;
};

double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

void BM_AlarmCheckIdle(benchmark::State& state) {
    IdlePlatform idle;
    platform::Services services;
    services.messages = &idle;
    services.clock = &idle;
    services.sound = &idle;
    platform::install(services);
    Host host;
    host.record.scheduleFile = file().path;
    alarms::AlarmCheck check(host);
    check.check(); // opens the file

    const double begin = cpuSeconds();
    for (auto _ : state)
        check.check();
    const double spent = cpuSeconds() - begin;

    if (idle.boxes != 0)
        state.SkipWithError("the check rang");
    const double perCheck = spent / static_cast<double>(state.iterations());
    state.counters["core%@10Hz"] = perCheck * 10 * 100;
}
BENCHMARK(BM_AlarmCheckIdle)->Unit(benchmark::kMicrosecond);

// The start-up query for missed alarms: the armed items of the last 7 days, on the open file.
void BM_MissedAlarmsAtStartUp(benchmark::State& state) {
    store::DayStore days(file().path);
    if (days.open().failed()) {
        state.SkipWithError("cannot open the Schedule file");
        return;
    }
    for (auto _ : state) {
        const store::Result<std::vector<store::ArmedItem>> missed =
            alarms::missedAlarms(days, QDateTime(kToday, QTime(10, 0)));
        if (!missed.ok() || missed.value().empty()) {
            state.SkipWithError("no missed alarms found");
            break;
        }
        benchmark::DoNotOptimize(missed.value().data());
    }
}
BENCHMARK(BM_MissedAlarmsAtStartUp)->Unit(benchmark::kMicrosecond);

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
