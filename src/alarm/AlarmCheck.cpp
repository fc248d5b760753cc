#include "alarm/AlarmCheck.h"

#include "alarm/AlarmRule.h"
#include "alarm/MissedAlarms.h"
#include "calendar/MainHost.h"
#include "platform/Services.h"
#include "store/ArmedItems.h"
#include "store/DayRecords.h"
#include "store/ScheduleFile.h"

#include <algorithm>

namespace alarms {

namespace {

const QString kAlarmField = QStringLiteral("アラーム");

// How long a read of the check waits for a file that another program holds locked; the check
// tries again on a later tick instead of stopping the clock.
constexpr int kCheckBusyTimeoutMs = 20;

QString itemKey(const DueAlarm& item) {
    return item.file + QLatin1Char('\n') + item.date + QLatin1Char('\n') + QString::number(item.slot) +
           QLatin1Char('\n') + item.timeText;
}

} // namespace

void AlarmCheck::setCheckedFrom(const QDateTime& minute) {
    checkedFile_ = host_.settings().scheduleFile;
    checkedFrom_ = minuteOf(minute);
}

void AlarmCheck::ALM_CHK() {
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
    store::DataControl& data = host_.data1();
    const QString today = store::dateString(minute.date());
    if (from.date() == minute.date()) {
        // Today's four items, read again only when the minute or the file changed.
        const QString fromText = currentTimeText(from.time());
        const QString nowText = currentTimeText(minute.time());
        for (int slot = 1; slot <= 4; ++slot) {
            const TodayItems::Item* item = today_.item(data, file, today, nowText, slot);
            if (!item)
                return false;
            if (item->found && item->alarmText == kArmed && isAlarmTime(item->timeText) &&
                item->timeText >= fromText && item->timeText <= nowText)
                due->push_back({file, today, slot, item->timeText, item->content, item->level});
        }
        return true;
    }
    // The check was away past midnight: the armed items of every date since.
    QStringList dates;
    for (QDate date = from.date(); date <= minute.date(); date = date.addDays(1))
        dates << store::dateString(date);
    data.setDatabaseName(file);
    if (data.openDatabase())
        return false;
    store::ShortLockWait wait(data, kCheckBusyTimeoutMs);
    store::Error error;
    const std::vector<store::ArmedItem> armed = store::armedItems(data, dates, &error);
    if (error)
        return false;
    for (const store::ArmedItem& item : armed) {
        const QDateTime moment = alarmMoment(item.date, item.timeText);
        if (moment.isValid() && moment >= from && moment <= minute)
            due->push_back({file, item.date, item.slot, item.timeText, item.content, item.level});
    }
    std::stable_sort(due->begin(), due->end(), [](const DueAlarm& a, const DueAlarm& b) {
        const QDate dateA = QDate::fromString(a.date, QStringLiteral("yyyy/M/d"));
        const QDate dateB = QDate::fromString(b.date, QStringLiteral("yyyy/M/d"));
        return dateA != dateB ? dateA < dateB : a.slot < b.slot;
    });
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
    store::DataControl& data = host_.data1();
    data.setDatabaseName(item.file);
    if (data.openDatabase())
        return Recheck::Retry;
    store::ShortLockWait wait(data, kCheckBusyTimeoutMs);
    data.setRecordSource(store::slotQuery(item.date, item.slot));
    if (data.refresh())
        return Recheck::Retry;
    if (!data.hasCurrentRow() || data.field(kAlarmField).toString() != kArmed ||
        data.field(QStringLiteral("時刻")).toString() != item.timeText)
        return Recheck::Drop;
    item.content = data.field(QStringLiteral("内容")).toString();
    item.level = levelOf(data.field(QStringLiteral("レベル")));
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
    // A box ended by the program's shut-down (logout, a signal) was never seen: the item stays
    // armed and is listed among the missed alarms at the next start.
    if (answer != platform::Answer::Ok)
        return;

    // Disarm the item. The box kept the event loop running, and the other users of `Data1` may
    // have pointed it elsewhere meanwhile, so the slot's row is looked up again before it is
    // edited. A failure leaves the item armed in the file; it does not ring again in this session.
    store::DataControl& data = host_.data1();
    data.setDatabaseName(item.file);
    data.setRecordSource(store::slotQuery(item.date, item.slot));
    if (!data.refresh() && data.hasCurrentRow()) {
        if (data.edit() || data.setField(kAlarmField, kDisarmed))
            data.cancelUpdate();
        else
            data.update();
    }
}

} // namespace alarms
