#include "day/DayItems.h"

#include "store/DayRecords.h"

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
    // nearbyint rounds half to even in the default rounding mode, as the old byte conversion did.
    const double rounded = std::nearbyint(value);
    if (rounded < 0 || rounded > 255)
        return 0;
    return static_cast<int>(rounded);
}

store::Error readDisplayItems(store::DataControl& data, const QDate& date, DisplayItems& items) {
    items = DisplayItems{};
    const QString key = store::dateString(date);
    for (int slot = 1; slot <= 4; ++slot) {
        data.setRecordSource(store::slotQuery(key, slot));
        if (const store::Error error = data.refresh())
            return error;
        DisplayItem& item = items[static_cast<std::size_t>(slot - 1)];
        const QVariant content = data.field(QStringLiteral("内容"));
        if (content.isValid() && !content.isNull())
            item.content = content.toString();
        item.level = displayLevel(data.field(QStringLiteral("レベル")));
    }
    return {};
}

bool allEmpty(const DisplayItems& items) {
    for (const DisplayItem& item : items)
        if (!item.content.isEmpty())
            return false;
    return true;
}

} // namespace day
