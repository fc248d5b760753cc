#include "alarm/AlarmCheck.h"

#include "alarm/AlarmRule.h"
#include "alarm/MissedAlarms.h"
#include "platform/Services.h"
#include "shell/ProgramState.h"
#include "store/DayRecords.h"
#include "store/ItemRules.h"
#include "store/ScheduleFile.h"
#include "store/ScheduleLayout.h"

#include <algorithm>

namespace alarms {

namespace {

QString itemKey(const DueAlarm& item) {
    return item.file + QLatin1Char('\n') + item.date + QLatin1Char('\n') + QString::number(item.slot) +
           QLatin1Char('\n') + item.timeText;
}

} // namespace

void AlarmCheck::setCheckedFrom(const QDateTime& minute) {
    checkedFile_ = host_.settings().scheduleFile;
    checkedFrom_ = minuteOf(minute);
}

void AlarmCheck::check() {
    if (busy_)
        return;
    const QString file = host_.settings().scheduleFile;
    if (file.isEmpty())
        return;
    const QDateTime minute = minuteOf(platform::now());
    // Another file, the first check, or a clock put back: look at this minute only.
    if (file != checkedFile_ || !checkedFrom_.isValid() || checkedFrom_ > minute) {
        checkedFile_ = file;
        checkedFrom_ = minute;
    }
    checkedFrom_ = std::max(checkedFrom_, minute.addDays(-kMissedAlarmDays));

    std::vector<DueAlarm> due;
    if (!collect(file, checkedFrom_, minute, &due))
        return; // the same minutes are looked at again on the next tick
    // The current minute stays in the range: an item armed for it later in the minute still rings.
    checkedFrom_ = minute;
    for (DueAlarm& item : due) {
        const QString key = itemKey(item);
        if (taken_.contains(key))
            continue;
        taken_.insert(key);
        queue_.push_back(std::move(item));
    }
    if (!queue_.empty())
        scheduleRing();
}

bool AlarmCheck::collect(const QString& file, const QDateTime& from, const QDateTime& minute,
                         std::vector<DueAlarm>* due) {
    days_.setPath(file);
    const QString today = store::dateString(minute.date());
    if (from.date() == minute.date()) {
        // Today's four items, read again only when the date or the file changed.
        const QString fromText = currentTimeText(from.time());
        const QString nowText = currentTimeText(minute.time());
        for (int slot = 1; slot <= store::kSlotCount; ++slot) {
            const TodayItems::Item* item = today_.item(days_, minute.date(), slot);
            if (!item)
                return false;
            if (item->found && item->alarmText == store::kAlarmOn && isAlarmTime(item->timeText) &&
                item->timeText >= fromText && item->timeText <= nowText)
                due->push_back({file, today, slot, item->timeText, item->content, item->level});
        }
        return true;
    }
    // The check was away past midnight: the armed items of every date since.
    for (QDate date = from.date(); date <= minute.date(); date = date.addDays(1)) {
        const store::Result<std::vector<store::ArmedItem>> armed = days_.armedItems(date);
        if (!armed.ok())
            return false;
        for (const store::ArmedItem& item : armed.value()) {
            const QDateTime moment = alarmMoment(item.date, item.timeText);
            if (moment.isValid() && moment >= from && moment <= minute)
                due->push_back({file, item.date, item.slot, item.timeText, item.content, item.level});
        }
    }
    return true;
}

void AlarmCheck::scheduleRing() {
    if (ringScheduled_ || busy_)
        return;
    ringScheduled_ = true;
    // The box opens from the event loop, never inside the clock timer's handler, so the clock
    // keeps ticking while it is open.
    QMetaObject::invokeMethod(
        &queueContext_,
        [this] {
            ringScheduled_ = false;
            ringNext();
        },
        Qt::QueuedConnection);
}

void AlarmCheck::ringNext() {
    if (busy_)
        return;
    while (!queue_.empty()) {
        DueAlarm item = queue_.front();
        const Recheck verdict = recheck(item);
        if (verdict == Recheck::Retry)
            return; // the file is locked or gone for now; the next tick schedules another try
        queue_.pop_front();
        if (verdict == Recheck::Drop) {
            taken_.remove(itemKey(item)); // armed again later for this time, it may ring
            continue;
        }
        ring(item);
        break;
    }
    if (!queue_.empty())
        scheduleRing();
}

// The stored row just before ringing: an item disarmed, moved or changed meanwhile (in another
// window or program, or by the start-up list) does not ring; the box shows the content as stored.
AlarmCheck::Recheck AlarmCheck::recheck(DueAlarm& item) {
    if (item.file != host_.settings().scheduleFile)
        return Recheck::Drop;
    days_.setPath(item.file);
    store::DayRecords records;
    if (days_.readDay(store::dateOfString(item.date), records).failed())
        return Recheck::Retry;
    const store::DayRecord& record = records[static_cast<size_t>(item.slot - 1)];
    if (!record.found || record.alarmText != store::kAlarmOn || record.timeText != item.timeText)
        return Recheck::Drop;
    item.content = record.content;
    item.level = store::storedLevel(record.level);
    return Recheck::Ring;
}

void AlarmCheck::ring(const DueAlarm& item) {
    struct Busy {
        bool& flag;
        explicit Busy(bool& f) : flag(f) { flag = true; }
        ~Busy() { flag = false; }
    } busy(busy_);

    platform::SoundService* sound = platform::services().sound;
    if (sound)
        sound->start(soundPath(host_.settings().alarmSoundFile));
    if (onRing)
        onRing(item);
    const platform::Answer answer =
        platform::message(item.content + QLatin1Char('\n') + whenText(item.date, item.timeText),
                          platform::kAppTitle, platform::Icon::None, platform::Buttons::Ok);
    if (sound)
        sound->stop();
    if (onBoxClosed)
        onBoxClosed(item);
    // A box ended by the program's shut-down (logout, a signal) was never seen: the item stays
    // armed and is listed among the missed alarms at the next start.
    if (answer != platform::Answer::Ok)
        return;

    // A failure leaves the item armed in the file; it does not ring again in this session.
    days_.setPath(item.file);
    static_cast<void>(days_.disarm(store::dateOfString(item.date), item.slot));
}

} // namespace alarms
