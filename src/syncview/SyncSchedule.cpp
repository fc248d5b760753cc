#include "syncview/SyncSchedule.h"

#include <utility>

namespace syncview {

SyncSchedule::SyncSchedule(QObject* parent) : QObject(parent) {
    once_.setSingleShot(true);
    interval_.setSingleShot(true);
    connect(&once_, &QTimer::timeout, this, &SyncSchedule::fire);
    connect(&interval_, &QTimer::timeout, this, &SyncSchedule::fire);
}

void SyncSchedule::setInterval(int minutes) {
    interval_.setInterval(minutes * 60 * 1000);
    if (minutes <= 0)
        interval_.stop();
    else if (active_ && !running_)
        interval_.start();
}

void SyncSchedule::start() {
    active_ = true;
    once_.start(kAfterStartMs);
}

void SyncSchedule::stop() {
    active_ = false;
    again_ = false;
    once_.stop();
    interval_.stop();
}

void SyncSchedule::noteChange() {
    if (active_)
        once_.start(kAfterChangeMs);
}

void SyncSchedule::requestNow() {
    if (!active_)
        return;
    once_.stop();
    fire();
}

void SyncSchedule::syncStarted() {
    running_ = true;
    interval_.stop();
}

void SyncSchedule::syncEnded() {
    running_ = false;
    if (!active_)
        return;
    if (interval_.interval() > 0)
        interval_.start();
    if (std::exchange(again_, false))
        once_.start(0);
}

void SyncSchedule::fire() {
    if (running_) {
        again_ = true;
        return;
    }
    emit due();
}

} // namespace syncview
