#include "alarm/MissedAlarms.h"

#include "alarm/AlarmRule.h"

#include <algorithm>

namespace alarms {

store::Result<std::vector<store::ArmedItem>> missedAlarms(store::DayStore& days, const QDateTime& now) {
    const QDateTime minute = minuteOf(now);
    const QDateTime since = minute.addDays(-kMissedAlarmDays);
    std::vector<std::pair<QDateTime, store::ArmedItem>> missed;
    for (QDate date = since.date(); date <= minute.date(); date = date.addDays(1)) {
        store::Result<std::vector<store::ArmedItem>> armed = days.armedItems(date);
        if (!armed.ok())
            return armed.error();
        for (store::ArmedItem& item : armed.value()) {
            const QDateTime moment = alarmMoment(item.date, item.timeText);
            if (moment.isValid() && moment >= since && moment < minute)
                missed.emplace_back(moment, std::move(item));
        }
    }
    std::stable_sort(missed.begin(), missed.end(), [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first > b.first : a.second.slot < b.second.slot;
    });
    std::vector<store::ArmedItem> newestFirst;
    newestFirst.reserve(missed.size());
    for (auto& entry : missed)
        newestFirst.push_back(std::move(entry.second));
    return newestFirst;
}

} // namespace alarms
