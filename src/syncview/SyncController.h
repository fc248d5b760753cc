#pragma once
// The program's side of sync: when to sync (SyncSchedule), the sync itself on a worker thread
// (SyncRunner), and what the user sees of it: the caption of 今すぐ同期, the 同期の確認 window, and
// the calendar and its windows redrawn after a sync that changed the file.

#include "syncview/SyncReportWindow.h"
#include "syncview/SyncRunner.h"
#include "syncview/SyncSchedule.h"

#include <QObject>
#include <QPointer>
#include <QSet>
#include <functional>

class QAction;

namespace shell {
class Host;
}
namespace store {
class FileNotice;
}

namespace syncview {

class SyncController : public QObject {
    Q_OBJECT
  public:
    // What the program knows of the sync account of a Schedule file: whether it has one, the job
    // that syncs it, and the interval in minutes (0: none).
    struct Accounts {
        std::function<bool(const QString& schedulePath)> has;
        std::function<SyncRunner::Job(const QString& schedulePath)> job;
        std::function<int(const QString& schedulePath)> interval;
    };
    // `refresh` redraws what shows the file's items after a sync changed them.
    SyncController(shell::Host& host, Accounts accounts, QAction* syncNow, std::function<void()> refresh,
                   QObject* parent = nullptr);
    ~SyncController() override;

    // Starts the schedule for the Schedule file in use (again after another file was chosen or the
    // account changed). Without an account nothing is scheduled.
    void restart();
    // On every clock tick: a change of the file (by this program or another) brings a sync a few
    // seconds later. No call to the file system while nothing changed.
    void tick();
    // 今すぐ同期.
    void syncNow();
    // Whether the Schedule file the schedule runs for has an account.
    bool hasAccount() const { return hasAccount_; }
    // At the end of the program: the running sync is stopped, waiting at most a second and a half.
    void shutDown();

    SyncRunner& runner() { return runner_; }
    SyncReportWindow* reportWindow() const { return reportWindow_; }

  signals:
    // A sync ended; `changedFile` when it wrote to the Schedule file.
    void synced(bool changedFile);

  private:
    void startSync();
    void finish(const calsync::SyncReport& report);
    void tell(const calsync::SyncReport& report);

    shell::Host& host_;
    Accounts accounts_;
    QPointer<QAction> syncNow_;
    QString plainCaption_;
    std::function<void()> refresh_;
    SyncSchedule schedule_;
    SyncRunner runner_;
    std::unique_ptr<store::FileNotice> notice_;
    QString path_; // the Schedule file the schedule runs for
    QSet<QString> told_;
    QPointer<SyncReportWindow> reportWindow_;
    bool shutDown_ = false;
    bool hasAccount_ = false;
};

} // namespace syncview
