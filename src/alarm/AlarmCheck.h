#pragma once
// On every tick of the main window's clock, the armed items of today whose minute has come
// since the last check are put in a queue; a queued call then rings them one after another, each
// with the alarm sound in a loop and its content in a message box, and disarms each in the Schedule
// file once its box is closed. An item whose minute passed while the program was busy (another
// alarm box open, the machine suspended, the clock put forward) is caught up as soon as the program
// is free.

#include "alarm/TodayItems.h"

#include <QDateTime>
#include <QObject>
#include <QSet>
#include <QString>
#include <deque>
#include <functional>
#include <vector>

namespace shell {
class ProgramState;
}

namespace alarms {

// An item that is due to ring.
struct DueAlarm {
    QString file;
    QString date; // Date string
    int slot = 0;
    QString timeText; // HHMM
    QString content;
    int level = 0;
};

class AlarmCheck {
  public:
    // Works through the host's Settings and a day-records service of its own.
    explicit AlarmCheck(shell::ProgramState& host) : host_(host), days_(QString(), kCheckLockWaitMs) {}
    AlarmCheck(const AlarmCheck&) = delete;
    AlarmCheck& operator=(const AlarmCheck&) = delete;

    // Runs one check: queues the armed items of today whose minute lies between the last check's
    // minute and now (both included), and has them rung from the event loop. Does nothing while a
    // box of its own is open (the clock keeps ticking meanwhile; the minutes it skips are looked at
    // once the box is closed), when no Schedule file is set, or when the file cannot be read (then
    // the minutes are looked at again on a later tick); never reports an error.
    void check();

    // Items before this minute are left to the start-up list: the first check looks back to it
    // instead of only at its own minute.
    void setCheckedFrom(const QDateTime& minute);

    // Whether a check is showing its message box.
    bool busy() const { return busy_; }
    // Items queued and not rung yet.
    int queued() const { return static_cast<int>(queue_.size()); }
    // How many times today's items were read from the file.
    int todayReads() const { return today_.reads(); }

    // Called when an item rings, before its box is shown (the desktop notification).
    std::function<void(const DueAlarm&)> onRing;
    // Called when the item's box has ended, answered or not (the notification goes away).
    std::function<void(const DueAlarm&)> onBoxClosed;

  private:
    enum class Recheck { Ring, Drop, Retry };
    bool collect(const QString& file, const QDateTime& from, const QDateTime& minute,
                 std::vector<DueAlarm>* due);
    void scheduleRing();
    void ringNext();
    Recheck recheck(DueAlarm& item);
    void ring(const DueAlarm& item);

    shell::ProgramState& host_;
    bool busy_ = false;
    bool ringScheduled_ = false;
    // The file and minute the next check looks back to.
    QString checkedFile_;
    QDateTime checkedFrom_;
    std::deque<DueAlarm> queue_;
    // Items queued or rung in this session (file, date, slot, time): nothing rings twice, not even
    // an item whose disarming failed (a read-only or locked file), which stays armed in the file.
    QSet<QString> taken_;
    store::DayStore days_;
    TodayItems today_;
    // Receives the queued calls; they are dropped with the check.
    QObject queueContext_;
};

} // namespace alarms
