// Two-way sync with a local Radicale: the first sync of a calendar of 10,000 events into an
// empty Schedule file, a sync with nothing changed on those 10,000 items, and the first sync of
// a file's Day records into an empty calendar. Each runs once, in this order (the second starts
// from what the first left), and reports besides the wall time: this process's CPU time, the
// server's CPU time, the requests sent and the peak resident memory of this process during the
// sync.

#include "store/ScheduleFile.h"
#include "support/CalDavServers.h"
#include "support/ScheduleRows.h"
#include "sync/AccountSync.h"
#include "sync/CalDavClient.h"
#include "sync/Engine.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>

namespace {

constexpr int kItems = 10'000;
const QString kUser = QStringLiteral("bench");
const QString kPassword = QStringLiteral("bench-password");
const exchange::DateRange kRange{QDate(2026, 1, 1), QDate(2033, 12, 31)};

[[noreturn]] void die(const QString& why) {
    std::fprintf(stderr, "bench_sync: %s\n", qPrintable(why));
    std::abort();
}

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// User and system time of another process, from /proc.
double cpuSecondsOf(qint64 pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const std::size_t end = text.rfind(')');
    if (end == std::string::npos)
        return 0;
    std::istringstream fields(text.substr(end + 2));
    std::string field;
    double ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i)
        if (i == 14 || i == 15)
            ticks += std::stod(field);
    return ticks / double(sysconf(_SC_CLK_TCK));
}

// The peak resident memory from now on: the kernel's high-water mark is set back to the present.
void resetPeakMemory() {
    std::ofstream("/proc/self/clear_refs") << "5";
}
double peakMemoryMB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    return 0;
}

// Radicale checks a new event's UID against every event of the collection, so a first upload
// costs the server time in the square of the collection's size (about 36 minutes for 10,000);
// the upload is measured with fewer items, DADUVOV_BENCH_SYNC_UPLOAD of them (default 2,000).
int uploadItems() {
    bool ok = false;
    const int items = qEnvironmentVariableIntValue("DADUVOV_BENCH_SYNC_UPLOAD", &ok);
    return ok && items > 0 ? items : 2'000;
}

// One event as a phone would write it: all-day or timed (in UTC), some with a priority.
QByteArray eventText(int i) {
    const QDate date = kRange.first.addDays(i / 4);
    const QByteArray start = i % 2 == 0
                                 ? ";VALUE=DATE:" + date.toString(QStringLiteral("yyyyMMdd")).toUtf8()
                                 : ":" + date.toString(QStringLiteral("yyyyMMdd")).toUtf8() + "T003000Z";
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//bench//EN\r\nBEGIN:VEVENT\r\nUID:e" +
           QByteArray::number(i) + "\r\nDTSTAMP:20260101T000000Z\r\nDTSTART" + start + "\r\nSUMMARY:予定 " +
           QByteArray::number(i) + " の内容\r\n" + (i % 3 == 0 ? "PRIORITY:5\r\n" : "") +
           "END:VEVENT\r\nEND:VCALENDAR\r\n";
}

struct Lab {
    QTemporaryDir dir;
    testsupport::Radicale radicale;
    calsync::Account downloading; // a calendar of 10,000 events
    calsync::Account uploading;   // an empty calendar
    QString uploaded;             // a file of uploadItems() Day records
    QString downloaded;           // an empty file

