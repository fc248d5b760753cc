#pragma once
// ALM_CHK: on every tick of the main window's clock, today's four items are compared with the
// current minute; an armed item of this minute plays the alarm sound in a loop, shows its content
// in a message box, and is disarmed in the Schedule file once the box is closed.

#include "alarm/TodayItems.h"

#include <QSet>
#include <QString>
#include <functional>

namespace calendar {
class MainHost;
}

namespace alarms {

class AlarmCheck {
  public:
    // Works through the host's Settings and its data control `Data1`.
    explicit AlarmCheck(calendar::MainHost& host) : host_(host) {}
    AlarmCheck(const AlarmCheck&) = delete;
    AlarmCheck& operator=(const AlarmCheck&) = delete;

    // Runs one check. Does nothing while a box of its own is open (the clock keeps ticking
    // meanwhile), when no Schedule file is set, or when the file cannot be read; never reports an
    // error.
    void ALM_CHK();

    // Whether a check is showing its message box.
    bool busy() const { return busy_; }

  private:
    void ring(const QString& file, const QString& date, int slot, const QString& content);

    calendar::MainHost& host_;
    bool busy_ = false;
    // Items of the current minute that rang but could not be disarmed (a read-only or locked
    // file): they stay armed in the file, and would otherwise ring again on every tick of that
    // minute. Keys are file, date, slot; the set is emptied when the minute changes.
    QString failedMinute_;
    QSet<QString> failedDisarms_;
    TodayItems today_;
};

// The main window's clock-tick hook: runs ALM_CHK for the host it is called with. One AlarmCheck
// is kept for as long as the returned function lives, so its busy flag spans the ticks that come
// while its box is open.
std::function<void(calendar::MainHost&)> tickHook();

} // namespace alarms
