#include "day/DayItems.h"

#include "store/ScheduleLayout.h"

#include <cmath>

namespace day {

std::optional<int> colourLevel(const QString& levelText) {
    if (levelText.isEmpty())
        return 0;
    const int level = store::levelNumber(levelText);
    if (level >= 1 && level <= 5)
        return level;
    return std::nullopt;
}

int displayLevel(const QVariant& stored) {
    if (!stored.isValid() || stored.isNull())
        return 0;
    bool ok = false;
    const double value = stored.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return 0;
    // The stored number is rounded half to even: nearbyint does so in the default rounding mode.
    const double rounded = std::nearbyint(value);
    if (rounded < 0 || rounded > 255)
        return 0;
    return static_cast<int>(rounded);
}

store::Error readDisplayItems(store::DayStore& dayStore, const QDate& date, DisplayItems& items) {
    items = DisplayItems{};
    store::DayRecords records;
    if (const store::Error error = dayStore.readDay(date, records); error.failed())
        return error;
    for (std::size_t i = 0; i < items.size(); ++i)
        items[i] = {records[i].content, displayLevel(records[i].level)};
    return {};
}

bool allEmpty(const DisplayItems& items) {
    for (const DisplayItem& item : items)
        if (!item.content.isEmpty())
            return false;
    return true;
}

} // namespace day