    Lab() {
        // The calendar of 10,000 events is written straight into Radicale's storage.
        const QString storage = dir.filePath(QStringLiteral("radicale"));
        const QString full = storage + QStringLiteral("/collections/collection-root/bench/full");
        if (!dir.isValid() || !QDir().mkpath(full) ||
            !testsupport::writeFile(
                full + QStringLiteral("/.Radicale.props"),
                R"({"C:supported-calendar-component-set": "VEVENT", "tag": "VCALENDAR"})"))
            die(QStringLiteral("cannot make the storage folder"));
        for (int i = 0; i < kItems; ++i)
            if (!testsupport::writeFile(full + QStringLiteral("/e%1.ics").arg(i), eventText(i)))
                die(QStringLiteral("cannot write the events"));
        if (!radicale.start(storage, {{kUser, kPassword}}))
            die(QStringLiteral("Radicale did not start (Debian package radicale)"));
        const QUrl empty = radicale.url(QStringLiteral("/bench/empty/"));
        calsync::Http http({kUser, kPassword, {}});
        const auto made =
            http.run({"MKCALENDAR",
                      empty,
                      testsupport::mkcalendarBody(QStringLiteral("bench"), {QStringLiteral("VEVENT")}),
                      {{"Content-Type", "application/xml"}}});
        if (!made.ok() || made.value().status != 201)
            die(QStringLiteral("MKCALENDAR failed: ") + made.failure().detail);
        downloading.user = uploading.user = kUser;
        downloading.collection = radicale.url(QStringLiteral("/bench/full/")).toString();
        uploading.collection = empty.toString();
        downloaded = newFile(QStringLiteral("downloaded.sdb"));
        uploaded = newFile(QStringLiteral("uploaded.sdb"));
        QList<testrows::DayRow> rows;
        for (int i = 0; i < uploadItems(); ++i)
            rows.append({store::dateString(kRange.first.addDays(i / 4)), double(i % 4 + 1),
                         i % 3 == 0 ? QVariant(double(i % 5 + 1)) : QVariant(),
                         QStringLiteral("予定 %1 の内容").arg(i),
                         i % 7 == 0 ? QStringLiteral("True") : QStringLiteral("False"),
                         i % 2 == 0 ? QStringLiteral("0930") : store::kEmptyTime});
        testrows::addDays(uploaded, rows);
    }

    QString newFile(const QString& name) const {
        const QString path = dir.filePath(name);
        if (store::createScheduleFile(path).failed())
            die(QStringLiteral("cannot make ") + path);
        return path;
    }
};

Lab& lab() {
    static Lab instance;
    return instance;
}

// One sync of `file`, timed by the benchmark; the other figures as counters.
void syncOnce(benchmark::State& state, calsync::Account account, const QString& file, int expectSent,
              int expectReceived) {
    Lab& l = lab();
    account.schedule = file;
    calsync::SyncReport report;
    int requests = 0;
    const double serverBefore = cpuSecondsOf(l.radicale.helper.process.processId());
    const double before = cpuSeconds();
    for (auto _ : state) {
        resetPeakMemory();
        const std::unique_ptr<calsync::CalDavClient> client = calsync::clientFor(account, kPassword);
        report = calsync::runSync(file, calsync::collectionIdentity(account), *client, {kRange, false});
        requests = client->requestCount();
    }
    if (!report.ok())
        die(QStringLiteral("the sync failed: ") + report.failure);
    if (report.sent != expectSent || report.received != expectReceived)
        die(QStringLiteral("sent %1, received %2").arg(report.sent).arg(report.received));
    state.counters["cpuS"] = cpuSeconds() - before;
    state.counters["serverCpuS"] = cpuSecondsOf(l.radicale.helper.process.processId()) - serverBefore;
    state.counters["requests"] = requests;
    state.counters["peakMB"] = peakMemoryMB();
}

void BM_SyncFirstDownload(benchmark::State& state) {
    syncOnce(state, lab().downloading, lab().downloaded, 0, kItems);
}
BENCHMARK(BM_SyncFirstDownload)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

void BM_SyncNoChange(benchmark::State& state) {
    syncOnce(state, lab().downloading, lab().downloaded, 0, 0);
}
BENCHMARK(BM_SyncNoChange)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

void BM_SyncFirstUpload(benchmark::State& state) {
    syncOnce(state, lab().uploading, lab().uploaded, uploadItems(), 0);
    state.counters["items"] = uploadItems();
}
BENCHMARK(BM_SyncFirstUpload)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
