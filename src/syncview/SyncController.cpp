#include "syncview/SyncController.h"

#include "settings/Settings.h"
#include "shell/Host.h"
#include "store/FileWatch.h"
#include "syncview/SyncReportText.h"
#include "syncview/SyncReportWindow.h"

#include <QAction>
#include <QTime>

namespace syncview {

SyncController::SyncController(shell::Host& host, Accounts accounts, QAction* syncNow,
                               std::function<void()> refresh, QObject* parent)
    : QObject(parent), host_(host), accounts_(std::move(accounts)), syncNow_(syncNow),
      plainCaption_(syncNow ? syncNow->text() : QString()), refresh_(std::move(refresh)),
      notice_(std::make_unique<store::FileNotice>()) {
    connect(&schedule_, &SyncSchedule::due, this, &SyncController::startSync);
    connect(&runner_, &SyncRunner::finished, this, &SyncController::finish);
}

SyncController::~SyncController() = default;

void SyncController::restart() {
    schedule_.stop();
    path_ = host_.settings().scheduleFile;
    notice_ = std::make_unique<store::FileNotice>();
    hasAccount_ = !path_.isEmpty() && accounts_.has && accounts_.has(path_);
    if (syncNow_ && !runner_.running())
        syncNow_->setText(plainCaption_);
    if (!hasAccount_)
        return;
    // The first look at a path answers true; it is no change.
    (void)notice_->take(path_);
    schedule_.setInterval(accounts_.interval ? accounts_.interval(path_) : 0);
    schedule_.start();
}

void SyncController::tick() {
    if (hasAccount_ && !runner_.running() && notice_->take(path_))
        schedule_.noteChange();
}

void SyncController::syncNow() {
    if (path_ != host_.settings().scheduleFile)
        restart();
    schedule_.requestNow();
}

void SyncController::shutDown() {
    shutDown_ = true;
    schedule_.stop();
    (void)runner_.stop(1500);
}

void SyncController::startSync() {
    if (shutDown_ || path_.isEmpty())
        return;
    SyncRunner::Job job = accounts_.job ? accounts_.job(path_) : SyncRunner::Job();
    if (!job || !runner_.start(std::move(job)))
        return;
    schedule_.syncStarted();
    if (syncNow_)
        syncNow_->setText(syncRunningCaption(plainCaption_));
}

void SyncController::finish(const calsync::SyncReport& report) {
    // What the sync wrote to the file is no change of the user's.
    if (!path_.isEmpty())
        (void)notice_->take(path_);
    schedule_.syncEnded();
    if (syncNow_) {
        syncNow_->setText(syncActionCaption(plainCaption_, QTime::currentTime(), report));
        syncNow_->setToolTip(report.failure);
    }
    const bool changedFile = report.received > 0 || report.deletedHere > 0 || !report.conflicts.empty();
    if (changedFile) {
        host_.rebuildMonthGrid();
        if (refresh_)
            refresh_();
    }
    tell(report);
    emit synced(changedFile);
}

void SyncController::tell(const calsync::SyncReport& report) {
    const QStringList lines = newReportLines(report, told_);
    if (lines.isEmpty() || shutDown_)
        return;
    if (!reportWindow_) {
        reportWindow_ = new SyncReportWindow(host_.mainWindow());
        reportWindow_->show();
    }
    reportWindow_->addLines(lines);
    reportWindow_->raise();
}

} // namespace syncview
