#pragma once
// The four items of a date: how a date becomes its key, how one slot's row is found, and the
// rules by which a slot is saved and read through a data control.

#include "store/DataControl.h"
#include "store/Error.h"
#include "store/ScheduleFile.h"

#include <QDate>
#include <QString>
#include <array>

namespace store {

// One item slot as the windows show it.
struct SlotItem {
    QString content;
    QString levelText; // "ﾚﾍﾞﾙ1".."ﾚﾍﾞﾙ5" or anything else (no level)
    bool alarm = false;
    QString timeText; // as typed; "####" when stored without a time

    bool operator==(const SlotItem&) const = default;
};

// Marker stored in 時刻 for an item without an alarm time.
inline const QString kEmptyTime = QStringLiteral("####");

// year/month/day in decimal without leading zeros: 2026/1/5.
QString dateString(const QDate& date);
QString dateString(int year, int month, int day);

// SELECT * FROM 予定表 WHERE 年月日='2026/1/5' AND 項目番号=1 ;
QString slotQuery(const QString& dateString, int slot);
// SELECT * FROM 予定表 WHERE 年月日='2026/1/5' ;
QString dateQuery(const QString& dateString);

// "ﾚﾍﾞﾙn" for 1..5, empty otherwise.
QString levelText(int level);
// 1..5 for the five level texts, 0 for any other text.
int levelNumber(const QString& levelText);

// Points the data control at the file and checks that it opens: database name, an empty record
// source and a refresh, then the record source 予定表 (not refreshed).
Error openDayTable(DataControl& data, const QString& path);

// Save rule: creates, edits or deletes the row of one slot. Stops at the first engine error.
Error saveSlot(DataControl& data, const QString& dateString, int slot, const SlotItem& item);
// Saves the four slots of a date (slot 1 first) in one transaction: one durable commit instead
// of four, and a failure part-way leaves the date as it was instead of half saved. The write
// lock is taken first, so another program writing the file makes this wait (busy timeout) or
// fail before anything changed.
Error saveDay(DataControl& data, const QString& dateString, const std::array<SlotItem, 4>& items);
// Read rule: a slot without a row, or fields without value, read as empty parts.
SlotItem readSlot(DataControl& data, const QString& dateString, int slot);

// The subset of the given Date strings whose Date query returns a row with a non-empty content,
// found with one query for all of them.
QStringList datesWithItems(DataControl& data, const QStringList& dateStrings, Error* error = nullptr);

} // namespace store
