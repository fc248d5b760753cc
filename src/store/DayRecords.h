#pragma once
// The four items of a date: how a date becomes its key, how one slot's row is found, and the
// rules by which a slot is saved and read through a data control.

#include "store/DataControl.h"
#include "store/Error.h"
#include "store/ScheduleFile.h"

#include <QDate>
#include <QString>
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
// A slot changed in a window whose stored item is no longer the one the window loaded.
struct SlotConflict {
    int slot = 0;    // 1..4
    SlotItem stored; // in the file now
    SlotItem wanted; // in the window
};

// Saves the slots of a date that a window changed: those whose item in `wanted` differs from
// `loaded`, what the window read (slot 1 first). Another program may have saved the same date
// meanwhile, so a changed slot is written only while its stored item is still the loaded one;
// slots nobody changed here are left alone. When a changed slot's stored item differs, nothing
// is written, the error is kChangedElsewhere and *conflicts lists those slots: to overwrite them
// after asking, call again with their stored items as the loaded ones. On success the written
// slots of `loaded` become what the file now holds. One transaction: one durable commit, and a failure
// part-way leaves the date as it was. The write lock is taken first, so another program writing the file
// makes this wait (busy timeout) or fail before anything changed.
Error saveDay(DataControl& data, const QString& dateString, std::array<SlotItem, 4>& loaded,
              const std::array<SlotItem, 4>& wanted, std::vector<SlotConflict>* conflicts = nullptr);
// Read rule: a slot without a row, or fields without value, read as empty parts. *error tells a
// slot that could not be read from an empty one.
SlotItem readSlot(DataControl& data, const QString& dateString, int slot, Error* error = nullptr);

// The subset of the given Date strings whose Date query returns a row with a non-empty content,
// found with one query for all of them.
QStringList datesWithItems(DataControl& data, const QStringList& dateStrings, Error* error = nullptr);

} // namespace store
