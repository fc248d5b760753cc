#pragma once
// A Schedule file of N Day records for the calendar benchmarks and the whole-process driver, the
// way a long-kept schedule book looks: the four slots of consecutive dates from 1960/1/1 on, with
// every fifth date left free, so a month on screen mixes coloured and plain days. The values
// follow from the record number alone, so every run measures the same file. A third of the items
// are armed with the empty-time marker: the alarm check reads them and none of them ever rings.

#include "store/Connection.h"
#include "store/DayRecords.h"
#include "store/ScheduleFile.h"

#include <sqlite3.h>

#include <QDate>

namespace benchcal {

inline const QDate kFirstRecordDate(1960, 1, 1);

// The date of record i (0-based).
inline QDate recordDate(int i) {
    const int used = i / 4;           // index among the dates that carry items
    const int date = used + used / 4; // one free date after every four used ones
    return kFirstRecordDate.addDays(date);
}

// Creates the file at `path` (which must not exist) with `records` Day records. A plain file
// has both tables exactly as the file layout lists them, made with plain CREATE TABLE: no index,
// no checks, as another tool or an older program makes them. Otherwise CREATE_SDB makes it.
inline store::Error makeDayRecordsFile(const QString& path, int records, bool plain = false) {
    store::Error error;
    auto connection = plain ? store::Connection::create(path, &error) : nullptr;
    if (plain && connection)
        error = connection->exec(QStringLiteral(
            "CREATE TABLE 予定表 (年月日 TEXT(12), 項目番号 REAL, レベル REAL, 内容 TEXT(80), アラーム "
            "TEXT(10), "
            "時刻 TEXT(6));\nCREATE TABLE ToDoリスト (年月日 TEXT(12), 項目番号 REAL, キーワード TEXT(20), "
            "やるべき事 TEXT(80), チェック TEXT(10), 時刻 TEXT(6));"));
    if (!plain)
        error = store::createScheduleFile(path);
    if (error.failed() || records <= 0)
        return error;
    if (!connection)
        connection = store::Connection::open(path, &error);
    if (!connection)
        return error;
    if ((error = connection->exec(QStringLiteral("BEGIN"))).failed())
        return error;
    store::Statement* insert = connection->prepare(
        QStringLiteral(
            "INSERT INTO 予定表 (年月日, 項目番号, レベル, 内容, アラーム, 時刻) VALUES (?,?,?,?,?,?)"),
        &error);
    if (!insert)
        return error;
    for (int i = 0; i < records; ++i) {
        const bool armed = i % 3 == 0;
        insert->reset();
        insert->bind(1, store::dateString(recordDate(i)));
        insert->bind(2, static_cast<double>(i % 4 + 1));
        insert->bind(3, i % 6 == 0 ? QVariant() : QVariant(static_cast<double>(i % 6)));
        insert->bind(4, QStringLiteral("予定 %1").arg(i));
        insert->bind(5, armed ? QStringLiteral("True") : QStringLiteral("False"));
        insert->bind(6, armed ? store::kEmptyTime : QStringLiteral("0930"));
        if (sqlite3_step(insert->get()) != SQLITE_DONE)
            return connection->lastError();
    }
    insert->reset();
    return connection->exec(QStringLiteral("COMMIT"));
}

} // namespace benchcal
