#include "alarm/MissedAlarms.h"

#include "alarm/AlarmRule.h"
#include "store/DayRecords.h"

#include <algorithm>

namespace alarms {

std::vector<store::ArmedItem> missedAlarms(store::DataControl& data, const QDateTime& now,
                                           store::Error* error) {
    const QDateTime minute = minuteOf(now);
    const QDateTime since = minute.addDays(-kMissedAlarmDays);
    QStringList dates;
    for (QDate date = since.date(); date <= minute.date(); date = date.addDays(1))
        dates << store::dateString(date);
    std::vector<store::ArmedItem> items = store::armedItems(data, dates, error);
    std::vector<std::pair<QDateTime, store::ArmedItem>> missed;
    for (store::ArmedItem& item : items) {
        const QDateTime moment = alarmMoment(item.date, item.timeText);
        if (moment.isValid() && moment >= since && moment < minute)
            missed.emplace_back(moment, std::move(item));
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
