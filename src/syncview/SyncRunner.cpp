#include "syncview/SyncRunner.h"

#include <QThread>
#include <utility>

namespace syncview {

namespace {
std::atomic_bool jobLeftRunning{false};
}

bool SyncRunner::leftRunning() {
    return jobLeftRunning.load();
}

SyncRunner::SyncRunner(QObject* parent) : QObject(parent) {}

SyncRunner::~SyncRunner() {
    stop(1500);
}

bool SyncRunner::start(Job job) {
    if (thread_)
        return false;
    stop_ = std::make_shared<std::atomic_bool>(false);
    report_ = std::make_shared<calsync::SyncReport>();
    // The thread holds its own references, so a thread left running at the end outlives us safely.
    thread_ =
        QThread::create([job = std::move(job), stop = stop_, report = report_] { *report = job(*stop); });
    connect(thread_, &QThread::finished, this, &SyncRunner::collect);
    thread_->start(QThread::LowPriority);
    return true;
}

bool SyncRunner::stop(int waitMs) {
    if (!thread_)
        return true;
    stop_->store(true);
    if (!thread_->wait(waitMs)) {
        // Forgotten rather than destroyed: destroying a running QThread ends the process.
        disconnect(thread_, nullptr, this, nullptr);
        connect(thread_, &QThread::finished, thread_, &QObject::deleteLater);
        thread_ = nullptr;
        jobLeftRunning.store(true);
        return false;
    }
    delete std::exchange(thread_, nullptr);
    return true;
}

void SyncRunner::collect() {
    if (!thread_)
        return;
    thread_->wait();
    delete std::exchange(thread_, nullptr);
    const calsync::SyncReport report = *report_;
    emit finished(report);
}

} // namespace syncview
