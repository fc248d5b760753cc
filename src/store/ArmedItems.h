#pragma once
// Armed items of a few dates, found with one query over the index on 年月日, and disarming a
// chosen set of them in one transaction: what the alarm needs beyond today's four slots.

#include "store/DataControl.h"
#include "store/Error.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace store {

struct ArmedItem {
    qint64 rowid = 0;
    QString date; // the Date string as stored
    int slot = 0;
    int level = 0; // 1..5, 0 without a level
    QString timeText;
    QString content;
};

// Rows of the given Date strings whose アラーム is exactly "True", per date and slot the first row
// in table order (the row the Slot query finds), in table order. Opens `data`'s file when needed.
std::vector<ArmedItem> armedItems(DataControl& data, const QStringList& dateStrings, Error* error = nullptr);

// Writes "False" into アラーム of the given rows that are still armed, in one transaction.
Error disarmRows(DataControl& data, const std::vector<qint64>& rowids);

} // namespace store
