#pragma once
// The pieces of the day windows that need no widgets: which level colour a level text selects,
// and reading the four items of a date for the day display.

#include "store/DayStore.h"
#include "store/Error.h"

#include <QDate>
#include <QString>
#include <QVariant>
#include <array>
#include <optional>

namespace day {

// The Settings colour (CRL0..CRL5) for the level text of an entry slot: 0 for the empty text,
// 1..5 for "ﾚﾍﾞﾙ1".."ﾚﾍﾞﾙ5", nothing for any other text (the content box keeps its colour).
std::optional<int> colourLevel(const QString& levelText);

// The stored レベル as the day display takes it: rounded half to even to a number 0..255. A value
// without number, or one that does not fit, gives 0 (no level).
int displayLevel(const QVariant& stored);

struct DisplayItem {
    QString content;
    int level = 0;
};
using DisplayItems = std::array<DisplayItem, 4>;

// Reads 内容 and レベル of the four slots of `date` from the Schedule file. A slot without a row, or a field
// without value, stays empty (content "" and level 0). An engine error on a query (no table, file locked, not
// a database) stops the reading and is returned, so that a file that cannot be read is never shown as an
// empty day.
store::Error readDisplayItems(store::DayStore& dayStore, const QDate& date, DisplayItems& items);

bool allEmpty(const DisplayItems& items);

} // namespace day
