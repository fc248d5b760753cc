#include "alarm/TodayItems.h"

#include "store/DayRecords.h"
#include "store/ItemRules.h"

namespace alarms {

bool TodayItems::read(store::DayStore& days, const QDate& date) {
    store::DayRecords records;
    ++reads_;
    if (days.readDay(date, records).failed())
        return false;
    for (size_t i = 0; i < records.size(); ++i) {
        const store::DayRecord& record = records[i];
        items_[i] = {record.found, record.alarmText, record.timeText, record.content,
                     store::storedLevel(record.level)};
    }
    return true;
}

const TodayItems::Item* TodayItems::item(store::DayStore& days, const QDate& date, int slot) {
    const store::Result<bool> changed = watch_.changed(days.path());
    if (!changed.ok())
        return nullptr;
    if (readFor_ != date || changed.value()) {
        // The change is asked before the rows are read: a commit in between shows next time.
        readFor_ = QDate();
        if (!read(days, date))
            return nullptr;
        readFor_ = date;
    }
    return &items_[static_cast<size_t>(slot - 1)];
}

} // namespace alarms
