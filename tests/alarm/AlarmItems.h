#pragma once
// Day records for the alarm tests: stored with exactly the given texts, read back by slot.

#include "store/DataControl.h"
#include "store/DayRecords.h"
#include "store/ScheduleFile.h"

#include <QtTest>

namespace alarmtest {

const QDate kToday(2026, 3, 5);
inline QDateTime at(int hour, int minute, int second = 0) {
    return QDateTime(kToday, QTime(hour, minute, second));
}

// Stores one day record with exactly the given texts.
inline void putItem(const QString& file, const QDate& date, int slot, const QString& content,
                    const QString& alarmText, const QString& timeText, int level = 0) {
    store::DataControl data;
    data.setDatabaseName(file);
    data.setRecordSource(store::kDayTable);
    QVERIFY(data.refresh().ok());
    QVERIFY(data.addNew().ok());
    QVERIFY(data.setField(QStringLiteral("年月日"), store::dateString(date)).ok());
    QVERIFY(data.setField(QStringLiteral("項目番号"), double(slot)).ok());
    QVERIFY(data.setField(QStringLiteral("内容"), content).ok());
    QVERIFY(data.setField(QStringLiteral("アラーム"), alarmText).ok());
    QVERIFY(data.setField(QStringLiteral("時刻"), timeText).ok());
    if (level)
        QVERIFY(data.setField(QStringLiteral("レベル"), double(level)).ok());
    const store::Error error = data.update();
    QVERIFY2(error.ok(), qPrintable(error.message));
}

inline QString alarmOf(const QString& file, const QDate& date, int slot) {
    store::DataControl data;
    data.setDatabaseName(file);
    data.setRecordSource(store::slotQuery(store::dateString(date), slot));
    if (data.refresh().failed() || !data.hasCurrentRow())
        return QStringLiteral("<no row>");
    return data.field(QStringLiteral("アラーム")).value().toString();
}

// Items as "days from today|slot|time|alarm|content[|level]", stored in order.
inline void putItems(const QString& file, const QStringList& items) {
    for (const QString& item : items) {
        const QStringList f = item.split(QLatin1Char('|'));
        putItem(file, kToday.addDays(f[0].toInt()), f[1].toInt(), f[4], f[3], f[2], f.value(5).toInt());
    }
}

} // namespace alarmtest
