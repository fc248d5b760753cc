#pragma once
// The piece of the day windows that needs no widgets: reading the four items of a date for the
// day display.

#include "store/DayStore.h"
#include "store/Error.h"
#include "store/ScheduleLayout.h"

#include <QDate>
#include <QString>
#include <array>

namespace day {

struct DisplayItem {
    QString content;
    int level = 0; // as store::displayedLevel() gives it
};
using DisplayItems = std::array<DisplayItem, store::kSlotCount>;

// Reads 内容 and レベル of the four slots of `date` from the Schedule file. A slot without a row, or a field
// without value, stays empty (content "" and level 0). An engine error on a query (no table, file locked, not
// a database) stops the reading and is returned, so that a file that cannot be read is never shown as an
// empty day.
store::Error readDisplayItems(store::DayStore& dayStore, const QDate& date, DisplayItems& items);

bool allEmpty(const DisplayItems& items);

} // namespace day
