#pragma once
// The four items of a date: how one slot's row is found, and the rules by which a slot is saved
// and read. The rules work on an open connection with parameters bound; DayStore gives them a file.

#include "store/Connection.h"
#include "store/DataControl.h"
#include "store/Error.h"
#include "store/ScheduleLayout.h"

#include <QString>
#include <QVariant>
#include <array>
#include <vector>

namespace store {

// One item slot as the windows show it.
struct SlotItem {
    QString content;
    QString levelText; // "ﾚﾍﾞﾙ1".."ﾚﾍﾞﾙ5" or anything else (no level)
    bool alarm = false;
    QString timeText; // as typed; "####" when stored without a time

    bool operator==(const SlotItem&) const = default;
};

// A slot's row as stored: its first row in table order with that date and slot number. Fields
// without value, or missing from the table, read as empty texts and a null level.
struct DayRecord {
    bool found = false; // the slot has a row
    QString content;
    QVariant level;
    QString alarmText;
    QString timeText;
};
using DayRecords = std::array<DayRecord, kSlotCount>;

// The item a window shows for a stored row: the level text only for a level of exactly 1..5,
// the alarm only for the switch "True".
SlotItem slotItem(const DayRecord& record);

// The item as saving it would leave the slot: no item at all for an empty content, "####" for an
// empty time. Two items with the same stored form need no write between them.
SlotItem storedForm(const SlotItem& item);

// A slot changed in a window whose stored item is no longer the one the window loaded.
struct SlotConflict {
    int slot = 0;    // 1..kSlotCount
    SlotItem stored; // in the file now
    SlotItem wanted; // in the window
};

// The name that addresses 予定表's rows for a write; rows without an address fail as a table
// that is missing.
Error dayRowAddress(Connection& connection, QString* name);

// Reads the rows of the four slots of a date with one query.
Error readDayRecords(Connection& connection, const QString& dateString, DayRecords& records);

// Save rule: creates, edits or deletes the row of one slot (its first row in table order). An
// empty content deletes the row; a level text that is no level leaves the stored level as it is.
// Runs inside the caller's transaction when it holds one.
Error saveSlot(Connection& connection, const QString& dateString, int slot, const SlotItem& item);

// The subset of the given Date strings that have a row with a non-empty content, found with one
// query for many of them.
Result<QStringList> datesWithItems(Connection& connection, const QStringList& dateStrings);

// SELECT * FROM 予定表 WHERE 年月日='2026/1/5' AND 項目番号=1 ; as a data control's record source.
QString slotQuery(const QString& dateString, int slot);
// SELECT * FROM 予定表 WHERE 年月日='2026/1/5' ; as a data control's record source.
QString dateQuery(const QString& dateString);

// Points the data control at the file and checks that it opens: database name, an empty record
// source and a refresh, then the record source 予定表 (not refreshed).
Error openDayTable(DataControl& data, const QString& path);
// The save and read rules on the file of a data control.
Error saveSlot(DataControl& data, const QString& dateString, int slot, const SlotItem& item);
Result<SlotItem> readSlot(DataControl& data, const QString& dateString, int slot);

} // namespace store
