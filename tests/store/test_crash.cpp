// Nothing is lost when the program is killed while it writes: crash_writer saves Day records,
// edits a grid row and writes the Settings file in a loop, and is killed with SIGKILL at a
// random moment, a thousand times (or as many as fit in a wall-time budget). After every kill the
// Schedule file must pass PRAGMA integrity_check, every row must be whole and of one iteration,
// no row may go back to an older iteration than one already seen (a committed write is never
// lost), and the Settings file must be one iteration's 26 lines, whole.

#include "CrashRecords.h"

#include "platform/TextFile.h"
#include "settings/ConfigFile.h"
#include "store/ScheduleFile.h"

#include <sqlite3.h>

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QtTest>

#include <algorithm>
#include <array>

namespace {

constexpr int kMaxRuns = 1000;
constexpr qint64 kBudgetMs = 60'000;

// The newest iteration seen so far in each place; none may go back.
struct Seen {
    std::array<qint64, 5> slot{}; // by slot number 1..4
    qint64 grid = 0;
    qint64 settings = 0;
};

QString text(sqlite3_stmt* stmt, int column) {
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, column)),
                             sqlite3_column_bytes(stmt, column));
}

QString checkRow(sqlite3_stmt* stmt, Seen& seen, std::array<int, 5>& slotRows, int& gridRows) {
    const QString date = text(stmt, 0);
    const double slot = sqlite3_column_double(stmt, 1);
    const double level = sqlite3_column_double(stmt, 2);
    const QString content = text(stmt, 3);
    const QString alarm = text(stmt, 4);
    const QString time = text(stmt, 5);
    const QString row =
        QStringLiteral("%1|%2|%3|%4|%5|%6").arg(date).arg(slot).arg(level).arg(content, alarm, time);

    if (date == crash::kSlotDate) {
        const int n = static_cast<int>(slot);
        if (n < 1 || n > 4 || n != slot)
            return QStringLiteral("a row for no slot: ") + row;
        ++slotRows[n];
        const auto i = crash::iterationOf(content, QStringLiteral("反復"));
        if (!i)
            return QStringLiteral("a cut-off content: ") + row;
        const store::SlotItem item = crash::slotItem(*i, n);
        if (content != item.content || level != store::levelNumber(item.levelText) ||
            alarm != (item.alarm ? QStringLiteral("True") : QStringLiteral("False")) || time != item.timeText)
            return QStringLiteral("a row mixed from iterations or cut off: ") + row;
        if (*i < seen.slot[n])
            return QStringLiteral("slot %1 went back from iteration %2: ").arg(n).arg(seen.slot[n]) + row;
        seen.slot[n] = *i;
        return {};
    }
    if (date == crash::kGridDate) {
        ++gridRows;
        const auto i = crash::iterationOf(content, QStringLiteral("一覧反復"));
        if (!i)
            return QStringLiteral("a cut-off grid content: ") + row;
        const crash::GridValues values = crash::gridValues(*i);
        if (content != values.content || level != values.level || alarm != values.alarm ||
            time != values.time)
            return QStringLiteral("a grid row mixed from iterations or cut off: ") + row;
        if (*i < seen.grid)
            return QStringLiteral("the grid row went back from iteration %1: ").arg(seen.grid) + row;
        seen.grid = *i;
        return {};
    }
    return QStringLiteral("a row nobody wrote: ") + row;
}

