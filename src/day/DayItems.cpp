#include "day/DayItems.h"

#include "store/ItemRules.h"

namespace day {

store::Error readDisplayItems(store::DayStore& dayStore, const QDate& date, DisplayItems& items) {
    items = DisplayItems{};
    store::DayRecords records;
    if (const store::Error error = dayStore.readDay(date, records); error.failed())
        return error;
    for (std::size_t i = 0; i < items.size(); ++i)
        items[i] = {records[i].content, store::displayedLevel(records[i].level)};
    return {};
}

bool allEmpty(const DisplayItems& items) {
    for (const DisplayItem& item : items)
        if (!item.content.isEmpty())
            return false;
    return true;
}

} // namespace day
