#include "alarm/AlarmCheck.h"

#include "alarm/AlarmRule.h"
#include "alarm/TodayItems.h"
#include "calendar/MainHost.h"
#include "platform/Services.h"
#include "store/DayRecords.h"
#include "store/ScheduleFile.h"

#include <memory>

namespace alarms {

namespace {

const QString kAlarmField = QStringLiteral("アラーム");

QString disarmKey(const QString& file, const QString& date, int slot) {
    return file + QLatin1Char('\n') + date + QLatin1Char('\n') + QString::number(slot);
}

} // namespace

void AlarmCheck::ALM_CHK() {
    if (busy_)
        return;
    const QString file = host_.settings().START_FILE;
    if (file.isEmpty())
        return;
    store::DataControl& data = host_.data1();

    for (int slot = 1; slot <= 4; ++slot) {
        // The clock is read again for every slot: an earlier slot's box may have stayed open past
        // the minute, and an item whose minute has gone by stays armed.
        const QDateTime now = platform::now();
        const QString date = store::dateString(now.date());
        const QString minute = currentTimeText(now.time());
        if (failedMinute_ != date + minute) {
            failedMinute_ = date + minute;
            failedDisarms_.clear();
        }
        if (failedDisarms_.contains(disarmKey(file, date, slot)))
            continue;

        // A file that is missing, locked or not a database leaves the check out for this tick.
        const TodayItems::Item* item = today_.item(data, file, date, minute, slot);
        if (!item)
            return;
        if (!item->found || !rings(item->alarmText, item->timeText, minute))
            continue;
        const QString content = item->content;
        ring(file, date, slot, content);
    }
}

void AlarmCheck::ring(const QString& file, const QString& date, int slot, const QString& content) {
    struct Busy {
        bool& flag;
        explicit Busy(bool& f) : flag(f) { flag = true; }
        ~Busy() { flag = false; }
    } busy(busy_);

    platform::SoundService* sound = platform::services().sound;
    if (sound)
        sound->start(soundPath(host_.settings().ALM_FILE));
    platform::message(content, platform::kAppTitle, platform::Icon::None, platform::Buttons::Ok);
    if (sound)
        sound->stop();

    // Disarm the item. The box kept the event loop running, and the other users of `Data1` may
    // have pointed it elsewhere meanwhile, so the slot's row is looked up again before it is
    // edited. A failure leaves the item armed in the file; it is not rung again in this minute.
    store::DataControl& data = host_.data1();
    data.setDatabaseName(file);
    data.setRecordSource(store::slotQuery(date, slot));
    bool disarmed = false;
    if (!data.refresh() && data.hasCurrentRow()) {
        if (data.edit() || data.setField(kAlarmField, kDisarmed))
            data.cancelUpdate();
        else
            disarmed = !data.update();
    }
    if (!disarmed)
        failedDisarms_.insert(disarmKey(file, date, slot));
}

std::function<void(calendar::MainHost&)> tickHook() {
    struct State {
        calendar::MainHost* host = nullptr;
        std::unique_ptr<AlarmCheck> check;
    };
    auto state = std::make_shared<State>();
    return [state](calendar::MainHost& host) {
        if (state->host != &host) {
            if (state->check && state->check->busy())
                return; // the check in progress belongs to another host; it must stay alive
            state->check = std::make_unique<AlarmCheck>(host);
            state->host = &host;
        }
        state->check->ALM_CHK();
    };
}

} // namespace alarms