// Opening the file read-write rolls back a journal left by the killed writer, as the program's
// next start would.
QString checkSchedule(const QString& path, Seen& seen) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return QStringLiteral("the Schedule file does not open");
    }
    sqlite3_busy_timeout(db, 5000);
    QString problem;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &stmt, nullptr) != SQLITE_OK ||
        sqlite3_step(stmt) != SQLITE_ROW)
        problem = QStringLiteral("integrity_check did not run: ") + QString::fromUtf8(sqlite3_errmsg(db));
    else if (text(stmt, 0) != QLatin1String("ok"))
        problem = QStringLiteral("integrity_check: ") + text(stmt, 0);
    sqlite3_finalize(stmt);

    std::array<int, 5> slotRows{};
    int gridRows = 0;
    if (problem.isEmpty()) {
        if (sqlite3_prepare_v2(
                db, "SELECT 年月日, 項目番号, レベル, 内容, アラーム, 時刻 FROM 予定表 ORDER BY rowid", -1,
                &stmt, nullptr) != SQLITE_OK)
            problem = QStringLiteral("the rows cannot be read: ") + QString::fromUtf8(sqlite3_errmsg(db));
        int rc = SQLITE_DONE;
        while (problem.isEmpty() && (rc = sqlite3_step(stmt)) == SQLITE_ROW)
            problem = checkRow(stmt, seen, slotRows, gridRows);
        if (problem.isEmpty() && rc != SQLITE_DONE)
            problem = QStringLiteral("reading the rows failed: ") + QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    if (!problem.isEmpty())
        return problem;
    // Slots 1-3 always hold an item; slot 4 is deleted in every third iteration.
    for (int n = 1; n <= 4; ++n) {
        if (slotRows[n] > 1 || (n < 4 && slotRows[n] == 0))
            return QStringLiteral("slot %1 has %2 rows").arg(n).arg(slotRows[n]);
    }
    if (gridRows != 1)
        return QStringLiteral("the grid row is there %1 times").arg(gridRows);
    return {};
}

QString checkSettings(const QString& iniFile, Seen& seen) {
    const std::optional<QString> content = platform::readTextFile(iniFile);
    if (!content)
        return QStringLiteral("the Settings file is gone");
    if (!content->endsWith(QLatin1String("\r\n")))
        return QStringLiteral("the Settings file is cut off: ") + content->right(80);
    QStringList lines = content->split(QStringLiteral("\r\n"));
    lines.removeLast();
    if (lines.size() != 26)
        return QStringLiteral("the Settings file has %1 lines").arg(lines.size());
    // CRL0 holds 6 x the iteration; every other line must be that iteration's.
    const qint64 i = lines.value(10).section(QLatin1Char('='), 1).toLongLong() / 6;
    const QStringList expected = settings::configLines(crash::settingsFor(i, iniFile), crash::settingsTop(i),
                                                       crash::settingsTop(i) + 1);
    if (lines != expected)
        return QStringLiteral("the Settings file mixes iterations: ") + lines.join(QLatin1Char('|'));
    if (i < seen.settings)
        return QStringLiteral("the Settings file went back from iteration %1 to %2")
            .arg(seen.settings)
            .arg(i);
    seen.settings = i;
    return {};
}

// A folder in RAM when there is one. SIGKILL ends only the process: whatever it wrote is in the
// page cache either way, so the outcome of each kill is the same as on a disk, and without the
// waits for the disk the writer gets through many more writes between kills, so the kills land
// at many more points inside them.
QString fastFolder() {
    const QFileInfo shm(QStringLiteral("/dev/shm"));
    return shm.isDir() && shm.isWritable() ? shm.filePath() + QStringLiteral("/daduvov-crash-XXXXXX")
                                           : QDir::tempPath() + QStringLiteral("/daduvov-crash-XXXXXX");
}

struct Run {
    bool ready = false;
    int completed = 0;   // iterations the writer finished before it was stopped
    qint64 workedUs = 0; // from "ready" to the kill or the end
    QProcess::ExitStatus status = QProcess::NormalExit;
    int exitCode = 0;
    QByteArray errors;
};

