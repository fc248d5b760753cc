// The program's side of sync with a job that stands in for the network: the sync runs on its own
// thread while the real clock timer ticks and a real message box is open, it stops at shut-down,
// a change of the file brings one sync for a series of saves, and a conflict is told once.

#include "calendar/CalendarPanel.h"
#include "controls/ClockFace.h"
#include "platform/Services.h"
#include "support/ProgramFixture.h"
#include "support/RealDialogs.h"
#include "support/ScheduleRows.h"
#include "support/WindowFixture.h"
#include "syncview/SyncController.h"
#include "syncview/SyncReportText.h"

#include <QAction>
#include <QElapsedTimer>
#include <QLabel>
#include <QSet>
#include <QThread>
#include <QtTest>
#include <atomic>
#include <memory>

using syncview::SyncController;
using syncview::SyncRunner;

namespace {

// A job that works for `ms` in small steps, as a sync does between requests, and gives `report`.
// `honoursStop`: it ends at the next step once asked to stop.
SyncRunner::Job slowJob(int ms, calsync::SyncReport report, bool honoursStop = true,
                        std::shared_ptr<std::atomic_int> runs = {}) {
    return [=](const std::atomic_bool& stop) {
        if (runs)
            ++*runs;
        QElapsedTimer took;
        took.start();
        while (took.elapsed() < ms) {
            if (honoursStop && stop.load()) {
                calsync::SyncReport stopped;
                stopped.failure = QStringLiteral("同期を中断しました。");
                return stopped;
            }
            QThread::msleep(20);
        }
        return report;
    };
}

SyncController::Accounts accountWith(SyncRunner::Job job) {
    SyncController::Accounts accounts;
    accounts.has = [](const QString&) { return true; };
    accounts.job = [job](const QString&) { return job; };
    return accounts;
}

calsync::SyncReport conflictReport() {
    calsync::SyncReport report;
    report.received = 1;
    report.conflicts.push_back(
        {QDate(2026, 3, 12), QStringLiteral("会議（電話で変更）"), QStringLiteral("会議")});
    return report;
}

} // namespace

class TestSyncDesktop : public QObject {
    Q_OBJECT

    std::unique_ptr<testsupport::WindowFixture> f;
    QAction syncNow{QStringLiteral("今すぐ同期(&Y)")};

  private Q_SLOTS:
    void init() {
        f = std::make_unique<testsupport::WindowFixture>();
        syncNow.setText(QStringLiteral("今すぐ同期(&Y)"));
    }
    void cleanup() {
        testsupport::closeOtherWindows();
        f.reset();
    }

    // The calendar's clock goes on second by second while a sync runs and a real message box
    // is open; the sync's result then redraws the calendar and shows in the menu item.
    void syncRunsBesideTheClockAndABox() {
        calendar::CalendarPanel panel(f->host.settings());
        panel.initialiseFromToday();
        // The fake clock moves on with the real timer's ticks.
        QTimer time;
        connect(&time, &QTimer::timeout, this, [&] { f->platform.clock = f->platform.clock.addMSecs(100); });
        time.start(100);
        int refreshed = 0;
        SyncController sync(f->host, accountWith(slowJob(2500, conflictReport())), &syncNow,
                            [&] { ++refreshed; });
        sync.restart();
        QSet<QString> clockWhileSyncing;
        connect(panel.clockTimer(), &QTimer::timeout, this, [&] {
            if (sync.runner().running())
                clockWhileSyncing << panel.clockFace()->text();
        });
        sync.syncNow();
        QVERIFY(sync.runner().running());
        QVERIFY(syncNow.text().contains(QStringLiteral("同期中")));
        {
            testsupport::RealDialogs dialogs;
            // The box stays open for a while, then is answered.
            std::unique_ptr<testsupport::BoxAnswerer> later;
            QTimer::singleShot(1200, this, [&] { later = std::make_unique<testsupport::BoxAnswerer>(); });
            QTimer::singleShot(0, [] {
                platform::message(QStringLiteral("開いたまま"), platform::kAppTitle,
                                  platform::Icon::Information, platform::Buttons::Ok);
            });
            QTRY_VERIFY_WITH_TIMEOUT(!sync.runner().running(), 30000);
        }
        QVERIFY2(clockWhileSyncing.size() >= 2,
                 qPrintable(QStringList(clockWhileSyncing.values()).join(u',')));
        QVERIFY(syncNow.text().contains(QStringLiteral("完了")));
        QCOMPARE(f->host.rebuilds > 0, true);
        QCOMPARE(refreshed, 1);
        // The conflict is told in 同期の確認, once.
        QVERIFY(sync.reportWindow());
        QCOMPARE(sync.reportWindow()->text().count(QStringLiteral("会議（電話で変更）")), 1);
        sync.syncNow();
        QTRY_VERIFY_WITH_TIMEOUT(!sync.runner().running(), 30000);
        QCOMPARE(sync.reportWindow()->text().count(QStringLiteral("会議（電話で変更）")), 1);
    }

    // Shut-down stops a sync at its next step; one that does not stop is left to the end of the
    // process after a second and a half, so the program never hangs on it.
    void shutDownDuringSync_data() {
        QTest::addColumn<bool>("honoursStop");
        QTest::addColumn<bool>("stopped");
        QTest::newRow("stops at its next step") << true << true;
        QTest::newRow("does not stop: left behind") << false << false;
    }
    void shutDownDuringSync() {
        QFETCH(bool, honoursStop);
        QFETCH(bool, stopped);
        auto runs = std::make_shared<std::atomic_int>(0);
        SyncRunner runner;
        QVERIFY(runner.start(slowJob(4000, {}, honoursStop, runs)));
        QTRY_COMPARE(runs->load(), 1);
        QElapsedTimer took;
        took.start();
        QCOMPARE(runner.stop(1500), stopped);
        QVERIFY2(took.elapsed() < 10000, qPrintable(QString::number(took.elapsed())));
        QCOMPARE(SyncRunner::leftRunning(), !stopped);
        QVERIFY(!runner.running());
        if (!stopped)
            QTest::qWait(5000); // the job ends on its own before the test process does
    }

    // Saves by this or another program bring one sync a few seconds after the last of them.
    void aSeriesOfSavesMakesOneSync() {
        auto runs = std::make_shared<std::atomic_int>(0);
        SyncController sync(f->host, accountWith(slowJob(10, {}, true, runs)), &syncNow, {});
        sync.restart();
        QTRY_COMPARE_WITH_TIMEOUT(runs->load(), 1, 20000); // the sync after start-up
        QTRY_VERIFY(!sync.runner().running());
        QTimer ticks;
        connect(&ticks, &QTimer::timeout, &sync, &SyncController::tick);
        ticks.start(100);
        for (int slot = 1; slot <= 3; ++slot) {
            QVERIFY(
                testrows::putSlot(f->file, QDate(2026, 3, 12), slot,
                                  {QStringLiteral("会議%1").arg(slot), QStringLiteral("ﾚﾍﾞﾙ1"), false, {}}));
            QTest::qWait(300);
        }
        QTRY_COMPARE_WITH_TIMEOUT(runs->load(), 2, 20000);
        QTest::qWait(syncview::SyncSchedule::kAfterChangeMs + 1000);
        QCOMPARE(runs->load(), 2);
    }
};

QTEST_MAIN(TestSyncDesktop)
#include "test_sync_desktop.moc"