// Starts the writer and waits for it to be ready; then either waits `delayUs` and kills it, or
// (delayUs < 0) lets it finish.
Run runWriter(const QStringList& arguments, int delayUs) {
    Run run;
    QProcess writer;
    writer.start(QStringLiteral(CRASH_WRITER), arguments);
    if (!writer.waitForStarted(10'000))
        return run;
    while (!writer.canReadLine() && writer.state() == QProcess::Running)
        writer.waitForReadyRead(10'000);
    run.ready = writer.readLine() == "ready\n";
    QElapsedTimer clock;
    clock.start();
    if (run.ready && delayUs >= 0) {
        QThread::usleep(static_cast<unsigned long>(delayUs));
        writer.kill();
    }
    writer.waitForFinished(60'000);
    run.workedUs = clock.nsecsElapsed() / 1000;
    run.completed = static_cast<int>(writer.readAllStandardOutput().count('\n'));
    run.status = writer.exitStatus();
    run.exitCode = writer.exitCode();
    run.errors = writer.readAllStandardError();
    return run;
}

} // namespace

class TestCrash : public QObject {
    Q_OBJECT

  private slots:
    void killedWriterLeavesWholeRecords();
};

void TestCrash::killedWriterLeavesWholeRecords() {
    QTemporaryDir dir(fastFolder());
    QVERIFY(dir.isValid());
    const QString schedule = dir.filePath(QStringLiteral("crash.sdb"));
    QVERIFY(store::createScheduleFile(schedule).ok());
    const QString iniFile = dir.filePath(settings::kSettingsFileName);

    // Iterations 0-9, run to the end, are the state the first kill starts from; they also tell
    // how long one iteration takes here, so that the kills spread over whole iterations.
    constexpr int kSetupIterations = 10;
    const Run setup = runWriter(
        {schedule, iniFile, QStringLiteral("0"), QStringLiteral("0"), QString::number(kSetupIterations)}, -1);
    QVERIFY2(setup.ready && setup.status == QProcess::NormalExit && setup.exitCode == 0,
             setup.errors.constData());
    QCOMPARE(setup.completed, kSetupIterations);
    const qint64 iterationUs = setup.workedUs / kSetupIterations;
    const int maxDelayUs = static_cast<int>(std::clamp<qint64>(2 * iterationUs, 2'000, 200'000));
    Seen seen;
    QCOMPARE(checkSchedule(schedule, seen), QString());
    QCOMPARE(checkSettings(iniFile, seen), QString());

    const quint32 seed = QRandomGenerator::global()->generate();
    QRandomGenerator random(seed);
    QElapsedTimer clock;
    clock.start();
    int runs = 0;
    qint64 completedIterations = 0;
    for (; runs < kMaxRuns && clock.elapsed() < kBudgetMs; ++runs) {
        const qint64 first = (runs + 1) * crash::kIterationsPerRun;
        const Run run = runWriter({schedule, iniFile, QString::number(first), QString::number(runs % 3)},
                                  static_cast<int>(random.bounded(maxDelayUs)));
        const QString context = QStringLiteral(" (run %1, seed %2)").arg(runs).arg(seed);
        QVERIFY2(run.ready, qPrintable(QString::fromLocal8Bit(run.errors) + context));
        QVERIFY2(run.status == QProcess::CrashExit,
                 qPrintable(QStringLiteral("the writer stopped by itself: ") +
                            QString::fromLocal8Bit(run.errors) + context));
        completedIterations += run.completed;

        QString problem = checkSchedule(schedule, seen);
        QVERIFY2(problem.isEmpty(), qPrintable(problem + context));
        problem = checkSettings(iniFile, seen);
        QVERIFY2(problem.isEmpty(), qPrintable(problem + context));
    }

    qInfo("%d kills in %.1f s (seed %u, kills up to %d us after the start), %lld whole iterations written",
          runs, static_cast<double>(clock.elapsed()) / 1000, seed, maxDelayUs,
          static_cast<long long>(completedIterations));
    // A loop that could hardly run proves nothing.
    QVERIFY2(runs >= 50, "fewer than 50 kills within the time budget");
}

QTEST_GUILESS_MAIN(TestCrash)
#include "test_crash.moc"
